#include "foldercompare/listing/file_info_log.h"

#include "common/saved_error.h"
#include "foldercompare/listing/compare_item.h"
#include "platform/atomic_file.h"
#include "platform/own_file.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <limits>
#include <optional>
#include <vector>

namespace foldercompare::listing {

namespace {

// Writes `value` as `width` digits at `out`; returns the position after them.
char *putDigits(char *out, int value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = char('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

// Writes "yyyy/mm/dd hh:mm:ss" (19 characters) in local time.
char *putDate(char *out, qint64 seconds)
{
    const time_t time = time_t(seconds);
    struct tm local = {};
    if (!localtime_r(&time, &local)) {
        std::memcpy(out, "1970/01/01 00:00:00", 19);
        return out + 19;
    }
    out = putDigits(out, local.tm_year + 1900, 4);
    *out++ = '/';
    out = putDigits(out, local.tm_mon + 1, 2);
    *out++ = '/';
    out = putDigits(out, local.tm_mday, 2);
    *out++ = ' ';
    out = putDigits(out, local.tm_hour, 2);
    *out++ = ':';
    out = putDigits(out, local.tm_min, 2);
    *out++ = ':';
    return putDigits(out, local.tm_sec, 2);
}

// Days from 1970/01/01 to a date of the Gregorian calendar, and back.
qint64 daysFromCivil(qint64 year, int month, int day)
{
    year -= month <= 2;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    return era * 146097 + yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear - 719468;
}

void civilFromDays(qint64 days, qint64 &year, int &month, int &day)
{
    days += 719468;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const qint64 dayOfEra = days - era * 146097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 monthIndex = (5 * dayOfYear + 2) / 153;
    day = int(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = int(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = yearOfEra + era * 400 + (month <= 2);
}

// The local dates of one listing, converted a UTC day at a time. localtime_r takes a
// process-wide lock on every call, which made it most of the cost of formatting a
// listing and kept two listings from being formatted at once. A day whose first and
// last seconds lie the same distance from local time has that distance all through (no
// time zone changes its offset twice within four days), so one pair of conversions
// serves every further date of the day; other days, such as those of a change, and
// dates far out, are converted one by one.
class LocalDates
{
public:
    // Writes "yyyy/mm/dd hh:mm:ss" (19 characters) in local time.
    char *put(char *out, qint64 seconds)
    {
        constexpr qint64 Day = 86400;
        constexpr qint64 Far = qint64(1) << 40;
        if (seconds <= -Far || seconds >= Far)
            return putDate(out, seconds);
        const qint64 day = seconds >= 0 ? seconds / Day : -((-seconds + Day - 1) / Day);
        Slot &slot = m_slots[size_t(day) % SlotCount];
        if (slot.day != day) {
            // A day met once is converted as it is; only a day met again is examined.
            slot = {day, 0, Slot::Once};
            return putDate(out, seconds);
        }
        if (slot.state == Slot::Once) {
            const std::optional<qint64> first = localMinusUtc(day * Day);
            const std::optional<qint64> last = localMinusUtc(day * Day + Day - 1);
            slot.offset = first.value_or(0);
            slot.state = first && first == last ? Slot::Uniform : Slot::Changing;
        }
        if (slot.state != Slot::Uniform)
            return putDate(out, seconds);
        const qint64 local = seconds + slot.offset;
        const qint64 localDay = local >= 0 ? local / Day : -((-local + Day - 1) / Day);
        qint64 year = 0;
        int month = 0;
        int dayOfMonth = 0;
        civilFromDays(localDay, year, month, dayOfMonth);
        if (year < 0 || year > 9999)
            return putDate(out, seconds);
        const int secondOfDay = int(local - localDay * Day);
        out = putDigits(out, int(year), 4);
        *out++ = '/';
        out = putDigits(out, month, 2);
        *out++ = '/';
        out = putDigits(out, dayOfMonth, 2);
        *out++ = ' ';
        out = putDigits(out, secondOfDay / 3600, 2);
        *out++ = ':';
        out = putDigits(out, secondOfDay / 60 % 60, 2);
        *out++ = ':';
        return putDigits(out, secondOfDay % 60, 2);
    }

private:
    static constexpr size_t SlotCount = 4096;
    struct Slot
    {
        enum State { Once, Uniform, Changing };
        qint64 day = std::numeric_limits<qint64>::min();
        qint64 offset = 0;
        State state = Once;
    };

    // How far the local clock reads ahead of UTC at `seconds`, leap seconds included.
    static std::optional<qint64> localMinusUtc(qint64 seconds)
    {
        const time_t time = time_t(seconds);
        struct tm local = {};
        if (!localtime_r(&time, &local))
            return std::nullopt;
        return daysFromCivil(qint64(local.tm_year) + 1900, local.tm_mon + 1, local.tm_mday) * 86400
               + local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec - seconds;
    }

    std::vector<Slot> m_slots = std::vector<Slot>(SlotCount);
};

char *putNumber(char *out, qint64 value)
{
    char digits[24];
    int at = sizeof digits;
    quint64 rest = value < 0 ? quint64(-value) : quint64(value);
    do {
        digits[--at] = char('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (value < 0)
        digits[--at] = '-';
    const size_t length = sizeof digits - size_t(at);
    std::memcpy(out, digits + at, length);
    return out + length;
}

// Writes the UTF-8 form of a path; ASCII, by far the most common, is copied as it is.
// `out` must have room for three bytes per UTF-16 unit.
char *putPath(char *out, const QString &path)
{
    const char16_t *units = QStringView(path).utf16();
    const qsizetype length = path.size();
    for (qsizetype i = 0; i < length; ++i) {
        if (units[i] >= 0x80) {
            const QByteArray utf8 = path.toUtf8();
            std::memcpy(out, utf8.constData(), size_t(utf8.size()));
            return out + utf8.size();
        }
    }
    for (qsizetype i = 0; i < length; ++i)
        out[i] = char(units[i]);
    return out + length;
}

bool isWholeNumber(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isDate(QByteArrayView text)
{
    static constexpr char Shape[] = "0000/00/00 00:00:00";
    if (text.size() != qsizetype(sizeof Shape) - 1)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (Shape[i] == '0' ? !digit : text[i] != Shape[i])
            return false;
    }
    return true;
}

} // namespace

QString FormatLocalDate(qint64 secondsSinceEpoch)
{
    char text[19];
    putDate(text, secondsSinceEpoch);
    return QString::fromLatin1(text, sizeof text);
}

QByteArray FormatFileInfoLog(const std::vector<GatheredEntry> &entries)
{
    // Room for the longest line: the path at three bytes per unit, the date, two
    // numbers, three TABs and CR LF.
    constexpr qsizetype Fixed = 19 + 2 * 20 + 3 + 2;
    LocalDates dates;
    QByteArray out;
    qsizetype used = 0;
    for (const GatheredEntry &entry : entries) {
        const qsizetype need = 3 * entry.path.size() + Fixed;
        if (used + need > out.size())
            out.resize(std::max(2 * out.size(), used + need + qsizetype(entries.size()) * 64));
        char *start = out.data() + used;
        char *at = putPath(start, entry.path);
        *at++ = '\t';
        at = dates.put(at, entry.modified);
        if (!entry.dateOnly) {
            *at++ = '\t';
            at = putNumber(at, entry.size);
            *at++ = '\t';
            at = putNumber(at, entry.count);
        }
        *at++ = '\r';
        *at++ = '\n';
        used += at - start;
    }
    out.truncate(used);
    return out;
}

void SortEntries(std::vector<GatheredEntry> &entries)
{
    std::sort(entries.begin(), entries.end(),
              [](const GatheredEntry &a, const GatheredEntry &b) { return CompareItem(a.path, b.path) < 0; });
}

std::optional<QString> WriteFileAtomically(const QString &path, const QByteArray &bytes)
{
    return platform::writeWholeFile(path, bytes);
}

FileInfoLogReader::FileInfoLogReader(const QString &path)
    : m_path(path)
{
    platform::OwnFileContents file = platform::readOwnFile(path);
    if (!file.problem.isEmpty())
        throw common::Failure(53, QCoreApplication::applicationName(),
                              QStringLiteral("一覧ファイルを読み込めません。 ") + path + QStringLiteral(" : ")
                                  + file.problem);
    m_bytes = std::move(file.bytes);
}

FileInfoLogReader::FileInfoLogReader(const QString &path, QByteArray bytes)
    : m_path(path), m_bytes(std::move(bytes))
{
}

void FileInfoLogReader::damaged(const QString &what) const
{
    throw common::Failure(13, QCoreApplication::applicationName(),
                          QStringLiteral("型が一致しません。 一覧ファイル %1 の %2 行目の%3が正しくありません。")
                              .arg(m_path)
                              .arg(m_lineNumber)
                              .arg(what));
}

std::optional<FileInfoRecord> FileInfoLogReader::next()
{
    const QByteArrayView all(m_bytes);
    while (m_position < all.size()) {
        const qsizetype end = all.indexOf('\n', m_position);
        QByteArrayView line = all.sliced(m_position, (end < 0 ? all.size() : end) - m_position);
        m_position = end < 0 ? all.size() : end + 1;
        ++m_lineNumber;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        FileInfoRecord record;
        QByteArrayView *fields[4] = {&record.path, &record.date, &record.size, &record.count};
        for (QByteArrayView *field : fields) {
            const qsizetype tab = line.indexOf('\t');
            *field = tab < 0 ? line : line.first(tab);
            if (tab < 0)
                break;
            line = line.sliced(tab + 1);
        }
        if (record.path.isEmpty())
            damaged(QStringLiteral("パス"));
        if (!isDate(record.date))
            damaged(QStringLiteral("日時"));
        if (!(record.size.isEmpty() && record.count.isEmpty())
            && !(isWholeNumber(record.size) && isWholeNumber(record.count)))
            damaged(QStringLiteral("サイズまたは件数"));
        if (m_started && CompareItemUtf8(m_previousPath, record.path) >= 0)
            damaged(QStringLiteral("並び順"));
        m_previousPath = record.path;
        m_started = true;
        return record;
    }
    return std::nullopt;
}

} // namespace foldercompare::listing
