#include "platform/ftp_listing.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace platform {

namespace {

// A listing line held as Latin-1 text: one character per byte, so that positions found in
// the text cut the original bytes.
struct Token
{
    QStringView text;
    qsizetype end = 0; // position after the token
};

QList<Token> tokens(QStringView line)
{
    QList<Token> result;
    qsizetype position = 0;
    while (position < line.size()) {
        while (position < line.size() && line[position] == u' ')
            ++position;
        const qsizetype start = position;
        while (position < line.size() && line[position] != u' ')
            ++position;
        if (position > start)
            result.append({line.mid(start, position - start), position});
    }
    return result;
}

// A listed size, or -1 (unknown) for a negative one, which no file has.
qint64 knownSize(qint64 size)
{
    return size < 0 ? -1 : size;
}

int monthNumber(QStringView text)
{
    static const QStringList names = {QStringLiteral("jan"), QStringLiteral("feb"), QStringLiteral("mar"),
                                      QStringLiteral("apr"), QStringLiteral("may"), QStringLiteral("jun"),
                                      QStringLiteral("jul"), QStringLiteral("aug"), QStringLiteral("sep"),
                                      QStringLiteral("oct"), QStringLiteral("nov"), QStringLiteral("dec")};
    if (text.size() != 3)
        return 0;
    return int(names.indexOf(text.toString().toLower())) + 1;
}

bool allDigits(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// The date of a Unix entry listed with a time but no year.
QDate dateWithoutYear(int month, int day, const QDate &today)
{
    for (int year = today.year(); year > today.year() - 8; --year) {
        const QDate date(year, month, day);
        if (date.isValid() && date <= today.addDays(1))
            return date;
    }
    return {};
}

std::optional<FtpListEntry> parseUnixLine(QStringView line, const QDate &today)
{
    static const QString typeLetters = QStringLiteral("-dlbcps");
    if (line.size() < 10 || !typeLetters.contains(line[0]))
        return std::nullopt;
    const QList<Token> parts = tokens(line);
    // perms, links, owner[, group], size, month, day, time or year, name
    for (qsizetype month = 3; month + 2 < parts.size(); ++month) {
        const int monthValue = monthNumber(parts[month].text);
        const QStringView size = parts[month - 1].text;
        if (monthValue == 0 || !allDigits(size.startsWith(u'-') ? size.mid(1) : size)
            || !allDigits(parts[month + 1].text))
            continue;
        const int day = parts[month + 1].text.toInt();
        const QStringView clock = parts[month + 2].text;
        QDate date;
        QTime time(0, 0);
        static const QRegularExpression clockPattern(QStringLiteral("^(\\d{1,2}):(\\d{2})$"));
        const QRegularExpressionMatch clockMatch = clockPattern.match(clock);
        if (clockMatch.hasMatch()) {
            date = dateWithoutYear(monthValue, day, today);
            time = QTime(clockMatch.captured(1).toInt(), clockMatch.captured(2).toInt());
        } else if (clock.size() == 4 && allDigits(clock)) {
            date = QDate(clock.toInt(), monthValue, day);
        }
        if (!date.isValid() || !time.isValid())
            continue;
        const qsizetype nameStart = parts[month + 2].end + 1;
        if (nameStart > line.size())
            return std::nullopt;
        QStringView name = line.mid(nameStart);
        if (line[0] == u'l') {
            const qsizetype arrow = name.indexOf(QStringLiteral(" -> "));
            if (arrow >= 0)
                name = name.left(arrow);
        }
        bool sizeOk = false;
        const qint64 listedSize = size.toLongLong(&sizeOk);
        if (!sizeOk)
            return std::nullopt;
        FtpListEntry entry;
        entry.name = name.toLatin1();
        entry.folder = line[0] == u'd';
        entry.link = line[0] == u'l';
        entry.time = QDateTime(date, time);
        entry.size = knownSize(listedSize);
        return entry;
    }
    return std::nullopt;
}

std::optional<FtpListEntry> parseDosLine(QStringView line)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{2})-(\\d{2})-(\\d{2}|\\d{4}) +(\\d{1,2}):(\\d{2}) *([AaPp][Mm])? +(<DIR>|\\d+) +(.+)$"));
    const QRegularExpressionMatch match = pattern.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    int year = match.captured(3).toInt();
    if (match.capturedLength(3) == 2)
        year += year < 70 ? 2000 : 1900;
    int hour = match.captured(4).toInt();
    const QString half = match.captured(6).toUpper();
    if (!half.isEmpty()) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour %= 12;
        if (half == QStringLiteral("PM"))
            hour += 12;
    }
    const QDate date(year, match.captured(1).toInt(), match.captured(2).toInt());
    const QTime time(hour, match.captured(5).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    FtpListEntry entry;
    entry.name = line.mid(match.capturedStart(8)).toLatin1();
    entry.folder = match.captured(7) == QStringLiteral("<DIR>");
    entry.time = QDateTime(date, time);
    if (!entry.folder) {
        bool sizeOk = false;
        entry.size = match.captured(7).toLongLong(&sizeOk);
        if (!sizeOk)
            return std::nullopt;
    }
    return entry;
}

