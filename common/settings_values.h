#pragma once

#include <QString>

#include <optional>

namespace common {

// Stored forms of settings values shared by the programs' settings files.

// A menu option is on unless its stored text is exactly "False".
bool ReadFlag(const QString &text);
QString FlagText(bool on);

// The leading number of a text, as the programs read numbers: blanks skipped, an
// optional sign, digits with an optional decimal part; 0 when the text has none.
double LeadingNumber(const QString &text);

// LeadingNumber rounded to the nearest integer (halves to even) and clamped to the
// 32-bit range; `fallback` when the text does not begin with a number.
qint32 LeadingInteger(const QString &text, qint32 fallback);

// A whole number written as the text stands (blanks around it allowed, an optional
// decimal part rounded half to even); nullopt when the text is not a number.
std::optional<qint32> StrictInteger(const QString &text);

// Colours are blue-green-red values. Read: the leading hexadecimal digits form the value,
// cut to its low 24 bits; `fallback` when the text has none. Written: upper-case
// hexadecimal without leading zeros ("FF" for pure red, "0" for black).
quint32 ReadColor(const QString &text, quint32 fallback);
QString ColorText(quint32 color);

} // namespace common
