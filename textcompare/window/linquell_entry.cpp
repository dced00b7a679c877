#include "textcompare/window/linquell_entry.h"

#include "common/saved_error.h"
#include "platform/user_dialogs.h"
#include "textcompare/window/frm_linquell.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <memory>

namespace textcompare {

namespace {

constexpr qint32 InvalidCodeName = 380;

// The box of a failure that reached the entry: a message meant for the user (9999) alone,
// anything else as a system error of "Main".
void reportMainFailure()
{
    const common::ErrorRecord &failure = common::SavedErr();
    const QString text = failure.Number == 9999 ? failure.Description : common::SystemErrorText(QStringLiteral("Main"));
    platform::dialogs().messageBox(text, platform::MessageStyle::OkOnly, QString());
}

// Sets a code list to the entry named on the command line; a name that is no entry is a
// failure of the run.
void setCodeList(QComboBox *codeList, const QString &name, int side)
{
    const int index = int(FileCodeNames().indexOf(name));
    if (index < 0)
        throw common::Failure(InvalidCodeName, QStringLiteral("Linquell"),
                              QStringLiteral("文字コード名が正しくありません。 -M%1%2").arg(side + 1).arg(name));
    codeList->setCurrentIndex(index);
}

// The unattended run: compare without messages, then write the one export. A side that
// could not be read ends the run with its message before anything is written.
int runUnattended(Frm_Linquell &window, const ViewerCommandLine &line)
{
    window.BatchRun = true;
    window.Chk_Nomi->setChecked(line.nomi != 0);
    for (int side = 0; side < 2; ++side)
        setCodeList(window.Cmb_FileCode[side], line.codes[side], side);
    window.BatDiffList(line.nomi, line.saiteki, false);
    for (const SideText &side : window.LastReadTexts) {
        if (side.outcome == ReadOutcome::NotFound)
            platform::dialogs().messageBox(side.message, platform::MessageStyle::OkOnly, QString());
        if (side.outcome == ReadOutcome::NotFound || side.outcome == ReadOutcome::Failed)
            return 1;
    }
    switch (line.outputKind) {
    case OutputKind::Excel:
        window.BatExcelSave(line.outputPath, true, line.noSame);
        break;
    case OutputKind::Csv:
        window.BatCsvSave(line.outputPath, line.csvSeparator, true, line.noSame);
        break;
    case OutputKind::Html:
    case OutputKind::None:
        window.BatHtmlSave(line.outputPath, true, line.noSame);
        break;
    }
    return 0;
}

} // namespace

int Main(const ViewerCommandLine &commandLine)
{
    try {
        auto window = std::make_unique<Frm_Linquell>();
        for (int side = 0; side < 2; ++side)
            if (commandLine.paths[side])
                window->Txt_FilePath[side]->setText(*commandLine.paths[side]);
        if (commandLine.batchMode)
            return runUnattended(*window, commandLine);
        window->show();
        const int status = QApplication::exec();
        window->Form_Unload();
        return status;
    } catch (...) {
        common::SaveErr();
        reportMainFailure();
        return 1;
    }
}

} // namespace textcompare
