#include "idlebackup/backup_list.h"
#include "idlebackup/backup_work.h"
#include "idlebackup/copy_rules.h"
#include "idlebackup/file_access.h"
#include "idlebackup/file_copy.h"
#include "idlebackup/folder_walk.h"
#include "idlebackup/mount_table.h"

#include "common/saved_error.h"
#include "platform/atomic_file.h"
#include "platform/byte_text.h"
#include "platform/file_copy.h"
#include "platform/flex_grid.h"

#include <QCoreApplication>
#include <QHash>
#include <QScopeGuard>
#include <QSet>

#include <cerrno>
#include <deque>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace idlebackup {

namespace {

bool statPath(const QString &path, struct stat &info)
{
    return ::stat(platform::BytesOfText(path).constData(), &info) == 0;
}

// Why an original is not copied to a disk that folds letter case: the backup `heldName`
// of another file holds the name there.
QString nameHeldReason(const QByteArray &heldName)
{
    return QStringLiteral("名前が別のファイルのバックアップ %1 と重なります。コピー先は大文字と小文字を区別しません。")
        .arg(DisplayPath(heldName));
}

// Whether the file `backupName` of the open folder `backupFolder`, whose name differs in
// letter case only from the original `originalName` of `originalFolder`, was made from
// another file (IsCopyUnderFoldedName); false where either cannot be examined.
bool anotherFilesBackup(int originalFolder, const QByteArray &originalName, int backupFolder,
                        const QByteArray &backupName)
{
    struct stat original;
    struct stat backup;
    return ::fstatat(originalFolder, originalName.constData(), &original, AT_SYMLINK_NOFOLLOW) == 0
           && ::fstatat(backupFolder, backupName.constData(), &backup, AT_SYMLINK_NOFOLLOW) == 0
           && !IsCopyUnderFoldedName(original.st_mtim, original.st_size, backup.st_mtim, backup.st_size);
}

// The names of a folder, and the same by their folded forms (FoldedName): for a walk
// that pairs an original's names with the names of a backup on a disk that folds letter
// case (a backup name that the backup's disk folds onto an original's name may be that
// original's backup: the original renamed in letter case only, which the backup's disk
// kept as it was; IsCopyUnderFoldedName tells), and for the names that such a disk's
// folder holds already.
class NamesByFolding
{
public:
    NamesByFolding() = default;
    explicit NamesByFolding(const std::vector<FolderEntry> &entries)
    {
        for (const FolderEntry &entry : entries) {
            m_names.insert(entry.name);
            m_byFolded.insert(FoldedName(entry.name), entry.name);
        }
    }
    // Whether the folder holds the name `name` as it is.
    bool holds(const QByteArray &name) const { return m_names.contains(name); }
    // The folder's name for the name `name`: `name` itself when the folder holds it,
    // else the one that folds as it does; `name` when there is none.
    QByteArray nameFor(const QByteArray &name) const
    {
        return holds(name) ? name : m_byFolded.value(FoldedName(name), name);
    }

private:
    QSet<QByteArray> m_names;
    QHash<QString, QByteArray> m_byFolded;
};

} // namespace

// A file as sync mode compares it: looked at without following a link, and when it is
// a link, the file that the link leads to.
struct BackupWork::SyncedFile
{
    bool there = false;
    bool link = false;
    struct stat info{}; // the file itself, or the one a link leads to (the link's own
                        // when it leads nowhere)

    // The item `name` of the open folder `folder` (AT_FDCWD for a path; -1 for a folder
    // that is not there); `seen`, when given, is what a look at it without following a
    // link found already.
    SyncedFile(int folder, const QByteArray &name, const struct stat *seen = nullptr)
    {
        if (seen)
            info = *seen;
        else if (folder == -1 || ::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            return;
        there = true;
        link = S_ISLNK(info.st_mode);
        struct stat led;
        if (link && ::fstatat(folder, name.constData(), &led, 0) == 0)
            info = led;
    }
    bool regular() const { return there && S_ISREG(info.st_mode); }
};

// The drives that a walk judges the folders of its trees by.
struct BackupWork::Drives
{
    const MountHistory *history = nullptr; // null: no folder is a known mount point
    MountTable mounts;
};

// An open folder of a walk.
struct BackupWork::WalkFolder
{
    Descriptor descriptor;
    QByteArray path; // encoded absolute path, ending in "/"
    dev_t device = 0;
    TimeGrain grain = TimeGrain::Own;
};

// A folder of the tree that a copy walk writes, opened or made when a copy needs it.
struct BackupWork::TargetFolder
{
    enum class State {
        Unknown, // not looked at yet
        Open,
        Missing, // may be made
        Refused, // must not be written: a link or a file stands there, it cannot be
                 // opened, or it is the mount point of a disk that is not mounted
    };
    TargetFolder *parent = nullptr; // null for the root
    QByteArray name;                // in the parent
    QByteArray path;                // encoded absolute path, ending in "/"
    // Shared with the copies written there until they are placed.
    std::shared_ptr<const Descriptor> descriptor;
    dev_t device = 0;
    TimeGrain grain = TimeGrain::Own;
    State state = State::Unknown;
    int error = 0; // why it was refused; 0 when that is reported already

