#include "platform/zip_archive.h"

#include <QFile>

#include <cstring>

#include <zip.h>

namespace platform {

namespace {

QString zipErrorText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

} // namespace

ZipEntry::ZipEntry(zip_file *file, qint64 maxBytes, const QString &name)
    : m_file(file)
    , m_maxBytes(maxBytes)
    , m_name(name)
{
    QIODevice::open(QIODevice::ReadOnly);
}

ZipEntry::~ZipEntry()
{
    zip_fclose(m_file);
}

qint64 ZipEntry::fail(const QString &reason)
{
    m_failed = true;
    setErrorString(m_name + QStringLiteral(": ") + reason);
    return -1;
}

qint64 ZipEntry::readData(char *data, qint64 maxSize)
{
    if (m_failed || m_stopped)
        return -1;
    // One byte more than the limit allows tells an entry that reaches past it.
    const qint64 wanted = std::min(maxSize, m_maxBytes - m_delivered + 1);
    const zip_int64_t count = zip_fread(m_file, data, zip_uint64_t(std::max<qint64>(wanted, 0)));
    if (count < 0)
        return fail(QString::fromUtf8(zip_error_strerror(zip_file_get_error(m_file))));
    m_delivered += count;
    if (m_delivered > m_maxBytes) {
        m_pastLimit = true;
        return fail(QStringLiteral("inflates to more than %1 bytes").arg(m_maxBytes));
    }
    if (m_keepReading && !m_keepReading(QByteArrayView(data, count))) {
        m_stopped = true;
        if (m_stopMark.isEmpty() || m_stopMark.size() > maxSize)
            return -1;
        std::memcpy(data, m_stopMark.constData(), size_t(m_stopMark.size()));
        return m_stopMark.size();
    }
    return count;
}

void ZipArchive::Deleter::operator()(zip *archive) const
{
    zip_discard(archive);
}

ZipArchive::ZipArchive() = default;
ZipArchive::~ZipArchive() = default;

bool ZipArchive::open(const QString &path)
{
    int code = 0;
    m_archive.reset(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
    if (!m_archive)
        m_error = zipErrorText(code);
    return bool(m_archive);
}

bool ZipArchive::contains(const QString &name) const
{
    return m_archive && zip_name_locate(m_archive.get(), name.toUtf8().constData(), ZIP_FL_NOCASE) >= 0;
}

std::unique_ptr<ZipEntry> ZipArchive::openEntry(const QString &name, qint64 maxBytes)
{
    m_pastLimit = false;
    if (!m_archive) {
        m_error = QStringLiteral("no archive");
        return nullptr;
    }
    const zip_int64_t index = zip_name_locate(m_archive.get(), name.toUtf8().constData(), ZIP_FL_NOCASE);
    if (index < 0) {
        m_error = name + QStringLiteral(": ") + zipErrorText(ZIP_ER_NOENT);
        return nullptr;
    }
    zip_stat_t status;
    zip_stat_init(&status);
    if (zip_stat_index(m_archive.get(), zip_uint64_t(index), 0, &status) == 0 && (status.valid & ZIP_STAT_SIZE)
        && status.size > zip_uint64_t(maxBytes)) {
        m_pastLimit = true;
        m_error = name + QStringLiteral(": inflates to more than %1 bytes").arg(maxBytes);
        return nullptr;
    }
    zip_file *file = zip_fopen_index(m_archive.get(), zip_uint64_t(index), 0);
    if (!file) {
        m_error = name + QStringLiteral(": ") + QString::fromUtf8(zip_strerror(m_archive.get()));
        return nullptr;
    }
    return std::unique_ptr<ZipEntry>(new ZipEntry(file, maxBytes, name));
}

} // namespace platform
