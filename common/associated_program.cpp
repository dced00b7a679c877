#include "common/associated_program.h"

#include "platform/profile.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>

namespace common {

namespace {

// Folders named by an XDG variable holding a list, or `fallback` when it is unset.
QStringList xdgFolders(const char *variable, const QString &fallback)
{
    const QString value = qEnvironmentVariable(variable);
    QStringList folders;
    for (const QString &folder : (value.isEmpty() ? fallback : value).split(u':', Qt::SkipEmptyParts))
        folders.append(folder);
    return folders;
}

QString xdgHome(const char *variable, const QString &underHome)
{
    const QString value = qEnvironmentVariable(variable);
    return value.isEmpty() ? QDir::homePath() + u'/' + underHome : value;
}

QStringList applicationFolders()
{
    QStringList folders{xdgHome("XDG_DATA_HOME", QStringLiteral(".local/share")) + QStringLiteral("/applications")};
    for (const QString &folder : xdgFolders("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share")))
        folders.append(folder + QStringLiteral("/applications"));
    return folders;
}

// The association lists in the order in which they are consulted, each with the
// section that holds the defaults.
QList<std::pair<QString, QString>> associationLists()
{
    const QString defaults = QStringLiteral("Default Applications");
    QList<std::pair<QString, QString>> lists;
    lists.append({xdgHome("XDG_CONFIG_HOME", QStringLiteral(".config")) + QStringLiteral("/mimeapps.list"), defaults});
    for (const QString &folder : xdgFolders("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg")))
        lists.append({folder + QStringLiteral("/mimeapps.list"), defaults});
    const QStringList applications = applicationFolders();
    for (const QString &folder : applications)
        lists.append({folder + QStringLiteral("/mimeapps.list"), defaults});
    for (const QString &folder : applications)
        lists.append({folder + QStringLiteral("/defaults.list"), defaults});
    for (const QString &folder : applications)
        lists.append({folder + QStringLiteral("/mimeinfo.cache"), QStringLiteral("MIME Cache")});
    return lists;
}

QString desktopFilePath(const QString &desktopId)
{
    for (const QString &folder : applicationFolders()) {
        const QString path = folder + u'/' + desktopId;
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

// First word of an Exec line; double quotes group words and are dropped.
QString firstWord(const QString &exec)
{
    QString word;
    bool quoted = false;
    for (const QChar c : exec.trimmed()) {
        if (c == u'"')
            quoted = !quoted;
        else if (c == u' ' && !quoted)
            break;
        else
            word.append(c);
    }
    return word;
}

QString programOf(const QString &desktopFile)
{
    const QString word = firstWord(
        platform::readProfileString(QStringLiteral("Desktop Entry"), QStringLiteral("Exec"), QString(), desktopFile));
    if (word.isEmpty() || QFileInfo(word).isAbsolute())
        return word;
    return QStandardPaths::findExecutable(word);
}

} // namespace

QString GetAssociatedExe(const QString &extension)
{
    QString suffix = extension;
    if (suffix.startsWith(u'.'))
        suffix.remove(0, 1);
    const QMimeType type = QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + suffix, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault())
        return {};
    for (const auto &[list, section] : associationLists()) {
        const QString ids = platform::readProfileString(section, type.name(), QString(), list);
        for (const QString &id : ids.split(u';', Qt::SkipEmptyParts)) {
            const QString desktopFile = desktopFilePath(id.trimmed());
            if (desktopFile.isEmpty())
                continue;
            const QString program = programOf(desktopFile);
            if (!program.isEmpty())
                return program;
        }
    }
    return {};
}

} // namespace common
