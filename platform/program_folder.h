#pragma once

#include <QString>

namespace platform {

// Folder of the running executable. The three programs are installed side by side and
// find each other here.
QString executableFolder();

// Name of the running executable without folder ("Dirgleam", "Linquell", "Zelquin").
QString executableName();

// Folder that holds the settings files, work folders and temporary files of all three
// programs: programFolderFor(executableFolder()). The environment variable
// DIRGLEAM_SUITE_FOLDER, when set, names this folder instead; tests use it to give each
// run of a program a folder of its own.
QString programFolder();

// The program folder for executables in `executablesFolder`: that folder where it is the
// user's own, he may write to it and nobody else may (no write bit for others, nor for a
// group that holds anyone but him); else $XDG_DATA_HOME/dirgleam-suite/, made with mode
// 0700 (an existing one of his is given that mode), so that nobody can put a settings
// file or a work folder in the user's way, nor read his downloads.
QString programFolderFor(const QString &executablesFolder);

// The folder for lock files, or why there is none.
struct RuntimeFolder
{
    QString path;    // empty when refused
    QString refusal; // when refused: a message that names the folder and says why
};

// Finds the folder for lock files: $XDG_RUNTIME_DIR when it names a folder of ours that
// nobody else may write to, else `temporaryBase`/dirgleam-suite-<uid>. That one is made
// with mode 0700 when missing; an existing one is taken only when it is a real folder
// (no symbolic link), owned by us and not writable by group or others, since anyone may
// have put it into a folder all users share, and a lock file planted in it could stop
// our programs. Where that name is taken otherwise, the folder is the first by name of
// `temporaryBase`/dirgleam-suite-<uid>-XXXXXX that is a real folder of ours with mode
// 0700, made with mkdtemp() when there is none. Refused only when none can be made.
RuntimeFolder findRuntimeFolder(const QString &temporaryBase);

// findRuntimeFolder() under the system's temporary folder; its path, empty when refused.
QString runtimeFolder();

// Gives the process $XDG_RUNTIME_DIR = runtimeFolder() when the session set none or one
// that is not private to us (a cron job, a root shell), so that Qt finds a private
// runtime folder instead of warning on standard error. Call it before the application
// object is created. Returns the refusal of findRuntimeFolder(), empty when there is a
// folder; a program that takes locks must not go on without one.
[[nodiscard]] QString provideRuntimeFolder();

} // namespace platform
