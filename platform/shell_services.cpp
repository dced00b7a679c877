#include "platform/shell_services.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <cstdio>

namespace platform {

namespace {

// True for a path in the "files" folder of a freedesktop trash (".../Trash/files/name" or
// "<mount>/.Trash-<uid>/files/name", "<mount>/.Trash/<uid>/files/name").
bool isTrashLocation(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isAbsolute())
        return false;
    const QDir files = info.dir();
    if (files.dirName() != QLatin1String("files"))
        return false;
    QDir trash = files;
    trash.cdUp();
    const QString name = trash.dirName();
    if (name == QLatin1String("Trash") || name.startsWith(QLatin1String(".Trash-")))
        return true;
    trash.cdUp();
    return trash.dirName() == QLatin1String(".Trash");
}

} // namespace

int RecyclerDelete(const QString &path, QString *errorText)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        if (errorText)
            *errorText = QStringLiteral("ファイルが見つかりません。 ") + path;
        return 2;
    }
    // The home trash lives in the user's data folder; a desktop has it, a bare account may not.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    // Where no trash folder can be set up, the move lands in folders "files" and "info" of
    // the working folder.
    const QDir working = QDir::current();
    const bool hadFolders[2] = {working.exists(QStringLiteral("files")), working.exists(QStringLiteral("info"))};
    QFile file(path);
    const bool moved = file.moveToTrash();
    if (moved && !isTrashLocation(file.fileName())) {
        // Put the path back rather than leave it somewhere the user would not look, and
        // take away the record of the move and the folders that it made.
        std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData());
        const QFileInfo landed(file.fileName());
        if (landed.absolutePath() == working.filePath(QStringLiteral("files"))) {
            QFile::remove(working.filePath(QStringLiteral("info/") + landed.fileName() + QStringLiteral(".trashinfo")));
            if (!hadFolders[0])
                working.rmdir(QStringLiteral("files"));
            if (!hadFolders[1])
                working.rmdir(QStringLiteral("info"));
        }
    } else if (moved && !QFileInfo(path).exists() && !QFileInfo(path).isSymLink()) {
        return 0;
    }
    if (errorText)
        *errorText = QStringLiteral("ごみ箱へ移動できません。 ") + path
                     + (file.errorString().isEmpty() ? QString() : QStringLiteral(" : ") + file.errorString());
    return 1;
}

int ShowFileProperties(const QString &path)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return 0;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                                       QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("ShowItemProperties"));
    call << QStringList{QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString()} << QString();
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage ? 42 : 0;
}

} // namespace platform
