#include "foldercompare/listing/file_info_log.h"

#include "common/saved_error.h"
#include "foldercompare/listing/compare_item.h"
#include "platform/atomic_file.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cstring>
#include <ctime>

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
    QByteArray out;
    qsizetype used = 0;
    for (const GatheredEntry &entry : entries) {
        const qsizetype need = 3 * entry.path.size() + Fixed;
        if (used + need > out.size())
            out.resize(std::max(2 * out.size(), used + need + qsizetype(entries.size()) * 64));
        char *start = out.data() + used;
        char *at = putPath(start, entry.path);
        *at++ = '\t';
        at = putDate(at, entry.modified);
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
    QFile file(path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly))
        throw common::Failure(53, QCoreApplication::applicationName(),
                              QStringLiteral("一覧ファイルを読み込めません。 ") + path + QStringLiteral(" : ")
                                  + file.errorString());
    m_bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw common::Failure(57, QCoreApplication::applicationName(),
                              QStringLiteral("一覧ファイルを読み込めません。 ") + path + QStringLiteral(" : ")
                                  + file.errorString());
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
