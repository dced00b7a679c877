#include "textcompare/window/linquell_settings.h"

#include "platform/profile.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace textcompare {
namespace {

using platform::readProfileString;
using platform::testing::TemporaryFolder;

class LinquellSettingsTest : public ::testing::Test
{
protected:
    void store(const char *section, const char *key, const QString &value)
    {
        ASSERT_TRUE(platform::writeProfileString(section, key, value, m_ini));
    }
    QString stored(const char *section, const char *key) const
    {
        return readProfileString(section, key, QStringLiteral("<missing>"), m_ini);
    }

    TemporaryFolder m_folder;
    QString m_ini = m_folder.filePath("Linquell.ini");
};

TEST_F(LinquellSettingsTest, MissingFileGivesTheDefaultsAndSavingWritesTheUnloadKeys)
{
    const LinquellSettings loaded = LoadLinquellSettings(m_ini);
    EXPECT_EQ(loaded.HanteiLine, 7);
    EXPECT_EQ(loaded.LineMax, 50000);
    EXPECT_TRUE(loaded.NoSpaceCheck);
    EXPECT_FALSE(loaded.NoULChrCheck);
    EXPECT_TRUE(loaded.CsvDblQuot);
    EXPECT_EQ(loaded.Colors, DiffColors{});
    EXPECT_EQ(loaded.BinJdExt.size(), 16);
    EXPECT_TRUE(loaded.History.isEmpty());
    EXPECT_FALSE(QFile::exists(m_ini)) << "loading writes nothing";

    SaveLinquellSettings(m_ini, loaded);
    const struct
    {
        const char *section;
        const char *key;
        const char *value;
    } expected[] = {
        {"DSP", "Nomi", "0"},
        {"DSP", "NoSpCheck", "True"},
        {"DSP", "NoULCheck", "False"},
        {"DSP", "DspSpChar", "False"},
        {"DSP", "DspSpTab", "<TAB>"},
        {"DSP", "DspSpHsp", "<S>"},
        {"DSP", "DspSpZsp", "<SP>"},
        {"XLS", "XlsFormatCnd", "False"},
        {"CSV", "CsvDblQuot", "True"},
        {"CSV", "CsvHtmlUni", "False"},
        {"DSP", "BinJdExt", "zip,lzh,cab,jar,gz,tar,z,exe,com,pdf,jpg,gif,bmp,png,tif,ico"},
        {"DSP", "LenOfRow", "0"},
        {"DSP", "DIFFCUPD", "FFFFBB"},
        {"DSP", "DIFFCADD", "BBBBFF"},
        {"DSP", "DIFFCDEL", "DDDDDD"},
        {"DSP", "DIFFCNO1", "FF"},
        {"DSP", "DIFFCNO2", "FF0000"},
        {"ETC", "SearchStr", ""},
        {"ETC", "Editor", ""},
        {"EXCEL", "MaxLine", "1000"},
        {"EXCEL", "SheetNo1", "1"},
        {"EXCEL", "SheetNo2", "1"},
        {"PROXY", "Server_HTTP", ""},
        {"PROXY", "Server_FTP", ""},
    };
    for (const auto &key : expected) {
        SCOPED_TRACE(key.key);
        EXPECT_EQ(stored(key.section, key.key), key.value);
    }
    const QString file = QString::fromUtf8(TemporaryFolder::readFile(m_ini));
    EXPECT_EQ(file.count(QRegularExpression("^\\w+=", QRegularExpression::MultilineOption)), 24);
    EXPECT_EQ(stored("DSP", "HanteiLine"), "<missing>") << "the factor is never written at exit";
    EXPECT_EQ(stored("DSP", "LineMax"), "<missing>");
}

TEST_F(LinquellSettingsTest, StoredFormsAreReadAsTheWindowReadsThem)
{
    const struct
    {
        const char *name;
        const char *section;
        const char *key;
        QString value;
        std::function<bool(const LinquellSettings &)> holds;
    } cases[] = {
        {"lower-case false is on", "DSP", "NoSpCheck", "false", [](auto &s) { return s.NoSpaceCheck; }},
        {"empty flag is on", "DSP", "NoSpCheck", "", [](auto &s) { return s.NoSpaceCheck; }},
        {"exact False is off", "CSV", "CsvDblQuot", "False", [](auto &s) { return !s.CsvDblQuot; }},
        {"short colour", "DSP", "DIFFCADD", "FF", [](auto &s) { return s.Colors.DIFFCADD == 0xFF; }},
        {"colour cut to 24 bits", "DSP", "DIFFCUPD", "1234567", [](auto &s) { return s.Colors.DIFFCUPD == 0x234567; }},
        {"colour without digits keeps its default", "DSP", "DIFFCDEL", "GG",
         [](auto &s) { return s.Colors.DIFFCDEL == 0xDDDDDD; }},
        {"number by its leading digits", "DSP", "LineMax", "12abc", [](auto &s) { return s.LineMax == 12; }},
        {"number without digits keeps its default", "EXCEL", "MaxLine", "abc",
         [](auto &s) { return s.MaxLine == "1000"; }},
        {"sheet number normalised", "EXCEL", "SheetNo2", " 3.0x", [](auto &s) { return s.SheetNo[1] == "3"; }},
        {"negative wrap width", "DSP", "LenOfRow", "-40", [](auto &s) { return s.LenOfRow == -40; }},
        {"factor from the list", "DSP", "HanteiLine", "12", [](auto &s) { return s.HanteiLine == 12; }},
        {"factor outside the list", "DSP", "HanteiLine", "31", [](auto &s) { return s.HanteiLine == 7; }},
        {"check-box value", "DSP", "Nomi", "1", [](auto &s) { return s.Nomi == 1; }},
        {"check-box value that is no number", "DSP", "Nomi", "yes", [](auto &s) { return s.Nomi == 0; }},
        {"check-box value out of range", "DSP", "Nomi", "2", [](auto &s) { return s.Nomi == 0; }},
        {"empty items of the extension list", "DSP", "BinJdExt", "zip,,EXE,",
         [](auto &s) { return s.BinJdExt == QStringList{"zip", "", "EXE", ""}; }},
        {"blank marks as text", "DSP", "DspSpTab", "→", [](auto &s) { return s.DspSpTab == "→"; }},
        {"download time-out", "PROXY", "TimeOut", "5s", [](auto &s) { return s.TimeOut == 5; }},
        {"a time-out of 0 keeps the default", "PROXY", "TimeOut", "0", [](auto &s) { return s.TimeOut == 60; }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(m_ini);
        store(c.section, c.key, c.value);
        EXPECT_TRUE(c.holds(LoadLinquellSettings(m_ini)));
    }
}

TEST_F(LinquellSettingsTest, OneBadValueLeavesTheOthersAndSurvivesTheUnload)
{
    store("DSP", "Nomi", "abc");
    store("DSP", "NoULCheck", "True");
    store("DSP", "DIFFCNO2", "00FF00");
    store("ETC", "Editor", "gedit +%L% %F%");
    store("EXCEL", "SheetNo1", "4");
    SaveLinquellSettings(m_ini, LoadLinquellSettings(m_ini));
    EXPECT_EQ(stored("DSP", "Nomi"), "0");
    EXPECT_EQ(stored("DSP", "NoULCheck"), "True");
    EXPECT_EQ(stored("DSP", "DIFFCNO2"), "FF00");
    EXPECT_EQ(stored("ETC", "Editor"), "gedit +%L% %F%");
    EXPECT_EQ(stored("EXCEL", "SheetNo1"), "4");
}

TEST_F(LinquellSettingsTest, HistoryStopsAtTheFirstMissingEntry)
{
    store("HISTORY", "Item0", "/a/1.txt\t/b/1.txt");
    store("HISTORY", "Item1", "/a/2.txt\t/b/2.txt");
    store("HISTORY", "Item2", "NONE");
    store("HISTORY", "Item3", "/a/4.txt\t/b/4.txt");
    EXPECT_EQ(LoadLinquellSettings(m_ini).History, (QStringList{"/a/1.txt\t/b/1.txt", "/a/2.txt\t/b/2.txt"}));
}

TEST(DefaultEditorCommand, PresetArgumentsFollowTheProgramsName)
{
    const struct
    {
        const char *program;
        const char *command;
    } cases[] = {
        {"/usr/bin/gedit", "/usr/bin/gedit +%L% %F%"},
        {"/opt/KDE/bin/Kate", "/opt/KDE/bin/Kate --line %L% %F%"},
        {"/usr/bin/mousepad", "/usr/bin/mousepad --line %L% %F%"},
        {"/usr/bin/vim", "/usr/bin/vim %F%"},
        {"", " %F%"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.program);
        EXPECT_EQ(DefaultEditorCommand(c.program), c.command);
    }
}

} // namespace
} // namespace textcompare
