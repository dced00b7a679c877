#pragma once

#include <QSaveFile>
#include <QString>

namespace common {

// One export file (HTML or CSV) written line by line, each line ending in CR LF, in code
// page 932 (a character without a form there becomes "?") or in UTF-16 little-endian
// behind the mark FF FE. Lines are converted in blocks of many lines and go to a
// temporary file beside the target, which replaces the target only when commit()
// succeeds; a failed or abandoned export leaves an existing file as it was.
class ExportFile
{
public:
    // Throws Failure when the file cannot be created.
    ExportFile(const QString &path, bool unicode);
    ExportFile(const ExportFile &) = delete;
    ExportFile &operator=(const ExportFile &) = delete;

    // Throws Failure when the line cannot be converted or written.
    void writeLine(const QString &line);
    // Writes what is pending and puts the file in place; throws Failure when that fails.
    void commit();

private:
    void writePending();
    [[noreturn]] void fail();

    QSaveFile m_file;
    bool m_unicode;
    QString m_pending;
};

} // namespace common
