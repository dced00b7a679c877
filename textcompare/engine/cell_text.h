#pragma once

#include <QString>
#include <QStringView>

namespace textcompare {

// How worksheet values read as text, as a user sees them in a cell.

// A number in its shortest form of up to 15 significant digits, trailing zeros dropped:
// 0.1 + 0.2 reads "0.3", 1/3 "0.333333333333333", 42 "42". Numbers of 1E+15 and more,
// or below 1E-4, take an exponent ("1E+20").
QString NumberText(double value);

// Whether a number format, given by its index and (for the workbook's own formats) its
// code, shows a date or a time: the built-in date and time formats (Japanese ones
// included), and codes that hold y, m, d, h or s outside quotes, escapes and brackets
// ("[h]" and the like count as time).
bool IsDateFormat(int formatIndex, QStringView formatCode);

// A serial date (days from 1899/12/30, or from 1904/01/01 with `dates1904`; the fraction
// is the time of day) as "yyyy/mm/dd hh:mm:ss" to the nearest second, without the date
// when the serial is below one day and without the time when it is midnight.
QString SerialDateText(double serial, bool dates1904);

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS", "YYYY-MM-DDTHH:MM:SS[.fff][Z]" or "HH:MM:SS" in the
// same form as SerialDateText; a text of no such form is returned as it is.
QString IsoDateText(QStringView text);

} // namespace textcompare
