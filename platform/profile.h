#pragma once

#include <QList>
#include <QString>

#include <utility>

namespace platform {

// Settings files in the private-profile format: "[section]" lines and "key=value" lines,
// UTF-8 text; the bytes of a value that are not UTF-8 are kept (TextOfBytes). Sections
// and keys match without regard to case; a value is trimmed of blanks and tabs. Lines
// that are not looked for (comments, junk, other keys) are never changed by a write.

// Longest value that a read returns, in UTF-16 units; longer values are cut.
inline constexpr int ProfileValueMaxLength = 1023;

// Returns the value of `key` in `section`, or `defaultValue` when the file, the section
// or the key is missing, or the file is not one that the programs use (openOwnFile: a
// link, a FIFO, another user's file, one that others may write to). A key present with
// an empty value returns "". When a section appears more than once, the first line
// holding the key wins.
QString readProfileString(const QString &section, const QString &key, const QString &defaultValue,
                          const QString &filePath);

// Sets `key` in `section` to `value`, creating the file, the section and the key as
// needed; a new key goes after the last non-blank line of its section. The file is
// locked against other writers and replaced atomically (writeWholeFile), so a concurrent
// reader sees the old or the new file, never a half-written one; a new file is readable
// by its owner only. Returns false, leaving the file as it was, when the file cannot be
// read or written (a full disk included), is not one that the programs use, or the value
// holds a line break.
bool writeProfileString(const QString &section, const QString &key, const QString &value,
                        const QString &filePath);

// Sets several keys of `section` at once, in the order given, as that many
// writeProfileString calls would, but under one lock and with one replacement of the
// file: either all of them are written or, on failure (false), none.
bool writeProfileStrings(const QString &section, const QList<std::pair<QString, QString>> &values,
                         const QString &filePath);

} // namespace platform
