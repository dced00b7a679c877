#pragma once

#include "platform/descriptor.h"

#include <QByteArray>
#include <QString>

#include <sys/stat.h>
#include <sys/types.h>

namespace platform {

// The programs find their own files by fixed names (settings, listings, history, locks,
// undo copies, downloads) and start each other by name. Anyone who may write to the
// folder could have put something else there: a file of his own, a link, a FIFO. Such an
// entry is used only when it belongs to the user and nobody else may write to it.

// Who may own an entry that the programs use.
enum class TrustedOwners { User, UserOrRoot };

// Why the entry that `info` describes is not used, in words; empty when it belongs to
// `owners` and nobody else may write to it: no write bit for others, nor for a group that
// holds anyone but the user (his private group, as under umask 002, holds only him).
QString foreignControlProblem(const struct stat &info, TrustedOwners owners = TrustedOwners::User);

// "他のユーザー (<name>) が所有しています": the entry belongs to `owner`, named by the
// system's user name where there is one, else by number.
QString ownedByOtherText(uid_t owner);

// Why the entry at `path` is not used, looked at without following a link at its name;
// empty when it is a regular file that foreignControlProblem() accepts. `missing` is set
// when there is nothing at the name.
QString regularFileProblem(const QString &path, TrustedOwners owners, bool *missing = nullptr);

// A file that the programs read by a fixed name.
struct OwnFile
{
    Descriptor descriptor; // open for reading when the file is used
    bool missing = false;  // nothing at the name
    QString problem;       // otherwise, why it is not used, in words
};

// Opens `path` for reading when it is a regular file of the user's own that nobody else
// may write to. It is opened without following a link and without waiting, so that a FIFO
// put at the name never holds the program up, and checked again once open; anything else
// at the name is left alone.
OwnFile openOwnFile(const QString &path);

// The whole file at `path`, opened as openOwnFile() opens it.
struct OwnFileContents
{
    QByteArray bytes;
    bool missing = false; // nothing at the name: no bytes, no problem
    QString problem;      // why the file was not read (not used, or a read failure)
};
OwnFileContents readOwnFile(const QString &path);

// The message that the entry at `path` is not used: `lead` ("設定ファイルを使用しません。",
// say), the path on a line of its own and `problem` in brackets.
QString refusalMessage(const QString &lead, const QString &path, const QString &problem);

// Why the open file `descriptor` is not used: it is no regular file, or
// foreignControlProblem() refuses it; empty when it is used.
QString openFileProblem(int descriptor);

} // namespace platform
