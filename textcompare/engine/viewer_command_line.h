#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace textcompare {

// Output of an unattended run.
enum class OutputKind { None = 0, Excel = 1, Csv = 2, Html = 3 };

// What the viewer's command line asks for.
struct ViewerCommandLine
{
    // Paths for the two path boxes; nullopt leaves a box as the window's load left it.
    std::array<std::optional<QString>, 2> paths;
    bool noSame = false;   // "-X": write nothing when the texts have no difference
    int nomi = 0;          // "-N": differences only (0 or 1)
    int saiteki = 0;       // "-K": the judgement line count is searched (0 or 1)
    // "-M1", "-M2": the code names for the two code lists, upper-cased; "-------" (the
    // automatic entry) when not given.
    std::array<QString, 2> codes{QStringLiteral("-------"), QStringLiteral("-------")};
    OutputKind outputKind = OutputKind::None; // "-E", "-C", "-H"
    QString outputPath;
    bool batchMode = false;                   // an output switch was given
    QString csvSeparator = QStringLiteral(","); // "-STAB", "-S"
    // "-P/...": the file that hands over the passwords of ftp:// paths (given without them),
    // as common::PasswordFileOf reads the switch.
    QString passwordFile;
};

// Reads the arguments (without the program name). Arguments 0 and 1 are always the two
// paths. Each later argument is matched by prefix, upper-cased, against "-X", "-N", "-K",
// "-M1", "-M2", "-E", "-C", "-H", "-STAB", "-S" and "-P/" in this order; the first prefix that
// matches decides and an argument that matches none is ignored. Values are taken as
// typed, except the code names. A later switch of the same kind replaces the earlier one.
ViewerCommandLine ParseViewerCommandLine(const QStringList &arguments);

} // namespace textcompare
