#pragma once

#include "common/window_placement.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>

namespace foldercompare {

// The settings of the folder comparison program that its first activation loads and
// instance 1 saves at exit, with their defaults. Names follow the menu items and
// program-wide values that hold them while the window runs.
struct DirgleamSettings
{
    // Menu options: [DSP] RccBakup, CrlfNone, CodeDisp, UpDtNone, NewDtAst; [CSV]
    // CsvDblQuot, CsvSizeFit; [SAV] TxtDifAlll, TxtDifNomi, TxtDifKeis.
    bool RecyclerBackup = true;
    bool TextCrlfNone = false;
    bool TextCodeDsp = false;
    bool UpdDateNone = true;
    bool NewDateAsta = true;
    bool CsvDblQuot = true;
    bool CsvSizeFit = true;
    bool TxtDifAlll = false;
    bool TxtDifNomi = false;
    bool TxtDifKeis = false;

    // Row colours of "変更", "追加", "削除" and "日時" rows ([DSP] DIFFCUPD, DIFFCADD,
    // DIFFCDEL, DIFFCDTM), blue-green-red values.
    quint32 ColorUpd = 0xFFFFBB;
    quint32 ColorAdd = 0xBBBBFF;
    quint32 ColorDel = 0xDDDDDD;
    quint32 ColorDtm = 0x88FFFF;

    // Extensions always judged "BIN" ([DSP] BinJdExt).
    QStringList BinJdExt = DefaultBinJdExt();

    // Past comparisons, newest first: side-1 path, TAB, side-2 path ([HISTORY] Item0..9).
    QStringList History;

    // FTP proxy "host:port", empty for none ([PROXY] Server_FTP).
    QString Server_FTP;
    // File-name code of each FTP side ([FTP] FlNmCode0, FlNmCode1).
    std::array<QString, 2> FlNmCode{QStringLiteral("SJIS"), QStringLiteral("SJIS")};

    // Include and exclude patterns ([DSP] Ext0, Ext1).
    std::array<QString, 2> Ext;
    // Check-box values 0 or 1 of Chk_Folder, Chk_Nomi, Chk_Data ([DSP] Folder, Nomi, Data).
    int Folder = 1;
    int Nomi = 0;
    int Data = 1;

    // Folder depth limit of the listing; a stored value below 1 counts as 999.
    int FolderNum = 999;
    // Most result rows shown.
    int LineMax = 10000;

    static QStringList DefaultBinJdExt();
};

// What instance 1 restores of the last run: path boxes, gathered paths, the three
// status-bar texts and their tooltips ([DSP] Path0, Path1, Path0Bak, Path1Bak,
// Status0Txt..Status2Txt, Status0Tip..Status2Tip).
struct LastRunState
{
    std::array<QString, 2> Path;
    std::array<QString, 2> PathBak;
    std::array<QString, 3> StatusTxt;
    std::array<QString, 3> StatusTip;
};

// Loads the settings in the program's loading order. A value that cannot be read as its
// kind falls back to its default; the other keys load normally.
DirgleamSettings LoadDirgleamSettings(const QString &iniFile);

LastRunState LoadLastRunState(const QString &iniFile);

// Writes all settings and the last-run state in the program's saving order, then
// nothing else (the placement is written by common::SavePlacement). Throws common::Failure when a
// key cannot be written; the keys after it are not written.
void SaveDirgleamSettings(const QString &iniFile, const DirgleamSettings &settings, const LastRunState &lastRun);

} // namespace foldercompare
