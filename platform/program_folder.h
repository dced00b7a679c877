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

// Folder for lock files: $XDG_RUNTIME_DIR when it exists, else a private folder under
// the system's temporary folder. Created on demand.
QString runtimeFolder();

// Gives the process $XDG_RUNTIME_DIR = runtimeFolder() when the session set none (a cron
// job, a root shell), so that Qt finds a private runtime folder instead of warning on
// standard error. Call it before the application object is created.
void provideRuntimeFolder();

} // namespace platform
