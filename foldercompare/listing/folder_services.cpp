#include "foldercompare/listing/folder_services.h"

#include "common/common_module.h"
#include "common/saved_error.h"
#include "platform/atomic_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace foldercompare::listing {

namespace {

constexpr qsizetype CopyChunkBytes = 1 << 20;

QString parentOf(const QString &path)
{
    if (path == u"/" || path.isEmpty())
        return {};
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return {};
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

void deleteContents(const QString &folder)
{
    QDir dir(folder);
    const QFileInfoList entries
        = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QString path = entry.filePath();
        if (entry.isDir() && !entry.isSymLink()) {
            deleteContents(path);
            QDir().rmdir(path);
        } else if (entry.isSymLink() || (entry.permissions() & QFile::WriteOwner)) {
            QFile::remove(path);
        }
    }
}

// Copies one file through an AtomicFile, so that a copy cut short by a full disk or a
// failing read leaves an existing target as it was; the copy gets the source's
// modification time and, when new, its permission bits.
bool copyFile(const QString &source, const QString &target)
{
    const int input = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (input < 0)
        return false;
    struct stat info;
    bool ok = ::fstat(input, &info) == 0;
    platform::AtomicFile output(target, ok ? int(info.st_mode & 0777) : platform::SharedFileMode);
    ok = ok && output.open();
    QByteArray buffer(CopyChunkBytes, Qt::Uninitialized);
    while (ok) {
        const ssize_t got = ::read(input, buffer.data(), size_t(buffer.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        ok = output.write(QByteArrayView(buffer.constData(), got));
    }
    ::close(input);
    if (!ok || !output.commit())
        return false;
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    ::utimensat(AT_FDCWD, QFile::encodeName(target).constData(), times, 0);
    return true;
}

bool copyContents(const QString &source, const QString &target, std::vector<std::pair<dev_t, ino_t>> &ancestors)
{
    struct stat own;
    if (stat(QFile::encodeName(source).constData(), &own) != 0)
        return false;
    for (const auto &ancestor : ancestors)
        if (ancestor == std::make_pair(own.st_dev, own.st_ino))
            return true;
    ancestors.emplace_back(own.st_dev, own.st_ino);
    bool ok = QDir().mkpath(target);
    const QFileInfoList entries
        = QDir(source).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QString destination = target + u'/' + entry.fileName();
        if (entry.isDir())
            ok = copyContents(entry.filePath(), destination, ancestors) && ok;
        else if (entry.isFile())
            ok = copyFile(entry.filePath(), destination) && ok;
    }
    ancestors.pop_back();
    return ok;
}

} // namespace

std::optional<QString> MakeFolders(const QString &path, int level, bool &created)
{
    created = false;
    QStringList chain;
    for (QString element = QDir::cleanPath(QFileInfo(path).absoluteFilePath()); !element.isEmpty();
         element = parentOf(element))
        chain.append(element);
    qsizetype firstExisting = chain.size();
    for (qsizetype i = 0; i < chain.size(); ++i) {
        if (QFileInfo::exists(chain.at(i))) {
            firstExisting = i;
            break;
        }
    }
    for (qsizetype i = firstExisting - 1; i >= level && i >= 0; --i) {
        if (QFileInfo(chain.at(i)).isDir())
            continue;
        if (::mkdir(QFile::encodeName(chain.at(i)).constData(), 0777) != 0 && errno != EEXIST)
            return QString::fromLocal8Bit(std::strerror(errno)) + QStringLiteral(" : ") + chain.at(i);
        created = true;
    }
    return std::nullopt;
}

bool CreateFolder(const QString &path, int level, bool &created)
{
    try {
        if (const std::optional<QString> failure = MakeFolders(path, level, created))
            throw common::Failure(75, QCoreApplication::applicationName(),
                                  QStringLiteral("フォルダを作成できません。 ") + *failure);
        return true;
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("CreateFolder"));
        return false;
    }
}

void DeleteFolderIfExists(const QString &folder)
{
    const QFileInfo info(folder);
    if (info.isSymLink()) {
        QFile::remove(folder);
        return;
    }
    if (!info.isDir())
        return;
    deleteContents(folder);
    QDir().rmdir(folder);
}

bool CopyFolderContents(const QString &source, const QString &target)
{
    std::vector<std::pair<dev_t, ino_t>> ancestors;
    return copyContents(source, target, ancestors);
}

} // namespace foldercompare::listing
