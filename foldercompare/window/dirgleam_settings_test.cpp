#include "foldercompare/window/dirgleam_settings.h"

#include "common/saved_error.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <gtest/gtest.h>

namespace foldercompare {
namespace {

using platform::testing::TemporaryFolder;

class DirgleamSettingsTest : public ::testing::Test
{
protected:
    QString ini() const { return m_folder.filePath("Dirgleam.ini"); }
    void store(const QByteArray &content) { m_folder.writeFile("Dirgleam.ini", content); }
    QByteArray stored() const { return TemporaryFolder::readFile(ini()); }

    TemporaryFolder m_folder;
};

TEST_F(DirgleamSettingsTest, MissingFileGivesEveryDefault)
{
    const DirgleamSettings s = LoadDirgleamSettings(ini());
    EXPECT_TRUE(s.RecyclerBackup);
    EXPECT_FALSE(s.TextCrlfNone);
    EXPECT_FALSE(s.TextCodeDsp);
    EXPECT_TRUE(s.UpdDateNone);
    EXPECT_TRUE(s.NewDateAsta);
    EXPECT_TRUE(s.CsvDblQuot);
    EXPECT_TRUE(s.CsvSizeFit);
    EXPECT_FALSE(s.TxtDifAlll || s.TxtDifNomi || s.TxtDifKeis);
    EXPECT_EQ(s.ColorUpd, 0xFFFFBBu);
    EXPECT_EQ(s.ColorAdd, 0xBBBBFFu);
    EXPECT_EQ(s.ColorDel, 0xDDDDDDu);
    EXPECT_EQ(s.ColorDtm, 0x88FFFFu);
    EXPECT_EQ(s.BinJdExt.size(), 20);
    EXPECT_EQ(s.BinJdExt.first(), "zip");
    EXPECT_EQ(s.BinJdExt.last(), "ico");
    EXPECT_TRUE(s.History.isEmpty());
    EXPECT_EQ(s.Server_FTP, "");
    EXPECT_EQ(s.FlNmCode[0], "SJIS");
    EXPECT_EQ(s.FlNmCode[1], "SJIS");
    EXPECT_EQ(s.Folder, 1);
    EXPECT_EQ(s.Nomi, 0);
    EXPECT_EQ(s.Data, 1);
    EXPECT_EQ(s.FolderNum, 999);
    EXPECT_EQ(s.LineMax, 10000);
    EXPECT_FALSE(QFile::exists(ini())) << "loading writes nothing";
}

TEST_F(DirgleamSettingsTest, StoredFormsAreReadAsTheProgramReadsThem)
{
    store("[DSP]\n"
          "RccBakup=false\n"
          "UpDtNone=False\n"
          "DIFFCADD=FF\n"
          "DIFFCDEL=zz\n"
          "FolderNum=0\n"
          "LineMax=250000\n"
          "BinJdExt=iso,img\n"
          "Ext0=*.txt,ドキュメント/\n"
          "[SAV]\n"
          "TxtDifAlll=True\n"
          "TxtDifNomi=True\n"
          "[HISTORY]\n"
          "Item0=/a\t/b\n"
          "Item1=/c\t/d\n"
          "Item2=NONE\n"
          "Item3=/e\t/f\n");
    const DirgleamSettings s = LoadDirgleamSettings(ini());
    EXPECT_TRUE(s.RecyclerBackup) << "only exactly \"False\" turns an option off";
    EXPECT_FALSE(s.UpdDateNone);
    EXPECT_EQ(s.ColorAdd, 0xFFu);
    EXPECT_EQ(s.ColorDel, 0xDDDDDDu) << "a colour without digits keeps its default";
    EXPECT_EQ(s.FolderNum, 999);
    EXPECT_EQ(s.LineMax, 250000);
    EXPECT_EQ(s.BinJdExt, QStringList({"iso", "img"}));
    EXPECT_EQ(s.Ext[0], "*.txt,ドキュメント/");
    EXPECT_FALSE(s.TxtDifAlll);
    EXPECT_TRUE(s.TxtDifNomi) << "with both stored on, TxtDifNomi wins";
    EXPECT_EQ(s.History, QStringList({"/a\t/b", "/c\t/d"}));
}

TEST_F(DirgleamSettingsTest, OneBadValueDoesNotStopTheOthers)
{
    store("[DSP]\nFolder=abc\nNomi=1\nData=7\nFolderNum=deep\nLineMax=lots\n");
    const DirgleamSettings s = LoadDirgleamSettings(ini());
    EXPECT_EQ(s.Folder, 1);
    EXPECT_EQ(s.Nomi, 1);
    EXPECT_EQ(s.Data, 1);
    EXPECT_EQ(s.FolderNum, 999);
    EXPECT_EQ(s.LineMax, 10000);
}

TEST_F(DirgleamSettingsTest, SavesEveryKeyInOrderAndRoundTrips)
{
    DirgleamSettings s;
    s.ColorAdd = 0xFF;
    s.TxtDifNomi = true;
    s.Server_FTP = "proxy.local:8021";
    s.FlNmCode[1] = "UTF8";
    s.Ext = {"*.cpp", "build/"};
    s.Nomi = 1;
    s.LineMax = 50000;
    LastRunState run;
    run.Path = {"/home/u/a", "ftp://u:p@host/pub/"};
    run.PathBak = {"/home/u/a", ""};
    run.StatusTxt = {"10", "20", "30"};
    run.StatusTip = {"t0", "t1", "t2"};
    SaveDirgleamSettings(ini(), s, run);

    EXPECT_EQ(stored(), QByteArray("[DSP]\n"
                                   "Path0=/home/u/a\n"
                                   "Path1=ftp://u:p@host/pub/\n"
                                   "Path0Bak=/home/u/a\n"
                                   "Path1Bak=\n"
                                   "Status0Txt=10\nStatus1Txt=20\nStatus2Txt=30\n"
                                   "Status0Tip=t0\nStatus1Tip=t1\nStatus2Tip=t2\n"
                                   "Ext0=*.cpp\nExt1=build/\n"
                                   "Folder=1\nNomi=1\nData=1\n"
                                   "RccBakup=True\nCrlfNone=False\nUpDtNone=True\nCodeDisp=False\nNewDtAst=True\n"
                                   "BinJdExt=zip,lzh,cab,jar,gz,tar,z,exe,com,xls,xlsx,doc,docx,pdf,jpg,gif,bmp,png,tif,ico\n"
                                   "DIFFCUPD=FFFFBB\nDIFFCADD=FF\nDIFFCDEL=DDDDDD\nDIFFCDTM=88FFFF\n"
                                   "FolderNum=999\nLineMax=50000\n"
                                   "[CSV]\nCsvDblQuot=True\nCsvSizeFit=True\n"
                                   "[SAV]\nTxtDifAlll=False\nTxtDifNomi=True\nTxtDifKeis=False\n"
                                   "[PROXY]\nServer_FTP=proxy.local:8021\n"
                                   "[FTP]\nFlNmCode0=SJIS\nFlNmCode1=UTF8\n"));

    const DirgleamSettings back = LoadDirgleamSettings(ini());
    EXPECT_EQ(back.ColorAdd, 0xFFu);
    EXPECT_TRUE(back.TxtDifNomi);
    EXPECT_EQ(back.Server_FTP, s.Server_FTP);
    EXPECT_EQ(back.FlNmCode[1], "UTF8");
    EXPECT_EQ(back.Ext, s.Ext);
    EXPECT_EQ(back.LineMax, 50000);
    const LastRunState runBack = LoadLastRunState(ini());
    EXPECT_EQ(runBack.Path, run.Path);
    EXPECT_EQ(runBack.PathBak, run.PathBak);
    EXPECT_EQ(runBack.StatusTxt, run.StatusTxt);
    EXPECT_EQ(runBack.StatusTip, run.StatusTip);
}

TEST_F(DirgleamSettingsTest, SaveFailureStopsWithAFailure)
{
    const QString unwritable = m_folder.filePath("missing/Dirgleam.ini");
    EXPECT_THROW(SaveDirgleamSettings(unwritable, DirgleamSettings(), LastRunState()), common::Failure);
}


} // namespace
} // namespace foldercompare
