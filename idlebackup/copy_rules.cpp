#include "idlebackup/copy_rules.h"

#include <QStringList>

#include <cmath>

namespace idlebackup {

namespace {

QStringList tokensOf(const QString &list)
{
    return list.split(u',', Qt::SkipEmptyParts);
}

QString extensionOf(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

} // namespace

bool CopyIsDue(qint64 seconds, bool newOverWrite, bool sourceOnFat, bool copyOnFat)
{
    if (seconds <= -2)
        return true;
    if (seconds == -1)
        return !sourceOnFat;
    if (seconds == 0 || !newOverWrite)
        return false;
    if (seconds == 1)
        return !copyOnFat;
    return true;
}

bool CheckTarget(const QString &relativePath, const QString &noneStr, const QString &noneExt)
{
    const QString path = u'/' + relativePath;
    for (const QString &token : tokensOf(noneStr)) {
        if (path.contains(u'/' + token))
            return false;
    }
    const QString extension = extensionOf(FileNameOf(relativePath));
    for (const QString &token : tokensOf(noneExt)) {
        if (token == extension)
            return false;
    }
    return true;
}

bool IsSkippedRootItem(const QString &name)
{
    static const QString prefixes[] = {QStringLiteral("RECYCLER"), QStringLiteral("SYSTEM VOLUME INFORMATION"),
                                       QStringLiteral(".TRASH"), QStringLiteral("LOST+FOUND")};
    const QString upper = name.toUpper();
    for (const QString &prefix : prefixes) {
        if (upper.startsWith(prefix))
            return true;
    }
    return false;
}

QString CommaEdit(double value)
{
    QString sign;
    if (value < 0) {
        sign = QStringLiteral("-");
        value = -value;
    }
    QString fraction;
    double whole = std::trunc(value);
    if (whole != value) {
        const QString text = QString::number(value, 'g', 15);
        const qsizetype point = text.indexOf(u'.');
        if (point >= 0 && !text.contains(u'e'))
            fraction = text.mid(point);
    }
    QString text;
    for (;;) {
        const double remainder = std::fmod(whole, 1000);
        const QString part = QString::number(qint64(remainder));
        text.prepend(whole >= 1000 ? part.rightJustified(3, u'0') : part);
        whole = std::trunc(whole / 1000);
        if (whole <= 0)
            break;
        text.prepend(u',');
    }
    return sign + text + fraction;
}

QString FileNameOf(const QString &path)
{
    const QString trimmed = WithoutTrailingSlash(path);
    if (trimmed == u"/")
        return QString();
    return trimmed.mid(trimmed.lastIndexOf(u'/') + 1);
}

QString WithTrailingSlash(const QString &path)
{
    return path.endsWith(u'/') ? path : path + u'/';
}

QString WithoutTrailingSlash(const QString &path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(u'/'))
        trimmed.chop(1);
    return trimmed;
}

QString ParentFolderOf(const QString &path)
{
    const QString trimmed = WithoutTrailingSlash(path);
    const qsizetype slash = trimmed.lastIndexOf(u'/');
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : trimmed.left(slash);
}

QString FileCopyPath(const QString &original, const QString &destination)
{
    return WithTrailingSlash(destination) + FileNameOf(original);
}

QString FolderCopyRoot(const QString &original, const QString &destination)
{
    const QString name = FileNameOf(original);
    if (name.isEmpty() || name == FileNameOf(destination))
        return WithTrailingSlash(destination);
    return WithTrailingSlash(destination) + name + u'/';
}

bool FileEntryOverlaps(const QString &original, const QString &destination)
{
    return original == destination || original.startsWith(destination) || destination.startsWith(original);
}

bool FolderEntryOverlaps(const QString &original, const QString &destination)
{
    const QString originalFolder = WithTrailingSlash(original);
    const QString destinationFolder = WithTrailingSlash(destination);
    return originalFolder.startsWith(destinationFolder) || destinationFolder.startsWith(originalFolder);
}

} // namespace idlebackup
