#include "common/common_module.h"

#include "common/saved_error.h"
#include "platform/profile.h"
#include "platform/user_dialogs.h"

#include <cstdio>

namespace common {

bool BatchMode = false;
qint16 BatchKind = 0;
QString BatchOutputPath;
QString BatchCsvSeparator = QStringLiteral(",");
CommandLineOptionSlots CommandLineOptions;
bool BatchFailed = false;

QString GetIniValue(const QString &section, const QString &key, const QString &defaultValue,
                    const QString &iniFile)
{
    return platform::readProfileString(section, key, defaultValue, iniFile);
}

bool WriteIniValue(const QString &section, const QString &key, const QString &value, const QString &iniFile)
{
    return platform::writeProfileString(section, key, value, iniFile);
}

int ShowMsg(const QString &prompt, int buttons, const QString &title, const QString &, int, int batchDefault)
{
    int answer = platform::automaticAnswer(buttons);
    if (batchDefault != 0)
        answer = batchDefault;
    if (BatchMode) {
        QString text = prompt;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        std::fflush(stderr);
        return answer;
    }
    try {
        return platform::dialogs().messageBox(prompt, buttons, title);
    } catch (...) {
        return answer;
    }
}

void ReportSavedErr(const QString &procedure)
{
    if (BatchMode)
        BatchFailed = true;
    ShowMsg(SystemErrorText(procedure), 0, QString());
}

} // namespace common
