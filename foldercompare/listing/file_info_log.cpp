#include "foldercompare/listing/file_info_log.h"

#include "common/saved_error.h"
#include "foldercompare/listing/compare_item.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <ctime>

namespace foldercompare::listing {

namespace {

constexpr qsizetype ReadChunk = 256 * 1024;

void appendDigits(QByteArray &out, int value, int width)
{
    char digits[8];
    for (int i = width - 1; i >= 0; --i) {
        digits[i] = char('0' + value % 10);
        value /= 10;
    }
    out.append(digits, width);
}

void appendDate(QByteArray &out, qint64 seconds)
{
    const time_t time = time_t(seconds);
    struct tm local = {};
    if (!localtime_r(&time, &local)) {
        out.append("1970/01/01 00:00:00");
        return;
    }
    appendDigits(out, local.tm_year + 1900, 4);
    out.append('/');
    appendDigits(out, local.tm_mon + 1, 2);
    out.append('/');
    appendDigits(out, local.tm_mday, 2);
    out.append(' ');
    appendDigits(out, local.tm_hour, 2);
    out.append(':');
    appendDigits(out, local.tm_min, 2);
    out.append(':');
    appendDigits(out, local.tm_sec, 2);
}

bool isWholeNumber(const QString &text)
{
    return !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

bool isDate(const QString &text)
{
    static const QString shape = QStringLiteral("0000/00/00 00:00:00");
    if (text.size() != shape.size())
        return false;
    for (qsizetype i = 0; i < shape.size(); ++i) {
        const bool digit = text[i] >= u'0' && text[i] <= u'9';
        if (shape[i] == u'0' ? !digit : text[i] != shape[i])
            return false;
    }
    return true;
}

} // namespace

QString FormatLocalDate(qint64 secondsSinceEpoch)
{
    QByteArray out;
    appendDate(out, secondsSinceEpoch);
    return QString::fromLatin1(out);
}

QByteArray FormatFileInfoLog(const std::vector<GatheredEntry> &entries)
{
    QByteArray out;
    qsizetype estimate = 0;
    for (const GatheredEntry &entry : entries)
        estimate += entry.path.size() + 48;
    out.reserve(estimate);
    for (const GatheredEntry &entry : entries) {
        out.append(entry.path.toUtf8());
        out.append('\t');
        appendDate(out, entry.modified);
        out.append('\t');
        out.append(QByteArray::number(entry.size));
        out.append('\t');
        out.append(QByteArray::number(entry.count));
        out.append("\r\n");
    }
    return out;
}

void SortEntries(std::vector<GatheredEntry> &entries)
{
    std::sort(entries.begin(), entries.end(),
              [](const GatheredEntry &a, const GatheredEntry &b) { return CompareItem(a.path, b.path) < 0; });
}

std::optional<QString> WriteFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(bytes) != bytes.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

FileInfoLogReader::FileInfoLogReader(const QString &path)
    : m_path(path)
    , m_file(path)
{
    if (!QFileInfo::exists(path)) {
        m_atEnd = true;
        return;
    }
    if (!m_file.open(QIODevice::ReadOnly))
        throw common::Failure(53, QCoreApplication::applicationName(),
                              QStringLiteral("一覧ファイルを読み込めません。 ") + path + QStringLiteral(" : ")
                                  + m_file.errorString());
}

bool FileInfoLogReader::readLine(QByteArray &line)
{
    for (;;) {
        const qsizetype end = m_buffer.indexOf('\n', m_position);
        if (end >= 0) {
            line = m_buffer.mid(m_position, end - m_position);
            m_position = end + 1;
            return true;
        }
        if (m_atEnd || !m_file.isOpen()) {
            if (m_position >= m_buffer.size())
                return false;
            line = m_buffer.mid(m_position);
            m_position = m_buffer.size();
            return true;
        }
        m_buffer.remove(0, m_position);
        m_position = 0;
        const QByteArray chunk = m_file.read(ReadChunk);
        if (chunk.isEmpty()) {
            if (m_file.error() != QFileDevice::NoError)
                throw common::Failure(57, QCoreApplication::applicationName(),
                                      QStringLiteral("一覧ファイルを読み込めません。 ") + m_path + QStringLiteral(" : ")
                                          + m_file.errorString());
            m_atEnd = true;
        }
        m_buffer.append(chunk);
    }
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
    QByteArray line;
    while (readLine(line)) {
        ++m_lineNumber;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const QList<QByteArray> fields = line.split('\t');
        FileInfoRecord record;
        record.path = QString::fromUtf8(fields.at(0));
        if (fields.size() > 1)
            record.date = QString::fromUtf8(fields.at(1));
        if (fields.size() > 2)
            record.size = QString::fromUtf8(fields.at(2));
        if (fields.size() > 3)
            record.count = QString::fromUtf8(fields.at(3));
        if (record.path.isEmpty())
            damaged(QStringLiteral("パス"));
        if (!isDate(record.date))
            damaged(QStringLiteral("日時"));
        if (!(record.size.isEmpty() && record.count.isEmpty())
            && !(isWholeNumber(record.size) && isWholeNumber(record.count)))
            damaged(QStringLiteral("サイズまたは件数"));
        if (!m_previousPath.isNull() && CompareItem(m_previousPath, record.path) >= 0)
            damaged(QStringLiteral("並び順"));
        m_previousPath = record.path;
        return record;
    }
    return std::nullopt;
}

} // namespace foldercompare::listing
