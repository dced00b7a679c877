#include "idlebackup/mount_table.h"

#include "idlebackup/copy_rules.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/statfs.h>

namespace idlebackup {

namespace {

// statfs magic numbers of the FAT family.
constexpr unsigned long VfatMagic = 0x4d44;
constexpr unsigned long ExfatMagic = 0x2011BAB0;

// Undoes the octal escapes of mountinfo ("\040" for a blank).
QByteArray unescapeMountField(const QByteArray &field)
{
    QByteArray result;
    result.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool valid = false;
            const int value = field.mid(i + 1, 3).toInt(&valid, 8);
            if (valid) {
                result += char(value);
                i += 3;
                continue;
            }
        }
        result += field[i];
    }
    return result;
}

bool exists(const QString &path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

} // namespace

MountTable MountTable::current()
{
    MountTable table;
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return table;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() > 4)
            table.m_mountPoints.insert(QFile::decodeName(unescapeMountField(fields[4])));
    }
    return table;
}

MountTable MountTable::of(const QSet<QString> &mountPoints)
{
    MountTable table;
    table.m_mountPoints = mountPoints;
    return table;
}

QString MountTable::mountPointHolding(const QString &path) const
{
    const QString existing = DeepestExisting(path);
    if (existing.isEmpty())
        return QString();
    QString resolved = QFileInfo(existing).canonicalFilePath();
    if (resolved.isEmpty())
        resolved = existing;
    for (QString candidate = resolved;; candidate = ParentFolderOf(candidate)) {
        if (m_mountPoints.contains(candidate) || candidate == u"/")
            return candidate;
    }
}

void MountHistory::record(const QString &path, const MountTable &table)
{
    const QString holder = table.mountPointHolding(path);
    if (holder.isEmpty())
        return;
    QString &remembered = m_mountPointOf[WithoutTrailingSlash(path)];
    if (remembered.isEmpty() || holder.size() > remembered.size())
        remembered = holder;
}

bool MountHistory::driveMounted(const QString &path, const MountTable &table) const
{
    if (!path.startsWith(u'/') || DeepestExisting(path).isEmpty())
        return false;
    const QString remembered = m_mountPointOf.value(WithoutTrailingSlash(path));
    return remembered.isEmpty() || remembered == u"/" || table.isMountPoint(remembered);
}

bool IsFatFileSystem(const QString &path)
{
    const QString existing = DeepestExisting(path);
    if (existing.isEmpty())
        return false;
    struct statfs info;
    if (::statfs(QFile::encodeName(existing).constData(), &info) != 0)
        return false;
    const unsigned long type = static_cast<unsigned long>(info.f_type);
    return type == VfatMagic || type == ExfatMagic;
}

QString DeepestExisting(const QString &path)
{
    if (!path.startsWith(u'/'))
        return QString();
    for (QString candidate = WithoutTrailingSlash(path);; candidate = ParentFolderOf(candidate)) {
        if (exists(candidate))
            return candidate;
        if (candidate == u"/")
            return QString();
    }
}

} // namespace idlebackup
