#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace common {

// Values of the setting and operation dialogs, checked and converted without a window.

// The number typed into the folder-depth or the row-limit dialog: the leading number of
// the text (blanks before it skipped, 12abc reads 12, no number reads 0) rounded to a
// whole number with halves to even. nullopt when that whole number is below 1 or does
// not fit a 32-bit signed integer: a stored 0 would otherwise mean "no rows" or, for the
// depth, every level, which the user did not ask for.
std::optional<qint32> SettingNumber(const QString &text);

// The extension list typed into the binary-extension dialog with every blank and every
// "." removed.
QString CleanExtensionText(const QString &text);
// The cleaned text split at ","; empty pieces between commas stay as empty entries, and
// an empty text gives an empty list.
QStringList SplitExtensionList(const QString &cleanText);

// A status colour (blue-green-red) as the colour dialog's boxes show it: six upper-case
// hexadecimal digits, padded with "0" on the left.
QString ColorBoxText(quint32 color);
// The colour of a box's text: its leading hexadecimal digits, low 24 bits; 0 when it has
// none.
quint32 ColorBoxValue(const QString &text);

// The code names of the code-change dialog's lists, in list order.
QStringList CharacterCodeNames();
// Entry of the code-change dialog's source list that stands for "judge each file's code".
QString AutomaticCodeEntry();
// The line-end list: "CRLF", "CR", "LF".
QStringList LineEndNames();

// List position that a preset code name selects: its place among CharacterCodeNames(),
// else `otherPosition`. Exact, case-sensitive comparison.
int CodeListPosition(const QString &code, int otherPosition);
// List position that a preset line end (the characters themselves) selects: CR LF 0,
// CR 1, LF 2, anything else 0.
int LineEndPosition(const QString &lineEnd);
// The line-end characters of a line-end list entry: CR for "CR", LF for "LF", else CR LF.
QString LineEndCharacters(const QString &entry);

// Texts of the six date boxes (year, month, day, hour, minute, second) for `now`; the
// seconds are always "00".
std::array<QString, 6> DateBoxPresets(const QDateTime &now);
// A date box's text when the box is left: its numeric value (not a number: 0) with at
// least four digits, cut to the last four characters in the year box (index 0) and to
// the last two in the others.
QString NormalizedDateBox(const QString &text, int index);
// The answer of the date dialog: the six texts as they stand joined as
// "year/month/day hour:minute:second", when they make a valid date and time (each a
// number, year 1 to 9999); nullopt otherwise.
std::optional<QString> DateChangeAnswer(const std::array<QString, 6> &boxes);

} // namespace common
