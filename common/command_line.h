#pragma once

#include "common/common_module.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace common {

// Splits one command-line text into tokens: blanks (U+0020) outside double quotes
// separate tokens, quotes toggle quoting and are dropped, two blanks in a row give an
// empty token between them, and the list ends at the last token that received a
// character (a trailing empty pair of quotes adds nothing).
QStringList TokenizeCommandLine(const QString &commandLine);

// What the folder comparison program's command line asks for.
struct StartupRequest
{
    // Paths for the two path boxes; nullopt leaves a box untouched.
    std::array<std::optional<QString>, 2> paths;
    // "-P/...": the file that hands over the passwords of ftp:// paths given without them
    // (common/ftp_password_handover.h).
    QString passwordFile;
    CommandLineOptionSlots options;
    bool batchMode = false;
    qint16 batchKind = 0;
    QString batchOutputPath;
    QString batchCsvSeparator = QStringLiteral(",");
};

// Reads tokens (without the program name): tokens 0 and 1 are always the two paths;
// the others are switches matched upper-cased in a fixed order, the last one winning.
// The hand-over switch is tested first; it is no output switch and starts no batch run.
// In a batch run, slots still null get the batch defaults (subfolders on, nothing else)
// and slot 1 tells whether "-X" was seen.
StartupRequest ParseCommandLine(const QStringList &tokens);

// Stores a parsed request into the program-wide values.
void ApplyStartupRequest(const StartupRequest &request);

} // namespace common
