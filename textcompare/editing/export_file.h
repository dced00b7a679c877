#pragma once

#include <QSaveFile>
#include <QString>

namespace textcompare {

// Creates the missing folders above `path` (level 1) or up to and including `path`
// itself (level 0), top-down. A folder that cannot be created is reported in an OK-only
// box as a system error of "CreateFolder" and false comes back; the caller then fails
// when it creates its file.
bool CreateFolder(const QString &path, int level);

// One export file written line by line, each line ending in CR LF, in code page 932 (a
// character without a form there becomes "?") or in UTF-16 little-endian behind the
// mark FF FE. The lines go to a temporary file beside the target, which replaces the
// target only when commit() succeeds; a failed or abandoned export leaves an existing
// file as it was.
class ExportFile
{
public:
    // Throws common::Failure when the file cannot be created.
    ExportFile(const QString &path, bool unicode);
    ExportFile(const ExportFile &) = delete;
    ExportFile &operator=(const ExportFile &) = delete;

    // Throws common::Failure when the line cannot be written.
    void writeLine(const QString &line);
    // Puts the file in place; throws common::Failure when that fails.
    void commit();

private:
    [[noreturn]] void fail();

    QSaveFile m_file;
    bool m_unicode;
};

} // namespace textcompare
