#include "common/command_line.h"

#include "common/ftp_password_handover.h"

namespace common {

QStringList TokenizeCommandLine(const QString &commandLine)
{
    qsizetype begin = 0;
    qsizetype end = commandLine.size();
    while (begin < end && commandLine[begin] == u' ')
        ++begin;
    while (end > begin && commandLine[end - 1] == u' ')
        --end;

    QStringList tokens;
    qsizetype index = 0;
    qsizetype lastFilled = -1;
    bool quoted = false;
    for (qsizetype i = begin; i < end; ++i) {
        const QChar c = commandLine[i];
        if (c == u'"') {
            quoted = !quoted;
        } else if (c == u' ' && !quoted) {
            ++index;
        } else {
            while (tokens.size() <= index)
                tokens.append(QString());
            tokens[index].append(c);
            lastFilled = index;
        }
    }
    tokens.resize(lastFilled + 1);
    return tokens;
}

StartupRequest ParseCommandLine(const QStringList &tokens)
{
    StartupRequest request;
    for (int side = 0; side < 2 && side < tokens.size(); ++side)
        request.paths[side] = tokens[side];

    bool sawX = false;
    for (qsizetype i = 2; i < tokens.size(); ++i) {
        const QString &token = tokens[i];
        const QString upper = token.toUpper();
        auto &option = request.options;
        if (const std::optional<QString> passwordFile = PasswordFileOf(token)) {
            request.passwordFile = *passwordFile;
        } else if (upper == u"-ND") {
            option[0] = true;
            option[2] = true;
            option[3] = false;
        } else if (upper == u"-X") {
            sawX = true;
        } else if (upper == u"-NF") {
            option[2] = false;
        } else if (upper == u"-NT") {
            option[2] = true;
        } else if (upper == u"-DF") {
            option[3] = false;
        } else if (upper == u"-DT") {
            option[3] = true;
        } else if (upper == u"-AF") {
            option[4] = false;
        } else if (upper == u"-AT") {
            option[4] = true;
        } else if (upper.startsWith(u"-PT")) {
            option[5] = token.mid(3);
        } else if (upper.startsWith(u"-PF")) {
            option[6] = token.mid(3);
        } else if (upper.startsWith(u"-E") || upper.startsWith(u"-C") || upper.startsWith(u"-H")) {
            request.batchOutputPath = token.mid(2);
            request.batchKind = upper.startsWith(u"-E") ? 1 : upper.startsWith(u"-C") ? 2 : 3;
            request.batchMode = true;
        } else if (upper.startsWith(u"-STAB")) {
            request.batchCsvSeparator = QStringLiteral("\t");
        } else if (upper.startsWith(u"-S")) {
            request.batchCsvSeparator = token.mid(2);
        }
    }

    if (request.batchMode) {
        auto &option = request.options;
        const QVariant defaults[7] = {QVariant(), QVariant(), false, false, true, QString(), QString()};
        for (int slot = 2; slot <= 6; ++slot)
            if (option[slot].isNull())
                option[slot] = defaults[slot];
        option[1] = sawX;
    }
    return request;
}

void ApplyStartupRequest(const StartupRequest &request)
{
    BatchMode = request.batchMode;
    BatchKind = request.batchKind;
    BatchOutputPath = request.batchOutputPath;
    BatchCsvSeparator = request.batchCsvSeparator;
    CommandLineOptions = request.options;
}

} // namespace common
