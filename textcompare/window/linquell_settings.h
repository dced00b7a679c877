#pragma once

#include "common/window_placement.h"
#include "textcompare/engine/diff_display.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>

namespace textcompare {

// The viewer's settings as its window loads them, with their defaults. Names follow the
// controls, menu items and program-wide values that hold them while the window runs.
struct LinquellSettings
{
    // Judgement factor shown in Cmb_HanteiLine, 1 to 30 ([DSP] HanteiLine). Read only at
    // load; the factor list writes it when the user picks one.
    int HanteiLine = 7;
    // Most rows shown in the grid ([DSP] LineMax). Read only at load.
    qint32 LineMax = 50000;
    // Value of Chk_Nomi, 0 or 1 ([DSP] Nomi).
    int Nomi = 0;
    // Check marks of NoSpaceCheck, NoULChrCheck, DspSpaceChar ([DSP] NoSpCheck, NoULCheck,
    // DspSpChar).
    bool NoSpaceCheck = true;
    bool NoULChrCheck = false;
    bool DspSpaceChar = false;
    // Shown for a TAB, a space and an ideographic space when blanks are shown ([DSP]
    // DspSpTab, DspSpHsp, DspSpZsp).
    QString DspSpTab = QStringLiteral("<TAB>");
    QString DspSpHsp = QStringLiteral("<S>");
    QString DspSpZsp = QStringLiteral("<SP>");
    // Export options ([XLS] XlsFormatCnd, [CSV] CsvDblQuot, CsvHtmlUni).
    bool XlsFormatCnd = false;
    bool CsvDblQuot = true;
    bool CsvHtmlUni = false;
    // Extensions read as binary without looking ([DSP] BinJdExt), empty items kept.
    QStringList BinJdExt = DefaultBinJdExt();
    // Wrap width of long lines; 0 or less: no wrap ([DSP] LenOfRow).
    qint32 LenOfRow = 0;
    // Row and band colours ([DSP] DIFFCUPD, DIFFCADD, DIFFCDEL, DIFFCNO1, DIFFCNO2).
    DiffColors Colors;
    // Last search text and editor command template ([ETC] SearchStr, Editor).
    QString SearchStr;
    QString Editor;
    // Rows and sheets read from worksheets, each kept as the decimal text of a whole
    // number ([EXCEL] MaxLine, SheetNo1, SheetNo2).
    QString MaxLine = QStringLiteral("1000");
    std::array<QString, 2> SheetNo{QStringLiteral("1"), QStringLiteral("1")};
    // Proxies "host:port" ([PROXY] Server_HTTP, Server_FTP).
    QString Server_HTTP;
    QString Server_FTP;
    // Seconds without progress after which a download fails, 1 or more ([PROXY]
    // TimeOut). Read only at load.
    qint32 TimeOut = 60;
    // Past comparisons, newest first: path 1, TAB, path 2 ([HISTORY] Item0..Item9, read up
    // to the first "NONE"). Read only at load.
    QStringList History;

    static QStringList DefaultBinJdExt();
};

// An external editor known by its executable's file name, with the arguments it takes:
// "%L%" stands for the line number and "%F%" for the file.
struct EditorPreset
{
    QString executable;
    QString arguments;
};

// gedit, kate and mousepad, in the order in which they are recognised.
const std::array<EditorPreset, 3> &EditorPresets();

// `program` as the first word of a command that is split into words at blanks: in double
// quotes when it holds a blank or a quote (a quote itself written as three).
QString CommandWord(const QString &program);

// The editor command used when none is set: the associated program's path (in double
// quotes when it holds a blank or a quote), a blank and the arguments of the first preset
// whose executable name ends the path (compared in lower case), else "%F%". An empty path
// gives " %F%".
QString DefaultEditorCommand(const QString &associatedProgram);

// Loads every setting that the window's load step reads, in its order. A value that
// cannot be read as its kind (a check-box value other than 0 or 1, a factor outside the
// list, a colour or number without digits) falls back to its default alone.
LinquellSettings LoadLinquellSettings(const QString &iniFile);

// Writes the 24 keys that the window writes back when it unloads, in that order.
// Throws common::Failure when a key cannot be written; the keys after it are not written.
void SaveLinquellSettings(const QString &iniFile, const LinquellSettings &settings);

} // namespace textcompare
