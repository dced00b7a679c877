#include "idlebackup/file_copy.h"

#include "idlebackup/file_access.h"

#include "common/saved_error.h"
#include "platform/file_copy.h"

#include <QCoreApplication>

#include <cerrno>
#include <sys/stat.h>

namespace idlebackup {

namespace {

constexpr qint64 CopyBufferBytes = 102400;

// Raises a copy failure of the kind `Kind`, which the walk tells from the others, as
// FailCopy raises the rest.
template <class Kind>
[[noreturn]] void failCopyAs(const QString &description)
{
    throw Kind(CopyFailureNumber, QCoreApplication::applicationName(), description);
}

// Raises the failure to write the copy `target` for the system's `error`.
[[noreturn]] void failWrite(const FileAt &target, int error)
{
    const QString description = SystemFailureText(QStringLiteral("書き込めません。"), target.display, error);
    if (platform::IsOutOfSpace(error))
        failCopyAs<CopyOutOfSpace>(description);
    FailCopy(description);
}

// Raises the failure of the copy of `source` to `target` that `write` tells.
[[noreturn]] void failCopy(const platform::CopyWrite &write, const CopySource &source, const FileAt &target)
{
    using Failure = platform::CopyWrite::Failure;
    const QString &display = source.at.display;
    switch (write.failure) {
    case Failure::SourceOpen:
    {
        const common::Failure failure(FileAccessError::OpenFailed, fileAccessSource(),
                                      OpenFailureText(display, write.error));
        if (!source.followsLink && write.error == ELOOP)
            throw CopySourceIsLink(failure.record());
        throw failure;
    }
    case Failure::SourceNotRegular:
        FailCopy(QStringLiteral("通常のファイルではありません。 ") + display);
    case Failure::SourceNotExpected:
        failCopyAs<CopySourceReplaced>(QStringLiteral("コピーの前にファイルが変更または置き換えられました。 ") + display);
    case Failure::Stopped:
        FailCopy(QStringLiteral("中止"));
    case Failure::Read:
        FailCopyWithSystemText(QStringLiteral("読み込めません。"), display, write.error);
    case Failure::SourceChanged:
        failCopyAs<CopySourceChanging>(QStringLiteral("コピー中にファイルが変更されました。 ") + display);
    case Failure::SourceReplaced:
        failCopyAs<CopySourceReplaced>(QStringLiteral("コピー中にファイルが削除または置き換えられました。 ") + display);
    case Failure::Times:
        FailCopyWithSystemText(QStringLiteral("日時を設定できません。"), target.display, write.error);
    case Failure::Write:
    case Failure::None:
        break;
    }
    failWrite(target, write.error);
}

} // namespace

CopyWritten WriteCopyAt(const CopySource &source, const FileAt &target,
                        const std::shared_ptr<const platform::Descriptor> &folder, const platform::TargetState &decided,
                        bool syncAlone, const CopyCallbacks &callbacks)
{
    // The file the walk listed is the target itself (a hard link, or one folder reached
    // by both paths). A link in the target's place is not, whatever it leads to: the
    // copy replaces the link, which holds no backup of the file.
    struct stat existing;
    if (::fstatat(target.folder, target.name.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0
        && existing.st_dev == source.listed.device && existing.st_ino == source.listed.inode)
        return {};
    callbacks.pause(0);
    if (!callbacks.going())
        FailCopy(QStringLiteral("中止"));
    platform::CopyWrite write = platform::WriteCopy(
        platform::CopySource{source.at.folder, source.at.name, source.followsLink, source.listed,
                             source.keepsChangedRead},
        folder, target.name, decided, syncAlone, CopyBufferBytes, [&](qint64 total) {
            callbacks.pause(0);
            callbacks.progress(total);
            callbacks.pause(999);
            return callbacks.going();
        });
    if (!write.written)
        failCopy(write, source, target);
    callbacks.pause(0);
    return CopyWritten{std::move(write.written), write.sourceChanged};
}

} // namespace idlebackup
