#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Moves the item `name` (a file, a link or a folder with its contents) of the open
// folder `folder` to the freedesktop trash of the mount that holds it: the home trash
// ($XDG_DATA_HOME/Trash) where it lies on that very mount, else "<top>/.Trash/<uid>"
// (where an administrator has made ".Trash" a sticky folder) or "<top>/.Trash-<uid>" at
// the top folder of the item's mount (of a bind mount, its mount point). `path` is the
// item's absolute path, recorded for restoring it. Names are bytes from end to end and
// the item is reached through its folder, so names that are not UTF-8 and paths longer
// than the system takes in one call go to the trash as they are. Returns 0 when the item
// is in the trash; 1, with the reason in `errorText` when given, when it stays where it
// is. Nothing is ever deleted for good.
int MoveToTrashAt(int folder, const QByteArray &name, const QByteArray &path, QString *errorText = nullptr);

} // namespace platform
