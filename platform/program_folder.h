#pragma once

#include <QString>

namespace platform {

// Folder of the running executable. The three programs are installed side by side and
// find each other here.
QString executableFolder();

// Name of the running executable without folder ("Dirgleam", "Linquell", "Zelquin").
QString executableName();

// Folder that holds the settings files, work folders and temporary files of all three
// programs: the executables' folder when it is writable, else
// $XDG_DATA_HOME/dirgleam-suite/ (created on demand). The environment variable
// DIRGLEAM_SUITE_FOLDER, when set, names this folder instead; tests use it to give each
// run of a program a folder of its own.
QString programFolder();

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
// our programs.
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
