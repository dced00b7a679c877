#include "idlebackup/mount_table.h"

#include "idlebackup/copy_rules.h"
#include "platform/atomic_file.h"
#include "platform/byte_text.h"
#include "platform/own_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <utility>

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/statfs.h>

namespace idlebackup {

namespace {

// statfs magic numbers of the kernel's FAT family (vfat and msdos share one) and of its
// network file systems.
constexpr unsigned long MsdosMagic = 0x4d44;
constexpr unsigned long ExfatMagic = 0x2011BAB0;
constexpr unsigned long NfsMagic = 0x6969;
constexpr unsigned long SmbMagic = 0x517B;
constexpr unsigned long CifsMagic = 0xFF534D42;
constexpr unsigned long Smb2Magic = 0xFE534D42;

const QByteArray Root = QByteArrayLiteral("/");

// Undoes the octal escapes of mountinfo and fstab ("\040" for a blank).
QByteArray unescapeMountField(QByteArrayView field)
{
    QByteArray result;
    result.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool valid = false;
            const int value = field.sliced(i + 1, 3).toByteArray().toInt(&valid, 8);
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

// The octal escapes of mountinfo for the bytes that would break a line into fields.
QByteArray escapeMountField(const QByteArray &field)
{
    QByteArray result;
    result.reserve(field.size());
    for (const char c : field) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\\')
            result += '\\' + QByteArray::number(static_cast<unsigned char>(c), 8).rightJustified(3, '0');
        else
            result += c;
    }
    return result;
}

bool exists(const QString &path)
{
    struct stat info;
    return ::lstat(platform::BytesOfText(path).constData(), &info) == 0;
}

// Whether something of the absolute `path` exists and the file systems on the way to it
// answer: one whose server no longer does (a FUSE daemon that died) fails every look-up
// with ENOTCONN.
bool existsAndAnswers(const QString &path)
{
    for (QString level = WithoutTrailingSlash(path);; level = ParentFolderOf(level)) {
        struct stat info;
        if (::lstat(platform::BytesOfText(level).constData(), &info) == 0)
            return true;
        if (errno == ENOTCONN || level == u"/")
            return false;
    }
}

// The existing path `existing` with every link resolved, its bytes kept (names that are
// not UTF-8 included); empty when it cannot be resolved.
QString canonicalPath(const QString &existing)
{
    char *const resolved = ::realpath(platform::BytesOfText(existing).constData(), nullptr);
    if (!resolved)
        return QString();
    const QString text = platform::TextOfBytes(resolved);
    std::free(resolved);
    return text;
}

// Whether `mountPoint` lies at or above `path` (both without trailing "/").
bool atOrAbove(const QByteArray &mountPoint, const QByteArray &path)
{
    return path == mountPoint || (path.startsWith(mountPoint) && path[mountPoint.size()] == '/');
}

// Whether the two paths lie one at, above or below the other.
bool related(const QByteArray &one, const QByteArray &other)
{
    return atOrAbove(one, other) || atOrAbove(other, one);
}

// The path as written and with its links resolved, encoded, without trailing "/".
QByteArrayList bothForms(const QString &path)
{
    QByteArrayList forms{WithoutTrailingSlash(platform::BytesOfText(path))};
    const QByteArray resolved = WithoutTrailingSlash(platform::BytesOfText(ResolvedPath(path)));
    if (resolved != forms.first())
        forms.append(resolved);
    return forms;
}

// The time grain that a file-system type of the table (FUSE ones with their prefix)
// tells.
TimeGrain grainOfType(QByteArrayView type)
{
    for (const char *fuse : {"fuse.", "fuseblk."}) {
        if (type.startsWith(fuse))
            type = type.sliced(qstrlen(fuse));
    }
    for (const char *fat : {"vfat", "msdos", "umsdos", "exfat", "fat", "fusefat"}) {
        if (type == fat)
            return TimeGrain::Fat;
    }
    for (const char *network : {"cifs", "smb3", "smbfs", "nfs", "nfs4", "gvfsd-fuse", "smbnetfs"}) {
        if (type == network)
            return TimeGrain::Network;
    }
    return TimeGrain::Own;
}

} // namespace

MountTable MountTable::current()
{
    return read(QStringLiteral("/proc/self/mountinfo"));
}

MountTable MountTable::read(const QString &mountInfoPath)
{
    MountTable table;
    table.m_source = mountInfoPath;
    QFile file(mountInfoPath);
    if (!file.open(QIODevice::ReadOnly))
        return table;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        // id parent major:minor root mount-point options [optional fields] - type source ...
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() <= 4)
            continue;
        const qsizetype separator = fields.indexOf(QByteArrayLiteral("-"), 5);
        const QByteArray type = separator > 0 && separator + 1 < fields.size() ? fields[separator + 1] : QByteArray();
        table.m_typeOf.insert(WithoutTrailingSlash(unescapeMountField(fields[4])), type);
    }
    return table;
}

