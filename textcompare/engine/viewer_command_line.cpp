#include "textcompare/engine/viewer_command_line.h"

#include "common/ftp_password_handover.h"

namespace textcompare {

ViewerCommandLine ParseViewerCommandLine(const QStringList &arguments)
{
    ViewerCommandLine line;
    for (int side = 0; side < 2 && side < arguments.size(); ++side)
        line.paths[side] = arguments[side];

    for (qsizetype i = 2; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        const QString upper = argument.toUpper();
        auto output = [&](OutputKind kind) {
            line.outputKind = kind;
            line.outputPath = argument.mid(2);
            line.batchMode = true;
        };
        if (upper.startsWith(u"-X"))
            line.noSame = true;
        else if (upper.startsWith(u"-N"))
            line.nomi = 1;
        else if (upper.startsWith(u"-K"))
            line.saiteki = 1;
        else if (upper.startsWith(u"-M1"))
            line.codes[0] = argument.mid(3).toUpper();
        else if (upper.startsWith(u"-M2"))
            line.codes[1] = argument.mid(3).toUpper();
        else if (upper.startsWith(u"-E"))
            output(OutputKind::Excel);
        else if (upper.startsWith(u"-C"))
            output(OutputKind::Csv);
        else if (upper.startsWith(u"-H"))
            output(OutputKind::Html);
        else if (upper.startsWith(u"-STAB"))
            line.csvSeparator = QStringLiteral("\t");
        else if (upper.startsWith(u"-S"))
            line.csvSeparator = argument.mid(2);
        else if (const std::optional<QString> passwordFile = common::PasswordFileOf(argument))
            line.passwordFile = *passwordFile;
    }
    return line;
}

} // namespace textcompare