    // The grain of the disk the folder is on, or will be on once it is made.
    TimeGrain diskGrain() const
    {
        for (const TargetFolder *level = this; level; level = level->parent) {
            if (level->state == State::Open)
                return level->grain;
        }
        return TimeGrain::Own;
    }

    // Takes the folder that a walk opened as an open root.
    void open(WalkFolder &folder)
    {
        path = folder.path;
        descriptor = std::make_shared<const Descriptor>(std::move(folder.descriptor));
        device = folder.device;
        grain = folder.grain;
        state = State::Open;
    }
    int fd() const { return descriptor ? descriptor->get() : -1; }
    // A root that could not be opened for `reason`.
    void refuse(const QByteArray &rootPath, int reason)
    {
        path = rootPath;
        state = State::Refused;
        error = reason;
    }
};

// What a copy walk keeps from start to end.
struct BackupWork::CopyWalk
{
    Exclusions exclusions;
    Drives drives;
    Way way;
};

void BackupWork::BackUpEntry(const QString &original, const QString &destination, const MountHistory &history,
                             const MountTable &mounts)
{
    m_history = &history;
    m_mounts = mounts;
    const auto forget = qScopeGuard([this] {
        m_history = nullptr;
        m_mounts.reset();
        // Every copy is placed or failed: the backup's disk is held open no longer.
        m_copies->forgetFileSystems([this] { m_host.pumpEvents(); });
    });
    if (!history.driveMounted(destination, mounts))
        return;
    const QString destinationFolder = WithTrailingSlash(destination);
    const bool syncMode = m_settings.SyncMode == 1;
    if (syncMode)
        m_settings.NewOverWr = 0;
    struct stat info;
    if (!statPath(original, info))
        return;
    if (S_ISREG(info.st_mode)) {
        const QString copyPath = FileCopyPath(original, destinationFolder);
        if (nameHeldByAnotherFile(original, info, copyPath))
            return;
        CopyFileOnly(original, copyPath);
        if (syncMode)
            copyFileOnly(copyPath, original, Way::SyncToOriginal);
        return;
    }
    if (!S_ISDIR(info.st_mode))
        return;
    const QByteArray originalFolder = WithTrailingSlash(platform::BytesOfText(original));
    // The copy root is the destination itself or a folder made in it for the entry: a
    // level of the walk, never followed when it is a link.
    const QByteArray chosenFolder = platform::BytesOfText(destinationFolder);
    const QString copyRoot = FolderCopyRoot(WithTrailingSlash(original), destinationFolder);
    const QByteArray copyRootLevel = platform::BytesOfText(copyRoot).mid(chosenFolder.size());
    copyWalk(originalFolder, QByteArray(), chosenFolder, copyRootLevel, QByteArray(),
             syncMode ? Way::SyncToBackup : Way::Backup);
    if ((!syncMode && m_settings.BakDel != 1) || !m_flags.going())
        return;
    const Drives walkDrives = drives();
    WalkFolder root;
    if (!openWalkFolder(root, originalFolder, walkDrives))
        return;
    if (!sourceRootReady(root, copyRoot, walkDrives))
        return;
    WalkFolder copy;
    if (!openWalkFolderBelow(copy, chosenFolder, copyRootLevel, walkDrives))
        return;
    m_pacer.CpuIdleCheckAndWait();
    if (syncMode) {
        TargetFolder target;
        target.open(root);
        copyTree(walkDrives, copy, target, QByteArray(), Way::SyncToOriginal);
    } else {
        deleteFolder(walkDrives, root, copy, true);
        m_pacer.BreakeTime(0);
    }
}

BackupWork::Drives BackupWork::drives() const
{
    return Drives{m_history, m_mounts ? *m_mounts : MountTable::current()};
}

bool BackupWork::openWalkFolder(WalkFolder &folder, const QByteArray &path, const Drives &drives) const
{
    folder.path = WithTrailingSlash(path);
    folder.descriptor = OpenFolder(folder.path);
    struct stat info;
    if (!folder.descriptor.isOpen() || ::fstat(folder.descriptor.get(), &info) != 0)
        return false;
    folder.device = info.st_dev;
    folder.grain = drives.mounts.timeGrain(platform::TextOfBytes(folder.path));
    return true;
}

bool BackupWork::openWalkFolderBelow(WalkFolder &folder, const QByteArray &chosen, const QByteArray &below,
                                     const Drives &drives) const
{
    if (!openWalkFolder(folder, chosen, drives))
        return false;
    QList<QByteArray> names = below.split('/');
    names.removeAll(QByteArray());
    platform::FolderDescent descent = platform::OpenFoldersBelow(std::move(folder.descriptor), names, false);
    struct stat info;
    if (!descent.folder.isOpen() || ::fstat(descent.folder.get(), &info) != 0)
        return false;
    for (const QByteArray &name : std::as_const(names))
        folder.path += name + '/';
    if (info.st_dev != folder.device)
        folder.grain = drives.mounts.timeGrain(platform::TextOfBytes(folder.path));
    folder.device = info.st_dev;
    folder.descriptor = std::move(descent.folder);
    return true;
}

bool BackupWork::sourceRootReady(const WalkFolder &root, const QString &otherRoot, const Drives &drives)
{
    if (drives.history && !drives.history->driveMounted(platform::TextOfBytes(root.path), drives.mounts))
        return false;
    std::vector<FolderEntry> entries;
    if (ListFolderAt(root.descriptor.get(), ListingDepth::KindsOnly, entries) != 0)
        return false;
    if (!entries.empty())
        return true;
    const Descriptor other = OpenFolder(platform::BytesOfText(otherRoot));
    return !other.isOpen() || ListFolderAt(other.get(), ListingDepth::KindsOnly, entries) != 0 || entries.empty();
}

bool BackupWork::unmountedMountPoint(const Drives &drives, const QByteArray &path, dev_t parentDevice,
                                     dev_t device) const
{
    if (!drives.history || !drives.history->isKnownMountPoint(path) || device != parentDevice)
        return false;
    return !drives.mounts.reread().isMountPoint(path);
}

void BackupWork::CopyFileOnly(const QString &OrgPath, const QString &BakPath)
{
    copyFileOnly(OrgPath, BakPath, m_settings.SyncMode == 1 ? Way::SyncToBackup : Way::Backup);
}

void BackupWork::copyFileOnly(const QString &OrgPath, const QString &BakPath, Way way)
{
    if (!m_flags.going())
        return;
    m_pacer.CpuIdleCheckAndWait();
    struct stat source;
    if (statPath(OrgPath, source) && S_ISREG(source.st_mode)) {
        m_pacer.BreakeTime(0);
        bool due = true;
        // The copy is put in place only over its copy as the decision saw it.
        const QByteArray targetPath = platform::BytesOfText(BakPath);
        struct stat seen;
        const platform::TargetState decided = platform::TargetState::at(AT_FDCWD, targetPath, &seen);
        const SyncedFile target(AT_FDCWD, targetPath, decided.present ? &seen : nullptr);
        const auto twoSeconds = [&] {
            const Drives walkDrives = drives();
            return ComparedInTwoSeconds(walkDrives.mounts.timeGrain(OrgPath), source.st_mtim,
                                        walkDrives.mounts.timeGrain(BakPath), target.info.st_mtim);
        };
        if (way != Way::Backup) {
            const QByteArray sourcePath = platform::BytesOfText(OrgPath);
            const SyncedFile sourceFile(AT_FDCWD, sourcePath);
            source = sourceFile.info;
            due = syncCopyDue(sourceFile, target, target.there && twoSeconds(), way, sourcePath, targetPath);
        } else {
            // A link planted as the copy is not judged by the file it leads to.
            listWhile(target.link, FailureKind::FileLink, [&] { return DisplayPath(targetPath); });
            if (target.link)
                due = false;
            else if (target.regular())
                due = CopyIsDue(qint64(target.info.st_mtim.tv_sec) - qint64(source.st_mtim.tv_sec),
                                target.info.st_size != source.st_size, m_settings.NewOverWr == 1, twoSeconds());
        }
        if (due) {
            showItem(QStringLiteral("コピー ") + OrgPath);
            const QString folder = ParentFolderOf(BakPath);
            CreateFolder(folder);
            const Descriptor opened = OpenFolder(platform::BytesOfText(folder));
            if (opened.isOpen())
                platform::removeLeftoverTemporaryFiles(opened.get());
            copyFileOver(OrgPath, BakPath, decided, platform::IdentityOf(source), way != Way::SyncToOriginal);
        } else {
            showItem(OrgPath);
        }
    }
    m_pacer.BreakeTime(0);
}

bool BackupWork::nameHeldByAnotherFile(const QString &original, const struct stat &info, const QString &copyPath)
{
    if (drives().mounts.timeGrain(copyPath) != TimeGrain::Fat)
        return false;
    const Descriptor folder = OpenFolder(platform::BytesOfText(ParentFolderOf(copyPath)));
    std::vector<FolderEntry> listed;
    if (!folder.isOpen() || ListFolderAt(folder.get(), ListingDepth::KindsOnly, listed) != 0)
        return false;
    const QByteArray name = platform::BytesOfText(FileNameOf(copyPath));
    const QByteArray heldName = NamesByFolding(listed).nameFor(name);
    struct stat held;
    if (heldName == name || ::fstatat(folder.get(), heldName.constData(), &held, AT_SYMLINK_NOFOLLOW) != 0
        || !S_ISREG(held.st_mode) || IsCopyUnderFoldedName(info.st_mtim, info.st_size, held.st_mtim, held.st_size))
        return false;
    const QByteArray originalPath = platform::BytesOfText(original);
    const QByteArray backupPath = platform::BytesOfText(copyPath);
    if (m_settings.SyncMode == 1)
        listFailure(FailureItem(DisplayPath(originalPath) + QStringLiteral("<->") + DisplayPath(backupPath),
                                FailureKind::BothChanged),
                    nameHeldReason(heldName));
    else
        recordFoldedDuplicate(originalPath, backupPath, heldName);
    return true;
}

void BackupWork::CopyFoldersAndFiles(const QString &OrgPath, const QString &BakPath, const QString &path)
{
    const QByteArray sourceRoot = WithTrailingSlash(platform::BytesOfText(OrgPath));
    const QByteArray item = path.isEmpty() ? sourceRoot : WithTrailingSlash(platform::BytesOfText(path));
    const QByteArray relative = item.startsWith(sourceRoot) ? item.mid(sourceRoot.size()) : QByteArray();
    copyWalk(sourceRoot, relative, platform::BytesOfText(BakPath), relative, relative,
             m_settings.SyncMode == 1 ? Way::SyncToBackup : Way::Backup);
}

void BackupWork::copyWalk(const QByteArray &sourceRoot, const QByteArray &sourceBelow, const QByteArray &chosen,
                          const QByteArray &below, const QByteArray &relative, Way way)
{
    if (!m_flags.going())
        return;
    m_pacer.CpuIdleCheckAndWait();
    const Drives walkDrives = drives();
    WalkFolder source;
    if (openWalkFolderBelow(source, sourceRoot, sourceBelow, walkDrives)) {
        CreateFolder(platform::TextOfBytes(WithoutTrailingSlash(chosen)));
        std::deque<TargetFolder> levels(1);
        WalkFolder opened;
        if (openWalkFolder(opened, chosen, walkDrives))
            levels.front().open(opened);
        else
            levels.front().refuse(WithTrailingSlash(chosen), errno);
        for (const QByteArray &name : below.split('/')) {
            if (name.isEmpty())
                continue;
            TargetFolder &parent = levels.back();
            TargetFolder &level = levels.emplace_back();
            level.parent = &parent;
            level.name = name;
            level.path = parent.path + name + '/';
        }
        copyTree(walkDrives, source, levels.back(), relative, way);
    } else if (errno != ENOENT && errno != ENOTDIR && errno != ELOOP) {
        recordFolderFailure(sourceRoot + sourceBelow, FailureKind::Folder, errno);
    }
    m_pacer.BreakeTime(0);
}

void BackupWork::copyTree(const Drives &drives, WalkFolder &source, TargetFolder &target, const QByteArray &relative,
                          Way way)
{
    const CopyWalk walk{Exclusions(m_settings.NoneStr, m_settings.NoneExt), drives, way};
    copyFolder(walk, source, target, relative);
    placeWrittenCopies(true);
}

void BackupWork::copyFolder(const CopyWalk &walk, WalkFolder &source, TargetFolder &target, const QByteArray &relative)
{
    if (relative.isEmpty() || walk.exclusions.copies(relative))
        makeTarget(walk, target);
    const bool targetOpen = openTarget(walk, target);
    if (targetOpen)
        platform::removeLeftoverTemporaryFiles(target.fd());
    std::vector<FolderEntry> entries;
    if (!listFolder(source, ListingDepth::Examined, entries))
        return;
    const auto copies = [&](const FolderEntry &entry) {
        return entry.kind == EntryKind::Folder
               || (entry.kind == EntryKind::File && walk.exclusions.copies(relative + entry.name));
    };
    // Where a disk that folds letter case lies between the two trees, an item goes to the
    // name that the target's folder holds for it, which may differ in letter case (the
    // lookups of the target's disk then fold as the disk does, and name nothing that
    // it does not list). A target on such a disk holds one item of names that differ in
    // letter case only: the name that it holds already takes it (an original there
    // renamed in letter case only stays paired with the copy of its present name), else
    // the first; the others are listed.
    const bool targetFolds = target.diskGrain() == TimeGrain::Fat;
    NamesByFolding targetNames;
    if (targetOpen && (targetFolds || (walk.way == Way::SyncToOriginal && source.grain == TimeGrain::Fat))) {
        std::vector<FolderEntry> listed;
        if (ListFolderAt(target.fd(), ListingDepth::KindsOnly, listed) == 0)
            targetNames = NamesByFolding(listed);
    }
    QHash<QString, QByteArray> foldedTakers;
    if (targetFolds) {
        for (const FolderEntry &entry : entries) {
            if ((relative.isEmpty() && IsSkippedRootItem(entry.name)) || !copies(entry))
                continue;
            const auto taker = foldedTakers.find(FoldedName(entry.name));
            if (taker == foldedTakers.end())
                foldedTakers.insert(FoldedName(entry.name), entry.name);
            else if (targetNames.holds(entry.name) && !targetNames.holds(*taker))
                *taker = entry.name;
        }
    }
    for (const FolderEntry &entry : entries) {
        if (!startItem())
            return;
        if (relative.isEmpty() && IsSkippedRootItem(entry.name)) {
            m_pacer.BreakeTime(0);
            continue;
        }
        const QByteArray path = source.path + entry.name;
        const QByteArray targetName = targetNames.nameFor(entry.name);
        if (targetFolds && copies(entry)) {
            const QByteArray taker = foldedTakers.value(FoldedName(entry.name));
            if (taker != entry.name) {
                showItem(QString(), path);
                recordFoldedDuplicate(path, target.path + entry.name, targetNames.nameFor(taker));
                m_pacer.BreakeTime(0);
                continue;
            }
        }
        if (entry.kind == EntryKind::File) {
            copyFileEntry(walk, source, target, entry, targetName, relative + entry.name);
        } else if (entry.kind == EntryKind::FolderLink) {
            showItem(QString(), path);
            recordFolderFailure(path, FailureKind::FolderLink, 0);
        } else if (entry.kind == EntryKind::Folder) {
            if (unmountedMountPoint(walk.drives, path, source.device, entry.device)) {
                recordFolderFailure(path, FailureKind::NoDrive, 0);
                continue;
            }
            WalkFolder child;
            child.descriptor = OpenFolderAt(source.descriptor.get(), entry.name);
            if (!child.descriptor.isOpen()) {
                recordFolderFailure(path, FailureKind::Folder, errno);
                continue;
            }
            child.path = path + '/';
            child.device = entry.device;
            child.grain = entry.device == source.device ? source.grain
                                                        : walk.drives.mounts.timeGrain(platform::TextOfBytes(path));
            TargetFolder childTarget;
            childTarget.parent = &target;
            childTarget.name = targetName;
            childTarget.path = target.path + targetName + '/';
            copyFolder(walk, child, childTarget, relative + entry.name + '/');
        }
        m_pacer.BreakeTime(0);
    }
}

void BackupWork::copyFileEntry(const CopyWalk &walk, WalkFolder &source, TargetFolder &target, const FolderEntry &entry,
                               const QByteArray &heldName, const QByteArray &relative)
{
    m_pacer.BreakeTime(0);
    const QByteArray &name = entry.name;
    const QByteArray sourcePath = source.path + name;
    if (!walk.exclusions.copies(relative)) {
        showItem(QString(), sourcePath);
        return;
    }
    bool due = true;
    struct stat copy;
    const bool targetOpen = openTarget(walk, target);
    // The copy is put in place only over its copy as the decision saw it, and copies
    // only the file that the decision looked at: the backup's never through a link.
    QByteArray targetName = heldName;
    platform::TargetState decided
        = targetOpen ? platform::TargetState::at(target.fd(), targetName, &copy) : platform::TargetState();
    if (heldName != name && decided.present && S_ISREG(copy.st_mode)) {
        switch (foldedPair(walk, source, target, entry, heldName, copy)) {
        case FoldedPair::SameFile:
            break;
        case FoldedPair::NameFreed:
            targetName = name;
            decided = platform::TargetState::at(target.fd(), targetName, &copy);
            break;
        case FoldedPair::Listed:
            showItem(QString(), sourcePath);
            return;
        }
    }
    CopySource listed{FileAt{source.descriptor.get(), name, QString()}, walk.way != Way::SyncToOriginal, entry.file};
    if (walk.way != Way::Backup) {
        const SyncedFile sourceFile(source.descriptor.get(), name);
        const SyncedFile targetFile(targetOpen ? target.fd() : -1, targetName, decided.present ? &copy : nullptr);
        listed.listed = platform::IdentityOf(sourceFile.info);
        due = syncCopyDue(sourceFile, targetFile,
                          ComparedInTwoSeconds(source.grain, sourceFile.info.st_mtim, target.grain,
                                               targetFile.info.st_mtim),
                          walk.way, sourcePath, target.path + targetName);
    } else if (decided.present && S_ISREG(copy.st_mode))
        due = CopyIsDue(qint64(copy.st_mtim.tv_sec) - qint64(entry.modified.tv_sec), copy.st_size != entry.file.size,
                        m_settings.NewOverWr == 1,
                        ComparedInTwoSeconds(source.grain, entry.modified, target.grain, copy.st_mtim));
    if (!due) {
        showItem(QString(), sourcePath);
        return;
    }
    listed.at.display = DisplayPath(sourcePath);
    showItem(QStringLiteral("コピー ") + listed.at.display);
    if (makeTarget(walk, target))
        copyFile(listed, FileAt{target.fd(), targetName, DisplayPath(target.path + targetName)}, target.descriptor,
                 decided);
}

BackupWork::FoldedPair BackupWork::foldedPair(const CopyWalk &walk, WalkFolder &source, TargetFolder &target,
                                              const FolderEntry &entry, const QByteArray &heldName,
                                              const struct stat &heldInfo)
{
    const bool sameFile = IsCopyUnderFoldedName(entry.modified, entry.file.size, heldInfo.st_mtim, heldInfo.st_size);
    const bool towardOriginal = walk.way == Way::SyncToOriginal;
    const QByteArray &backupName = towardOriginal ? entry.name : heldName;
    if (walk.way != Way::Backup) {
        // The pair's item names both under the original's name (which leads to the backup
        // on the disk that folds), as the item of a pair of one name does: so it goes
        // once the two are settled to one name.
        const QByteArray &originalName = towardOriginal ? heldName : entry.name;
        const auto pair = [&] {
            return DisplayPath((towardOriginal ? target.path : source.path) + originalName) + QStringLiteral("<->")
                   + DisplayPath((towardOriginal ? source.path : target.path) + originalName);
        };
        if (sameFile) {
            listWhile(false, FailureKind::BothChanged, pair);
            return FoldedPair::SameFile;
        }
        listFailure(FailureItem(pair(), FailureKind::BothChanged), nameHeldReason(backupName));
        return FoldedPair::Listed;
    }
    if (sameFile)
        return FoldedPair::SameFile;
    // The backup's own original is gone where the original's folder holds no such entry:
    // with BakDel it goes to the trash, as the delete walk would send it.
    const QByteArray heldPath = target.path + heldName;
    struct stat counterpart;
    if (m_settings.BakDel == 1
        && ::fstatat(source.descriptor.get(), heldName.constData(), &counterpart, AT_SYMLINK_NOFOLLOW) != 0
        && errno == ENOENT
        && (!walk.drives.history
            || walk.drives.history->driveMounted(platform::TextOfBytes(source.path), walk.drives.mounts))) {
        showItem(QStringLiteral("削　除 "), heldPath);
        if (recycle(target.fd(), heldName, heldPath, true) == 0)
            return FoldedPair::NameFreed;
    }
    recordFoldedDuplicate(source.path + entry.name, target.path + entry.name, heldName);
    return FoldedPair::Listed;
}

bool BackupWork::syncCopyDue(const SyncedFile &source, const SyncedFile &target, bool twoSeconds, Way way,
                             const QByteArray &sourcePath, const QByteArray &targetPath)
{
    const bool towardOriginal = way == Way::SyncToOriginal;
    const QByteArray &originalPath = towardOriginal ? targetPath : sourcePath;
    const QByteArray &backupPath = towardOriginal ? sourcePath : targetPath;
    const bool backupLink = (towardOriginal ? source : target).link;
    listWhile(backupLink, FailureKind::FileLink, [&] { return DisplayPath(backupPath); });
    if (backupLink)
        return false;
    // Whatever else is not a pair of files is left to the copy, which reports it.
    if (!source.regular() || !target.there || (!target.regular() && !target.link))
        return true;
    const NewerFile newer = target.regular() ? NewerOf(source.info.st_mtim, target.info.st_mtim,
                                                       source.info.st_size != target.info.st_size, twoSeconds)
                                             : NewerFile::Source;
    listWhile(newer == NewerFile::BothChanged, FailureKind::BothChanged,
              [&] { return DisplayPath(originalPath) + QStringLiteral("<->") + DisplayPath(backupPath); });
    // A link in the original stays as it is: the file it leads to is what is backed up.
    const bool originalLinkStays = target.link && newer == NewerFile::Source;
    listWhile(originalLinkStays, FailureKind::FileLink, [&] { return DisplayPath(originalPath); });
    return newer == NewerFile::Source && !originalLinkStays;
}

void BackupWork::listWhile(bool holds, const char16_t *kind, const std::function<QString()> &path)
{
    // Most files never had an item, so the entry's own list is asked first.
    const int row = currentRow();
    const QString entryItems = row < 0 ? QString() : m_bakList.textMatrix(row, BakListColumn::Errors);
    if (!holds && !entryItems.contains(QStringView(kind)))
        return;
    const QString item = FailureItem(path(), kind);
    if (holds)
        SetFileErrMsg(item, ErrorItemMode::Add);
    else if (entryItems.contains(item))
        SetFileErrMsg(item, ErrorItemMode::Remove);
}

bool BackupWork::openTarget(const CopyWalk &walk, TargetFolder &target)
{
    using State = TargetFolder::State;
    if (target.state != State::Unknown)
        return target.state == State::Open;
    if (!openTarget(walk, *target.parent)) {
        target.state = target.parent->state == State::Refused ? State::Refused : State::Missing;
        return false;
    }
    Descriptor opened = OpenFolderAt(target.parent->fd(), target.name);
    struct stat info;
    if (!opened.isOpen() || ::fstat(opened.get(), &info) != 0) {
        target.error = errno;
        target.state = target.error == ENOENT ? State::Missing : State::Refused;
        return false;
    }
    const QByteArray path = WithoutTrailingSlash(target.path);
    if (unmountedMountPoint(walk.drives, path, target.parent->device, info.st_dev)) {
        target.state = State::Refused;
        recordFolderFailure(target.path, FailureKind::NoDrive, 0);
        return false;
    }
    target.device = info.st_dev;
    const bool sameDevice = info.st_dev == target.parent->device;
    target.grain = sameDevice ? target.parent->grain : walk.drives.mounts.timeGrain(platform::TextOfBytes(path));
    target.descriptor = std::make_shared<const Descriptor>(std::move(opened));
    target.state = State::Open;
    return true;
}

bool BackupWork::makeTarget(const CopyWalk &walk, TargetFolder &target)
{
    using State = TargetFolder::State;
    if (openTarget(walk, target))
        return true;
    const QString item = FailureItem(DisplayPath(WithoutTrailingSlash(target.path)), FailureKind::MakeFolder);
    if (target.state == State::Missing && makeTarget(walk, *target.parent)) {
        if (walk.drives.history && walk.drives.history->isKnownMountPoint(WithoutTrailingSlash(target.path))) {
            // The mount point of a disk is gone with the disk: nothing is made in its place.
            target.state = State::Refused;
            recordFolderFailure(target.path, FailureKind::NoDrive, 0);
            return false;
        }
        m_pacer.CpuIdleCheckAndWait();
        if (::mkdirat(target.parent->fd(), target.name.constData(), 0777) == 0) {
            writeStatus(StatusTag::FolderMade);
        } else if (errno != EEXIST) {
            target.state = State::Refused;
            target.error = errno;
        }
        if (target.state != State::Refused) {
            target.state = State::Unknown;
            if (openTarget(walk, target)) {
                SetFileErrMsg(item, ErrorItemMode::Remove);
                m_pacer.BreakeTime(0);
                return true;
            }
        }
    }
    // A failure is told once, at the level where it happened.
    if (target.error != 0 && (!target.parent || target.parent->state == State::Open))
        recordFolderFailure(target.path, FailureKind::MakeFolder, target.error);
    else if (target.state == State::Refused && target.parent)
        makeTarget(walk, *target.parent);
    m_pacer.BreakeTime(0);
    return false;
}

void BackupWork::DeleteFoldersAndFiles(const QString &OrgPath, const QString &BakPath, const QString &path)
{
    if (!m_flags.going())
        return;
    m_pacer.CpuIdleCheckAndWait();
    const QByteArray backupRoot = WithTrailingSlash(platform::BytesOfText(BakPath));
    const QByteArray item = path.isEmpty() ? backupRoot : WithTrailingSlash(platform::BytesOfText(path));
    const QByteArray relative = item.startsWith(backupRoot) ? item.mid(backupRoot.size()) : QByteArray();
    const Drives walkDrives = drives();
    WalkFolder original;
    WalkFolder backup;
    if (openWalkFolderBelow(original, platform::BytesOfText(OrgPath), relative, walkDrives)
        && openWalkFolderBelow(backup, backupRoot, relative, walkDrives))
        deleteFolder(walkDrives, original, backup, relative.isEmpty());
    m_pacer.BreakeTime(0);
}

void BackupWork::deleteFolder(const Drives &drives, WalkFolder &original, WalkFolder &backup, bool atRoot)
{
    // The original folder's own listing answers for most items at once; an item that
    // it does not show as the same kind is looked up in it one by one.
    std::vector<FolderEntry> entries;
    std::vector<FolderEntry> originals;
    if (!listFolder(backup, ListingDepth::KindsOnly, entries) || !listFolder(original, ListingDepth::KindsOnly, originals))
        return;
    QHash<QByteArray, EntryKind> originalKinds;
    originalKinds.reserve(qsizetype(originals.size()));
    for (const FolderEntry &entry : originals)
        originalKinds.insert(entry.name, entry.kind);
    const NamesByFolding originalNames = backup.grain == TimeGrain::Fat ? NamesByFolding(originals) : NamesByFolding();
    for (const FolderEntry &entry : entries) {
        if (!startItem())
            return;
        if (!atRoot || !IsSkippedRootItem(entry.name)) {
            const QByteArray originalName = originalNames.nameFor(entry.name);
            const bool paired = entry.kind == EntryKind::File
                                && originalKinds.value(originalName, EntryKind::Other) == EntryKind::File;
            // A backup that the disk names as an original only by folding letter case,
            // made from another file, has no original of its own any more.
            if (paired && originalName != entry.name
                && anotherFilesBackup(original.descriptor.get(), originalName, backup.descriptor.get(), entry.name)) {
                showItem(QStringLiteral("削　除 "), backup.path + entry.name);
                recycle(backup.descriptor.get(), entry.name, backup.path + entry.name, true);
            } else if (paired) {
                showItem(QString(), backup.path + entry.name);
            } else {
                deleteFolderEntry(drives, original, backup, entry.name, originalName, entry.kind == EntryKind::Folder);
            }
        }
        m_pacer.BreakeTime(0);
    }
}

void BackupWork::deleteFolderEntry(const Drives &drives, WalkFolder &original, WalkFolder &backup,
                                   const QByteArray &name, const QByteArray &originalName, bool isFolder)
{
    const QByteArray backupPath = backup.path + name;
    // The counterpart is looked up in the original's folder that was opened and checked:
    // only that folder's own answer that it holds no such entry lets the item go.
    struct stat counterpart;
    if (::fstatat(original.descriptor.get(), originalName.constData(), &counterpart, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) {
            showItem(QString(), backupPath);
            return;
        }
        if (!isFolder)
            showItem(QStringLiteral("削　除 "), backupPath);
        recycle(backup.descriptor.get(), name, backupPath, true);
        return;
    }
    const bool link = S_ISLNK(counterpart.st_mode);
    if (link && ::fstatat(original.descriptor.get(), originalName.constData(), &counterpart, 0) != 0) {
        showItem(QString(), backupPath);
        return;
    }
    if (!isFolder) {
        if (S_ISREG(counterpart.st_mode)) {
            showItem(QString(), backupPath);
        } else {
            showItem(QStringLiteral("削　除 "), backupPath);
            recycle(backup.descriptor.get(), name, backupPath, true);
        }
        return;
    }
    if (!S_ISDIR(counterpart.st_mode)) {
        recycle(backup.descriptor.get(), name, backupPath, true);
        return;
    }
    if (link)
        return;
    const QByteArray originalPath = original.path + originalName;
    if (unmountedMountPoint(drives, originalPath, original.device, counterpart.st_dev)) {
        recordFolderFailure(originalPath, FailureKind::NoDrive, 0);
        return;
    }
    WalkFolder originalChild;
    originalChild.descriptor = OpenFolderAt(original.descriptor.get(), originalName);
    if (!originalChild.descriptor.isOpen()) {
        recordFolderFailure(originalPath, FailureKind::Folder, errno);
        return;
    }
    originalChild.path = originalPath + '/';
    originalChild.device = counterpart.st_dev;
    WalkFolder backupChild;
    backupChild.descriptor = OpenFolderAt(backup.descriptor.get(), name);
    struct stat info;
    if (!backupChild.descriptor.isOpen() || ::fstat(backupChild.descriptor.get(), &info) != 0) {
        recordFolderFailure(backupPath, FailureKind::Folder, errno);
        return;
    }
    backupChild.path = backupPath + '/';
    backupChild.device = info.st_dev;
    backupChild.grain = info.st_dev == backup.device ? backup.grain
                                                     : drives.mounts.timeGrain(platform::TextOfBytes(backupPath));
    if (unmountedMountPoint(drives, backupPath, backup.device, info.st_dev)) {
        recordFolderFailure(backupPath, FailureKind::NoDrive, 0);
        return;
    }
    deleteFolder(drives, originalChild, backupChild, false);
}

bool BackupWork::listFolder(const WalkFolder &folder, ListingDepth depth, std::vector<FolderEntry> &entries)
{
    if (const int error = ListFolderAt(folder.descriptor.get(), depth, entries)) {
        recordFolderFailure(folder.path, FailureKind::Folder, error);
        return false;
    }
    clearFolderFailures(folder.path);
    return true;
}

bool BackupWork::startItem()
{
    if (!m_flags.going())
        return false;
    m_pacer.BreakeTime(0);
    m_pacer.CpuIdleCheckAndWait();
    return true;
}

void BackupWork::recordFoldedDuplicate(const QByteArray &path, const QByteArray &targetPath, const QByteArray &heldName)
{
    const QString text = DisplayPath(path);
    common::SaveErr(CopyFailureNumber, QCoreApplication::applicationName(),
                    QStringLiteral("コピー先は大文字と小文字を区別しないため、名前が他の項目と重なります。 ") + text);
    listFailure(FailureItem(text + QStringLiteral("->") + DisplayPath(targetPath), FailureKind::Copy),
                nameHeldReason(heldName));
}

void BackupWork::recordFolderFailure(const QByteArray &path, const char16_t *kind, int error)
{
    const QString text = DisplayPath(WithoutTrailingSlash(path));
    if (error != 0)
        common::SaveErr(CopyFailureNumber, QCoreApplication::applicationName(),
                        SystemFailureText(QStringLiteral("フォルダを読み込めません。"), text, error));
    SetFileErrMsg(FailureItem(text, kind), ErrorItemMode::Add);
}

void BackupWork::clearFolderFailures(const QByteArray &path)
{
    const QString text = DisplayPath(WithoutTrailingSlash(path));
    for (const char16_t *kind : {FailureKind::Folder, FailureKind::FolderLink, FailureKind::NoDrive})
        SetFileErrMsg(FailureItem(text, kind), ErrorItemMode::Remove);
}

} // namespace idlebackup
