#include "foldercompare/operations/local_files.h"

#include "foldercompare/listing/folder_services.h"
#include "foldercompare/operations/operation_frame.h"
#include "platform/atomic_file.h"
#include "platform/descriptor.h"
#include "platform/descriptor_trash.h"
#include "platform/file_handles.h"
#include "platform/folder_descent.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace foldercompare::operations {

namespace {

const QString LinkNotFollowed = QStringLiteral("リンクは辿りません");

QString systemText(int error)
{
    return platform::SystemErrorText(error);
}

StepResult commitAfter(platform::AtomicFile &output, const BeforeReplace &beforeReplace)
{
    if (beforeReplace) {
        if (StepResult refused = beforeReplace([&output] { return output.replacementExists(); })) {
            output.cancel();
            return refused;
        }
    }
    if (!output.commit())
        return output.errorString();
    return std::nullopt;
}

// Deletes the entry `name` of the open folder `folder`, whose path is `path`: a folder
// with everything below it, each entry looked up in the folder that was opened, and a
// link as a link, never what it leads to.
StepResult removeAt(int folder, const QByteArray &name, const QString &path)
{
    struct stat info;
    if (::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? std::nullopt : StepResult(systemText(errno) + QStringLiteral(" : ") + path);
    if (!S_ISDIR(info.st_mode)) {
        if (::unlinkat(folder, name.constData(), 0) != 0 && errno != ENOENT)
            return systemText(errno) + QStringLiteral(" : ") + path;
        return std::nullopt;
    }
    const platform::Descriptor below = platform::OpenFolderAt(folder, name);
    const std::optional<std::vector<QByteArray>> names = below.isOpen() ? platform::NamesInFolder(below.get()) : std::nullopt;
    if (!names) {
        // A folder that cannot be read may still be empty, and goes as an empty one does.
        const int unread = errno;
        if (::unlinkat(folder, name.constData(), AT_REMOVEDIR) == 0)
            return std::nullopt;
        return systemText(unread) + QStringLiteral(" : ") + path;
    }
    for (const QByteArray &entry : *names)
        if (StepResult failure = removeAt(below.get(), entry, path + u'/' + QFile::decodeName(entry)))
            return failure;
    if (::unlinkat(folder, name.constData(), AT_REMOVEDIR) != 0)
        return systemText(errno) + QStringLiteral(" : ") + path;
    return std::nullopt;
}

} // namespace

StepResult ReplaceFileContents(const QString &path, QByteArrayView bytes, const BeforeReplace &beforeReplace)
{
    platform::AtomicFile output(path);
    if (!output.open() || !output.write(bytes))
        return output.errorString();
    return commitAfter(output, beforeReplace);
}

namespace {

// `root` with one "/" at its end: what the paths below it begin with.
QString folderPrefix(const QString &root)
{
    QString prefix = root;
    while (prefix.endsWith(u'/'))
        prefix.chop(1);
    return prefix + u'/';
}

bool isBelow(const QString &root, const QString &path)
{
    return !root.isEmpty() && path.startsWith(folderPrefix(root));
}

// The elements of `path` below `root`.
QStringList elementsBelow(const QString &root, const QString &path)
{
    return path.mid(folderPrefix(root).size()).split(u'/', Qt::SkipEmptyParts);
}

// Opens `root` (followed as the user named it) and below it the folders `names` each in
// the one above it, never through a link: a link on the way fails, naming it. Without
// `created`, a folder on the way that is missing or no folder ends the walk with
// `folder` closed. With it, a missing folder is made (mkdirat, `*created` then set), and
// one that cannot be made or opened fails, naming it, as does anything else in the way.
StepResult openFoldersBelow(const QString &root, const QStringList &names, platform::Descriptor &folder, bool *created)
{
    const QString prefix = folderPrefix(root);
    platform::Descriptor top = platform::OpenFolder(QFile::encodeName(prefix));
    if (!top.isOpen()) {
        folder.reset();
        return created ? StepResult(systemText(errno) + QStringLiteral(" : ") + prefix.chopped(1)) : std::nullopt;
    }
    QList<QByteArray> elements;
    for (const QString &name : names)
        elements.append(QFile::encodeName(name));
    platform::FolderDescent descent = platform::OpenFoldersBelow(std::move(top), elements, created != nullptr);
    if (created && descent.created)
        *created = true;
    folder = std::move(descent.folder);
    if (descent.error == 0)
        return std::nullopt;
    const QString reached = prefix + names.first(descent.failedLevel + 1).join(u'/');
    if (descent.error == ELOOP)
        return LinkNotFollowed + QStringLiteral(" : ") + reached;
    errno = descent.error;
    if (!created)
        return std::nullopt;
    // Named as the folder that cannot be made in it, when there is one.
    if (descent.error == ENOTDIR && descent.failedLevel + 1 < names.size())
        return systemText(ENOTDIR) + QStringLiteral(" : ") + reached + u'/' + names.at(descent.failedLevel + 1);
    return systemText(descent.error) + QStringLiteral(" : ") + reached;
}

// Opens the folder that holds `path` below `root` as openFoldersBelow opens folders,
// never making one: `parent` stays closed when `path` is not below `root` or a folder on
// the way is missing; `name` is the last element of `path`.
StepResult openParentBelow(const QString &root, const QString &path, platform::Descriptor &parent, QByteArray &name)
{
    if (!isBelow(root, path))
        return std::nullopt;
    QStringList names = elementsBelow(root, path);
    if (names.isEmpty())
        return std::nullopt;
    name = QFile::encodeName(names.takeLast());
    platform::Descriptor folder;
    if (StepResult link = openFoldersBelow(root, names, folder, nullptr))
        return link;
    parent = std::move(folder);
    return std::nullopt;
}

} // namespace

namespace {

// Takes `step` on the entry `path` in its folder, opened as OpenEntryFolder opens it. An
// entry whose folder is gone, or is no folder any more, is nothing to act on; a folder
// that cannot be opened for another reason fails, naming the entry.
StepResult inEntryFolder(const QString &path, const QString &root,
                         const std::function<StepResult(int folder, const QByteArray &name)> &step)
{
    platform::Descriptor folder;
    QByteArray name;
    if (StepResult link = OpenEntryFolder(root, path, folder, name))
        return link;
    if (!folder.isOpen())
        return errno == ENOENT || errno == ENOTDIR ? std::nullopt
                                                   : StepResult(systemText(errno) + QStringLiteral(" : ") + path);
    return step(folder.get(), name);
}

} // namespace

StepResult RemoveEntry(const QString &path, const QString &root)
{
    return inEntryFolder(path, root, [&path](int folder, const QByteArray &name) { return removeAt(folder, name, path); });
}

StepResult OpenEntryFolder(const QString &root, const QString &path, platform::Descriptor &folder, QByteArray &name)
{
    if (isBelow(root, path))
        return openParentBelow(root, path, folder, name);
    const QFileInfo entry(path);
    name = QFile::encodeName(entry.fileName());
    folder = platform::Descriptor(::open(QFile::encodeName(entry.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return std::nullopt;
}

StepResult MakeFoldersBelow(const QString &root, const QString &path, platform::Descriptor &folder, bool &created)
{
    created = false;
    if (isBelow(root, path))
        return openFoldersBelow(root, elementsBelow(root, path), folder, &created);
    if (std::optional<QString> failure = listing::MakeFolders(path, 0, created))
        return failure;
    folder = platform::Descriptor(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isOpen())
        return systemText(errno) + QStringLiteral(" : ") + path;
    return std::nullopt;
}

namespace {

// Takes `toTrash` on the entry `name` of `folder` when something is there: nothing there
// is nothing to keep.
StepResult trashWhenThere(int folder, const QByteArray &name, const QString &path,
                          const std::function<int(QString *reason)> &toTrash)
{
    struct stat info;
    if (::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? std::nullopt : StepResult(systemText(errno) + QStringLiteral(" : ") + path);
    QString reason;
    const int moved = toTrash(&reason);
    if (moved == platform::TrashOfAnotherUser)
        return reason + QStringLiteral("（「削除/上書時はごみ箱にバックアップする」を外すと、ごみ箱を使わずに処理します）");
    if (moved != 0)
        return reason;
    return std::nullopt;
}

} // namespace

StepResult TrashBackupAt(int folder, const QByteArray &name, const QString &path)
{
    return trashWhenThere(folder, name, path, [&](QString *reason) {
        return platform::MoveToTrashAt(folder, name, QFile::encodeName(path), reason);
    });
}

StepResult TrashBackupBeforeReplace(int folder, const QByteArray &name, const QString &path,
                                    const ReplacementReady &replacementReady, platform::TrashRecord *prepared)
{
    return trashWhenThere(folder, name, path, [&](QString *reason) {
        return platform::BackUpToTrashAt(folder, name, QFile::encodeName(path), replacementReady, reason, prepared);
    });
}

StepResult TrashEntry(const QString &path, const QString &root)
{
    return inEntryFolder(path, root,
                         [&path](int folder, const QByteArray &name) { return TrashBackupAt(folder, name, path); });
}

StepResult LinkOnTheWay(const QString &root, const QString &path, bool entryToo)
{
    platform::Descriptor parent;
    QByteArray name;
    if (StepResult link = openParentBelow(root, path, parent, name))
        return link;
    return entryToo && parent.isOpen() ? LinkAt(parent.get(), name) : std::nullopt;
}

StepResult LinkAt(int folder, const QByteArray &name)
{
    struct stat info;
    if (::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode))
        return LinkNotFollowed;
    return std::nullopt;
}

bool EntryExists(const QString &path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

namespace {

// The files at and below `path`, never through a link: a folder's files at any depth,
// the file `path` itself, nothing for a link (also when the path ends with "/", which
// would lead through it).
QStringList filesWithoutLinks(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink())
        return {};
    if (info.isFile())
        return {path};
    QStringList files;
    if (!info.isDir())
        return files;
    QDirIterator below(path, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (below.hasNext())
        files.append(below.next());
    return files;
}

QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

} // namespace

bool ChkReadOnly(const QString &path)
{
    const QStringList files = filesWithoutLinks(withoutTrailingSlashes(path));
    return std::any_of(files.cbegin(), files.cend(), IsReadOnlyEntry);
}

void SetReadOnly(const QString &path, int mode, const QString &root)
{
    platform::Descriptor folder;
    QByteArray name;
    if (mode == 0 || OpenEntryFolder(root, withoutTrailingSlashes(path), folder, name) || !folder.isOpen())
        return;
    SetReadOnlyAt(folder.get(), name, mode);
}

void SetReadOnlyAt(int folder, const QByteArray &name, int mode)
{
    struct stat info;
    if (mode == 0 || ::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    if (S_ISREG(info.st_mode)) {
        const mode_t changed = mode < 0 ? (info.st_mode | S_IWUSR) : (info.st_mode & ~mode_t(S_IWUSR));
        if (changed != info.st_mode)
            ::fchmodat(folder, name.constData(), changed & 07777, AT_SYMLINK_NOFOLLOW);
        return;
    }
    if (!S_ISDIR(info.st_mode))
        return;
    const platform::Descriptor below = platform::OpenFolderAt(folder, name);
    if (!below.isOpen())
        return;
    if (const std::optional<std::vector<QByteArray>> names = platform::NamesInFolder(below.get()))
        for (const QByteArray &entry : *names)
            SetReadOnlyAt(below.get(), entry, mode);
}

std::optional<DecidedTarget> DecideTarget(OperationFrame &frame, int side, const OperationRow &row, int folder,
                                          const QByteArray &name, const QString &path, bool askReadOnly)
{
    struct stat info;
    const platform::TargetState seen = platform::TargetState::at(folder, name, &info);
    if (StepResult link = LinkAt(folder, name)) {
        frame.listError(path, *link);
        return std::nullopt;
    }
    if (!frame.checkAsCompared(side, row, folder, name, path))
        return std::nullopt;
    DecidedTarget decided;
    decided.madeWritable = seen.present && S_ISREG(info.st_mode) && !(info.st_mode & S_IWUSR);
    if (decided.madeWritable) {
        if (askReadOnly && !frame.mayHandleReadOnly(path))
            return std::nullopt;
        // The question may have stood open a while: the file is made writable only as it
        // was when it was asked about.
        if (StepResult link = LinkAt(folder, name)) {
            frame.listError(path, *link);
            return std::nullopt;
        }
        if (!platform::TargetState::at(folder, name).sameAs(seen)) {
            frame.listChangedSinceComparison(path);
            return std::nullopt;
        }
        SetReadOnlyAt(folder, name, -1);
        // Only the change time may differ from the file looked at: a save that came in
        // meanwhile is not the file decided on.
        decided.state = platform::TargetState::at(folder, name);
        if (!decided.state.present || !(decided.state.identity == seen.identity)) {
            frame.listChangedSinceComparison(path);
            return std::nullopt;
        }
        return decided;
    }
    // The file looked at first is the one decided on: a save after that look is another
    // file, which the placing leaves alone.
    decided.state = seen;
    return decided;
}

void RestoreReadOnly(int folder, const QByteArray &name, const platform::TargetState &decided)
{
    if (platform::TargetState::at(folder, name).sameAs(decided))
        SetReadOnlyAt(folder, name, 1);
}

} // namespace foldercompare::operations
