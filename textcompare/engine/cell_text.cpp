#include "textcompare/engine/cell_text.h"

#include <QDate>
#include <QRegularExpression>

#include <charconv>
#include <cmath>

namespace textcompare {

namespace {

constexpr int SignificantDigits = 15;
constexpr qint64 SecondsPerDay = 86400;

// Built-in number formats that show dates or times, Japanese ones included.
bool isBuiltInDateFormat(int index)
{
    return (index >= 14 && index <= 22) || (index >= 27 && index <= 36) || (index >= 45 && index <= 47)
           || (index >= 50 && index <= 58);
}

QString dateTimeText(const QDate &date, qint64 secondOfDay, bool showDate)
{
    const bool showTime = secondOfDay != 0 || !showDate;
    QString text;
    if (showDate)
        text = date.toString(QStringLiteral("yyyy/MM/dd"));
    if (showTime) {
        if (!text.isEmpty())
            text += u' ';
        text += QStringLiteral("%1:%2:%3")
                    .arg(secondOfDay / 3600, 2, 10, QLatin1Char('0'))
                    .arg(secondOfDay / 60 % 60, 2, 10, QLatin1Char('0'))
                    .arg(secondOfDay % 60, 2, 10, QLatin1Char('0'));
    }
    return text;
}

} // namespace

QString NumberText(double value)
{
    if (value == 0)
        return QStringLiteral("0");
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general,
                                      SignificantDigits);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    const qsizetype exponent = text.indexOf(u'e');
    if (exponent >= 0)
        text[exponent] = u'E';
    return text;
}

bool IsDateFormat(int formatIndex, QStringView formatCode)
{
    if (isBuiltInDateFormat(formatIndex))
        return true;
    bool quoted = false;
    bool bracket = false;
    for (qsizetype at = 0; at < formatCode.size(); ++at) {
        const QChar c = formatCode[at].toLower();
        if (quoted) {
            quoted = c != u'"';
        } else if (bracket) {
            // "[h]", "[mm]", "[ss]": elapsed time; "[Red]", "[$-411]": no date.
            if (c == u']')
                bracket = false;
            else if ((c == u'h' || c == u'm' || c == u's') && formatCode[at - 1] == u'[')
                return true;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u'[') {
            bracket = true;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++at;
        } else if (c == u'y' || c == u'm' || c == u'd' || c == u'h' || c == u's') {
            return true;
        }
    }
    return false;
}

QString SerialDateText(double serial, bool dates1904)
{
    if (!std::isfinite(serial) || std::fabs(serial) > 3e6)
        return NumberText(serial);
    const qint64 totalSeconds = std::llround(serial * SecondsPerDay);
    qint64 days = totalSeconds / SecondsPerDay;
    qint64 seconds = totalSeconds % SecondsPerDay;
    if (seconds < 0) {
        seconds += SecondsPerDay;
        --days;
    }
    const qint64 shifted = days + (dates1904 ? 1462 : 0);
    return dateTimeText(QDate(1899, 12, 30).addDays(shifted), seconds, shifted != 0);
}

QString IsoDateText(QStringView text)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^(?:(\\d{4})-(\\d{2})-(\\d{2}))?[ T]?(?:(\\d{2}):(\\d{2}):(\\d{2})(?:\\.\\d+)?)?Z?$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch() || text.isEmpty())
        return text.toString();
    const bool hasDate = match.hasCaptured(1);
    const QDate date = hasDate ? QDate(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt())
                               : QDate(1899, 12, 30);
    const qint64 seconds = match.hasCaptured(4) ? match.captured(4).toLongLong() * 3600
                                                      + match.captured(5).toLongLong() * 60
                                                      + match.captured(6).toLongLong()
                                                : 0;
    if (!date.isValid())
        return text.toString();
    return dateTimeText(date, seconds, hasDate);
}

} // namespace textcompare
