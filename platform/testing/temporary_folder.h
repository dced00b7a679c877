#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace platform::testing {

// A fresh folder removed with its contents at the end of the test, with helpers to
// build trees in it.
class TemporaryFolder
{
public:
    TemporaryFolder();
    ~TemporaryFolder();

    QString path() const;
    // Absolute path of `relative` inside the folder.
    QString filePath(const QString &relative) const;
    // Writes `content` to `relative`, creating parent folders; returns the absolute path.
    QString writeFile(const QString &relative, const QByteArray &content) const;
    // Creates the folder `relative` with its parents; returns the absolute path.
    QString makeFolder(const QString &relative) const;
    // Reads a whole file; an empty array when it cannot be read.
    static QByteArray readFile(const QString &path);
    // Saves into the file `path` as another program would: `content` added at its end in
    // place, or, by `asNewFile`, written as a new file that is renamed over it (or put
    // where there was none).
    static void saveFile(const QString &path, const QByteArray &content, bool asNewFile);

private:
    QTemporaryDir m_folder;
};

// Removes everything inside `folder` by its raw names, so that names which are not valid
// UTF-8 go too, and through folder descriptors, so that trees deeper than a path can name
// go too; the folder itself stays.
void removeRawContents(const QString &folder);

// Folder of the built executables.
QString builtProgramsFolder();

// Top folder of the source tree (test data and helper scripts live there).
QString sourceFolder();

} // namespace platform::testing
