#include "idlebackup/copy_rules.h"

#include "platform/byte_text.h"

#include <QStringList>

#include <cmath>

namespace idlebackup {

namespace {

QByteArrayList tokensOf(const QString &list, char lead)
{
    QByteArrayList tokens;
    for (const QString &token : list.split(u',', Qt::SkipEmptyParts))
        tokens.append(lead + token.toUtf8());
    return tokens;
}

constexpr qint64 NanosecondsPerSecond = 1000000000;

// The step that a disk may have cut `time` down to: the largest power of ten
// nanoseconds, up to a second, that its nanoseconds are a multiple of.
qint64 timeStep(const timespec &time)
{
    qint64 step = 1;
    while (step < NanosecondsPerSecond && time.tv_nsec % (step * 10) == 0)
        step *= 10;
    return step;
}

bool inTwoSeconds(TimeGrain grain, const timespec &time)
{
    return grain == TimeGrain::Fat || (grain == TimeGrain::Network && time.tv_nsec == 0 && time.tv_sec % 2 == 0);
}

} // namespace

bool ComparedInTwoSeconds(TimeGrain oneGrain, const timespec &one, TimeGrain otherGrain, const timespec &other)
{
    return inTwoSeconds(oneGrain, one) || inTwoSeconds(otherGrain, other);
}

QString FoldedName(QByteArrayView name)
{
    return platform::TextOfBytes(name).toCaseFolded();
}

NewerFile NewerOf(const timespec &source, const timespec &copy, bool sizesDiffer, bool onFat)
{
    const qint64 step = onFat ? 2 * NanosecondsPerSecond : qMax(timeStep(source), timeStep(copy));
    const qint64 seconds = qint64(copy.tv_sec) - qint64(source.tv_sec);
    // Beyond any step; closer, the difference fits in nanoseconds.
    if (seconds > 2)
        return NewerFile::Copy;
    if (seconds < -2)
        return NewerFile::Source;
    const qint64 difference = seconds * NanosecondsPerSecond + (qint64(copy.tv_nsec) - qint64(source.tv_nsec));
    if (difference >= step)
        return NewerFile::Copy;
    if (difference <= -step)
        return NewerFile::Source;
    return sizesDiffer ? NewerFile::BothChanged : NewerFile::Neither;
}

bool IsCopyUnderFoldedName(const timespec &original, qint64 originalSize, const timespec &backup, qint64 backupSize)
{
    return originalSize == backupSize && NewerOf(original, backup, false, true) == NewerFile::Neither;
}

bool CopyIsDue(qint64 seconds, bool sizesDiffer, bool newOverWrite, bool onFat)
{
    if (seconds == 0 || (onFat && seconds >= -1 && seconds <= 1))
        return sizesDiffer;
    if (seconds < 0)
        return true;
    return seconds > 0 && newOverWrite;
}

Exclusions::Exclusions(const QString &noneStr, const QString &noneExt)
    : m_nameStarts(tokensOf(noneStr, '/'))
    , m_extensions(tokensOf(noneExt, '.'))
{
}

bool Exclusions::copies(QByteArrayView relativePath) const
{
    QByteArrayView path = relativePath;
    while (path.endsWith('/'))
        path.chop(1);
    for (const QByteArray &token : m_nameStarts) {
        if (path.startsWith(token.sliced(1)) || path.contains(token))
            return false;
    }
    const QByteArrayView name = path.sliced(path.lastIndexOf('/') + 1);
    const qsizetype dot = name.lastIndexOf('.');
    if (dot < 0)
        return true;
    const QByteArrayView extension = name.sliced(dot);
    for (const QByteArray &token : m_extensions) {
        if (token == extension)
            return false;
    }
    return true;
}

bool CheckTarget(const QString &relativePath, const QString &noneStr, const QString &noneExt)
{
    return Exclusions(noneStr, noneExt).copies(relativePath.toUtf8());
}

bool IsSkippedRootItem(QByteArrayView name)
{
    static const QByteArray prefixes[] = {QByteArrayLiteral("RECYCLER"), QByteArrayLiteral("SYSTEM VOLUME INFORMATION")};
    for (const QByteArray &prefix : prefixes) {
        if (name.size() >= prefix.size() && name.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0)
            return true;
    }
    static const QByteArray trashNumbered = QByteArrayLiteral(".Trash-");
    return name == ".Trash" || name == "lost+found"
           || (name.startsWith(trashNumbered) && platform::IsDecimalNumber(name.sliced(trashNumbered.size())));
}

QString DisplayPath(QByteArrayView path)
{
    static const char hexDigits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(path.size());
    qsizetype start = 0;
    qsizetype at = 0;
    while (at < path.size()) {
        const unsigned char byte = static_cast<unsigned char>(path[at]);
        const qsizetype length = platform::Utf8SequenceLength(path.sliced(at));
        if (length > 0 && byte >= 0x20 && byte != 0x7F) {
            at += length;
            continue;
        }
        text += QString::fromUtf8(path.sliced(start, at - start));
        text += u"\\x";
        text += QLatin1Char(hexDigits[byte >> 4]);
        text += QLatin1Char(hexDigits[byte & 0xF]);
        start = ++at;
    }
    text += QString::fromUtf8(path.sliced(start));
    return text;
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

QByteArray WithTrailingSlash(QByteArray path)
{
    if (!path.endsWith('/'))
        path += '/';
    return path;
}

QString WithoutTrailingSlash(const QString &path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(u'/'))
        trimmed.chop(1);
    return trimmed;
}

QByteArray WithoutTrailingSlash(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
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