MountTable MountTable::of(const QSet<QString> &mountPoints)
{
    MountTable table;
    for (const QString &mountPoint : mountPoints)
        table.m_typeOf.insert(WithoutTrailingSlash(platform::BytesOfText(mountPoint)), QByteArray());
    return table;
}

MountTable MountTable::reread() const
{
    return m_source.isEmpty() ? *this : read(m_source);
}

QString MountTable::mountPointHolding(const QString &path) const
{
    const QString existing = DeepestExisting(path);
    if (existing.isEmpty())
        return QString();
    QString resolved = canonicalPath(existing);
    if (resolved.isEmpty())
        resolved = existing;
    for (QString candidate = resolved;; candidate = ParentFolderOf(candidate)) {
        if (isMountPoint(platform::BytesOfText(candidate)) || candidate == u"/")
            return candidate;
    }
}

TimeGrain MountTable::timeGrain(const QString &path) const
{
    const QString existing = DeepestExisting(path);
    if (existing.isEmpty())
        return TimeGrain::Own;
    struct statfs info;
    if (::statfs(platform::BytesOfText(existing).constData(), &info) == 0) {
        const unsigned long type = static_cast<unsigned long>(info.f_type);
        if (type == MsdosMagic || type == ExfatMagic)
            return TimeGrain::Fat;
        if (type == NfsMagic || type == SmbMagic || type == CifsMagic || type == Smb2Magic)
            return TimeGrain::Network;
    }
    const QString holder = mountPointHolding(existing);
    return holder.isEmpty() ? TimeGrain::Own : grainOfType(m_typeOf.value(platform::BytesOfText(holder)));
}

QSet<QByteArray> ListedMountPoints(const QString &fstabPath)
{
    QSet<QByteArray> mountPoints;
    QFile file(fstabPath);
    if (!file.open(QIODevice::ReadOnly))
        return mountPoints;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2 || fields[0].startsWith('#'))
            continue;
        const QByteArray mountPoint = WithoutTrailingSlash(unescapeMountField(fields[1]));
        if (mountPoint.startsWith('/') && mountPoint != Root)
            mountPoints.insert(mountPoint);
    }
    return mountPoints;
}

void MountHistory::record(const QString &path, const MountTable &table)
{
    const QByteArrayList forms = bothForms(path);
    for (const QByteArray &mountPoint : table.mountPoints()) {
        if (mountPoint == Root || m_remembered.contains(mountPoint))
            continue;
        for (const QByteArray &form : forms) {
            if (related(mountPoint, form)) {
                m_remembered.insert(mountPoint);
                m_changed = true;
                break;
            }
        }
    }
}

bool MountHistory::takeChanged()
{
    return std::exchange(m_changed, false);
}

bool MountHistory::driveMounted(const QString &path, const MountTable &table) const
{
    if (!path.startsWith(u'/') || !existsAndAnswers(path))
        return false;
    for (const QByteArray &form : bothForms(path)) {
        for (qsizetype slash = form.indexOf('/', 1); ; slash = form.indexOf('/', slash + 1)) {
            const QByteArray level = slash < 0 ? form : form.left(slash);
            if (level != Root && isKnownMountPoint(level) && !table.isMountPoint(level))
                return false;
            if (slash < 0)
                break;
        }
    }
    return true;
}

void MountHistory::load(const QString &statePath)
{
    m_remembered.clear();
    const platform::OwnFileContents file = platform::readOwnFile(statePath);
    const QList<QByteArray> lines = file.bytes.split('\n');
    for (const QByteArray &line : lines) {
        const QByteArray mountPoint = WithoutTrailingSlash(unescapeMountField(line));
        if (mountPoint.startsWith('/') && mountPoint != Root)
            m_remembered.insert(mountPoint);
    }
}

bool MountHistory::save(const QString &statePath) const
{
    // A file that is not the user's own is left alone, not replaced.
    if (!platform::readOwnFile(statePath).problem.isEmpty())
        return false;
    QByteArrayList lines;
    for (const QByteArray &mountPoint : m_remembered)
        lines.append(escapeMountField(mountPoint));
    std::sort(lines.begin(), lines.end());
    QByteArray text = lines.join('\n');
    if (!text.isEmpty())
        text += '\n';
    return !platform::writeWholeFile(statePath, text, platform::PrivateFileMode).has_value();
}

QString MountStatePath(const QString &iniPath)
{
    const QFileInfo ini(iniPath);
    return ini.dir().filePath(ini.completeBaseName() + QStringLiteral(".mounts"));
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

QString ResolvedPath(const QString &path)
{
    const QString existing = DeepestExisting(path);
    if (existing.isEmpty())
        return path;
    const QString canonical = canonicalPath(existing);
    if (canonical.isEmpty())
        return path;
    return canonical + path.mid(existing.size());
}

} // namespace idlebackup
