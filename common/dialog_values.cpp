#include "common/dialog_values.h"

#include "common/settings_values.h"

#include <cmath>
#include <limits>

namespace common {

namespace {

const QString Cr = QStringLiteral("\r");
const QString Lf = QStringLiteral("\n");

// A date part as typed: digits, with blanks around them allowed.
std::optional<int> datePart(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 4)
        return std::nullopt;
    for (const QChar c : trimmed) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    return trimmed.toInt();
}

} // namespace

std::optional<qint32> SettingNumber(const QString &text)
{
    const double rounded = std::nearbyint(LeadingNumber(text)); // halves to even
    if (rounded < 1 || rounded > double(std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return qint32(rounded);
}

QString CleanExtensionText(const QString &text)
{
    QString clean = text;
    clean.remove(u' ');
    clean.remove(u'.');
    return clean;
}

QStringList SplitExtensionList(const QString &cleanText)
{
    return cleanText.isEmpty() ? QStringList() : cleanText.split(u',');
}

QString ColorBoxText(quint32 color)
{
    return QStringLiteral("%1").arg(color & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper();
}

quint32 ColorBoxValue(const QString &text)
{
    return ReadColor(text, 0);
}

QStringList CharacterCodeNames()
{
    return {QStringLiteral("SJIS"), QStringLiteral("JIS"),  QStringLiteral("EUC"),
            QStringLiteral("UNICODE"), QStringLiteral("UTF7"), QStringLiteral("UTF8")};
}

QString AutomaticCodeEntry()
{
    return QStringLiteral("自動判定");
}

QStringList LineEndNames()
{
    return {QStringLiteral("CRLF"), QStringLiteral("CR"), QStringLiteral("LF")};
}

int CodeListPosition(const QString &code, int otherPosition)
{
    const qsizetype position = CharacterCodeNames().indexOf(code);
    return position < 0 ? otherPosition : int(position);
}

int LineEndPosition(const QString &lineEnd)
{
    if (lineEnd == Cr)
        return 1;
    if (lineEnd == Lf)
        return 2;
    return 0;
}

QString LineEndCharacters(const QString &entry)
{
    if (entry == u"CR")
        return Cr;
    if (entry == u"LF")
        return Lf;
    return Cr + Lf;
}

std::array<QString, 6> DateBoxPresets(const QDateTime &now)
{
    const QString digits = now.toString(QStringLiteral("yyyyMMddHHmm")) + QStringLiteral("00");
    return {digits.mid(0, 4), digits.mid(4, 2), digits.mid(6, 2), digits.mid(8, 2), digits.mid(10, 2), digits.mid(12, 2)};
}

QString NormalizedDateBox(const QString &text, int index)
{
    QString digitsOnly = text;
    digitsOnly.remove(u' ');
    const qint64 value = std::llround(LeadingNumber(digitsOnly));
    QString formatted = QString::number(std::abs(value)).rightJustified(4, u'0');
    if (value < 0)
        formatted.prepend(u'-');
    return formatted.right(index == 0 ? 4 : 2);
}

std::optional<QString> DateChangeAnswer(const std::array<QString, 6> &boxes)
{
    std::array<int, 6> parts{};
    for (int index = 0; index < 6; ++index) {
        const std::optional<int> part = datePart(boxes[index]);
        if (!part)
            return std::nullopt;
        parts[index] = *part;
    }
    if (parts[0] < 1 || !QDate(parts[0], parts[1], parts[2]).isValid() || !QTime(parts[3], parts[4], parts[5]).isValid())
        return std::nullopt;
    return boxes[0] + u'/' + boxes[1] + u'/' + boxes[2] + u' ' + boxes[3] + u':' + boxes[4] + u':' + boxes[5];
}

} // namespace common
