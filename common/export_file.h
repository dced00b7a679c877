#pragma once

#include "platform/atomic_file.h"

#include <QString>

namespace common {

// One export file (HTML or CSV) written line by line, each line ending in CR LF, in code
// page 932 (for a character without a form there, see Unrepresentable) or in UTF-16 little-endian
// behind the mark FF FE. Lines are converted in blocks of many lines and written through
// a platform::AtomicFile: every byte count, the sync and the closing are checked, and the
// target is replaced only when commit() succeeds, so a failed or abandoned export leaves
// an existing file as it was. A target that is not a regular file (a device, a FIFO,
// "/dev/stdout") is written into directly.
class ExportFile
{
public:
    // What code page 932 writes for a character without a form there that reads back as
    // the character itself: "?" (CSV), or a numeric character reference "&#x...;" that a
    // browser shows as the character (HTML).
    enum class Unrepresentable { QuestionMark, CharacterReference };

    // Throws Failure when the file cannot be created.
    ExportFile(const QString &path, bool unicode, Unrepresentable unrepresentable = Unrepresentable::QuestionMark);
    ExportFile(const ExportFile &) = delete;
    ExportFile &operator=(const ExportFile &) = delete;

    // Throws Failure when the line cannot be converted or written.
    void writeLine(const QString &line);
    // Writes what is pending and puts the file in place; throws Failure when that fails.
    void commit();

private:
    void writePending();
    [[noreturn]] void fail();

    platform::AtomicFile m_file;
    bool m_unicode;
    Unrepresentable m_unrepresentable;
    QString m_pending;
};

} // namespace common
