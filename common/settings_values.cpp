#include "common/settings_values.h"

#include <cmath>
#include <limits>

namespace common {

namespace {

qint32 roundHalfEvenClamped(double value)
{
    const double rounded = std::nearbyint(value); // the default rounding mode is half to even
    if (rounded >= double(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    if (rounded <= double(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    return qint32(rounded);
}

// Length of the number at `text[position]`: sign, digits, optional point and digits.
qsizetype numberLength(const QString &text, qsizetype position)
{
    qsizetype end = position;
    if (end < text.size() && (text[end] == u'+' || text[end] == u'-'))
        ++end;
    qsizetype digits = 0;
    while (end < text.size() && text[end] >= u'0' && text[end] <= u'9') {
        ++end;
        ++digits;
    }
    if (end < text.size() && text[end] == u'.') {
        ++end;
        while (end < text.size() && text[end] >= u'0' && text[end] <= u'9') {
            ++end;
            ++digits;
        }
    }
    return digits > 0 ? end - position : 0;
}

// The number at the start of `text` after blanks and tabs; nullopt when there is none.
std::optional<double> leadingNumber(const QString &text)
{
    qsizetype start = 0;
    while (start < text.size() && (text[start] == u' ' || text[start] == u'\t'))
        ++start;
    const qsizetype length = numberLength(text, start);
    if (length == 0)
        return std::nullopt;
    return text.mid(start, length).toDouble();
}

} // namespace

bool ReadFlag(const QString &text)
{
    return text != u"False";
}

QString FlagText(bool on)
{
    return on ? QStringLiteral("True") : QStringLiteral("False");
}

double LeadingNumber(const QString &text)
{
    return leadingNumber(text).value_or(0);
}

qint32 LeadingInteger(const QString &text, qint32 fallback)
{
    const std::optional<double> number = leadingNumber(text);
    return number ? roundHalfEvenClamped(*number) : fallback;
}

std::optional<qint32> StrictInteger(const QString &text)
{
    const QString trimmed = text.trimmed();
    const qsizetype length = numberLength(trimmed, 0);
    if (length == 0 || length != trimmed.size())
        return std::nullopt;
    return roundHalfEvenClamped(trimmed.toDouble());
}

quint32 ReadColor(const QString &text, quint32 fallback)
{
    quint64 value = 0;
    bool anyDigit = false;
    for (const QChar c : text) {
        const int digit = c.isDigit() && c.unicode() < 128 ? c.unicode() - u'0'
                          : (c >= u'A' && c <= u'F')   ? c.unicode() - u'A' + 10
                          : (c >= u'a' && c <= u'f')   ? c.unicode() - u'a' + 10
                                                       : -1;
        if (digit < 0)
            break;
        anyDigit = true;
        value = ((value << 4) | quint64(digit)) & 0xFFFFFFFFull;
    }
    return anyDigit ? quint32(value & 0xFFFFFF) : fallback;
}

QString ColorText(quint32 color)
{
    return QString::number(color, 16).toUpper();
}

} // namespace common