// One line of MLSD: "fact=value;...; name".
std::optional<FtpListEntry> parseMlsdLine(QByteArrayView line)
{
    const qsizetype factsEnd = line.indexOf("; ");
    if (factsEnd < 0)
        return std::nullopt;
    FtpListEntry entry;
    entry.name = line.sliced(factsEnd + 2).toByteArray();
    QByteArray type;
    for (const QByteArray &fact : line.first(factsEnd).toByteArray().split(';')) {
        const qsizetype equals = fact.indexOf('=');
        if (equals <= 0)
            continue;
        const QByteArray name = fact.left(equals).toLower();
        const QByteArray value = fact.mid(equals + 1);
        if (name == "type") {
            type = value.toLower();
        } else if (name == "size") {
            bool sizeOk = false;
            entry.size = knownSize(value.toLongLong(&sizeOk));
            if (!sizeOk)
                entry.size = 0;
        } else if (name == "modify") {
            const QDateTime utc = QDateTime::fromString(QString::fromLatin1(value.left(14)), QStringLiteral("yyyyMMddHHmmss"));
            if (utc.isValid())
                entry.time = QDateTime(utc.date(), utc.time(), Qt::UTC).toLocalTime();
        }
    }
    if (type == "dir")
        entry.folder = true;
    else if (type.startsWith("os.unix=slink") || type == "os.unix=symlink")
        entry.link = true;
    else if (type != "file")
        return std::nullopt;
    return entry;
}

// The rule of isSinglePathElement for bytes and for text.
template<typename View>
bool isSingleElement(View name)
{
    bool onlyDots = true;
    for (const auto c : name) {
        if (c == u'/' || c == u'\0')
            return false;
        if (c != u'.')
            onlyDots = false;
    }
    // Also refuses the empty name.
    return !(onlyDots && name.size() <= 2);
}

// The entries that stand for the listed folder itself and for its parent.
bool isOwnOrParentEntry(const FtpListEntry &entry)
{
    return entry.folder && (entry.name == "." || entry.name == "..");
}

} // namespace

bool isSinglePathElement(QByteArrayView name)
{
    return isSingleElement(name);
}

bool isSinglePathElement(QStringView name)
{
    return isSingleElement(name);
}

bool isTransferableName(QByteArrayView name)
{
    return std::none_of(name.cbegin(), name.cend(), [](char c) { return uchar(c) < 0x20; });
}

namespace {

// Splits `listing` into lines without their line ends and keeps the entries that
// `parseLine` makes of them.
template<typename ParseLine>
FtpListing parseLines(QByteArrayView listing, ParseLine parseLine)
{
    FtpListing parsed;
    qsizetype start = 0;
    while (start < listing.size()) {
        qsizetype end = listing.indexOf('\n', start);
        if (end < 0)
            end = listing.size();
        QByteArrayView bytes = listing.sliced(start, end - start);
        start = end + 1;
        if (bytes.endsWith('\r'))
            bytes.chop(1);
        if (bytes.isEmpty())
            continue;
        const std::optional<FtpListEntry> entry = parseLine(bytes);
        if (!entry || isOwnOrParentEntry(*entry))
            continue;
        if (isSinglePathElement(entry->name))
            parsed.entries.append(*entry);
        else
            parsed.refusedNames.append(entry->name);
    }
    return parsed;
}

} // namespace

FtpListing parseFtpListing(QByteArrayView listing, const QDate &today)
{
    return parseLines(listing, [&today](QByteArrayView bytes) {
        const QString line = QString::fromLatin1(bytes);
        std::optional<FtpListEntry> entry = parseUnixLine(line, today);
        return entry ? entry : parseDosLine(line);
    });
}

FtpListing parseMlsdListing(QByteArrayView listing)
{
    return parseLines(listing, parseMlsdLine);
}

} // namespace platform
