#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>

#include <functional>
#include <memory>

struct zip;
struct zip_file;

namespace platform {

// Entries of a package are refused when they inflate past this: a zip of a megabyte can
// hold a gigabyte of zeros.
inline constexpr qint64 MaxInflatedPartBytes = qint64(1) << 30;

// The inflated bytes of one entry of a ZipArchive, read in order. A read fails (returns
// -1, with errorString() telling why and failed() true) when the entry's data is damaged
// (a bad deflate stream, a CRC that does not match at its end, a file cut short) or when
// more than the entry's byte limit would come out. Sequential; the archive must outlive
// it.
class ZipEntry : public QIODevice
{
    Q_OBJECT

public:
    ~ZipEntry() override;

    bool isSequential() const override { return true; }
    bool failed() const { return m_failed; }
    // Whether the read failed because more than the entry's byte limit came out.
    bool pastLimit() const { return m_pastLimit; }
    // Shown each piece inflated; when it says no, the reads end there (return -1) without
    // the entry counting as failed, so that a reader can be stopped. A `stopMark` is given
    // by the stopped read in place of the piece, before the reads end: a mark that the
    // entry's reader cannot take in ends its current token at once, where the end of the
    // data would leave a reader that takes more to come to put a long token back first.
    void setKeepReading(std::function<bool(QByteArrayView piece)> keepReading, QByteArray stopMark = {})
    {
        m_keepReading = std::move(keepReading);
        m_stopMark = std::move(stopMark);
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    friend class ZipArchive;
    ZipEntry(zip_file *file, qint64 maxBytes, const QString &name);
    qint64 fail(const QString &reason);

    zip_file *m_file;
    qint64 m_maxBytes;
    qint64 m_delivered = 0;
    QString m_name;
    bool m_failed = false;
    bool m_pastLimit = false;
    bool m_stopped = false;
    std::function<bool(QByteArrayView)> m_keepReading;
    QByteArray m_stopMark;
};

// A zip archive opened for reading through libzip, with its consistency checked.
class ZipArchive
{
public:
    ZipArchive();
    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    // Opens `path`; false, with errorString() telling why, when it is no readable zip.
    bool open(const QString &path);
    // Whether the archive holds an entry of this name (compared without regard to case).
    bool contains(const QString &name) const;
    // The entry `name`, to be read at once; nullptr, with errorString() telling why, when
    // there is none, when it cannot be opened, or when it says that it inflates to more
    // than `maxBytes`.
    std::unique_ptr<ZipEntry> openEntry(const QString &name, qint64 maxBytes = MaxInflatedPartBytes);
    QString errorString() const { return m_error; }
    // Whether the last openEntry failed because the entry says it inflates past the limit.
    bool pastLimit() const { return m_pastLimit; }

private:
    struct Deleter
    {
        void operator()(zip *archive) const;
    };
    std::unique_ptr<zip, Deleter> m_archive;
    QString m_error;
    bool m_pastLimit = false;
};

} // namespace platform
