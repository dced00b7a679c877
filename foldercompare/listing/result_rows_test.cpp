#include "foldercompare/listing/result_rows.h"

#include "platform/flex_grid.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <gtest/gtest.h>

namespace foldercompare::listing {
namespace {

using platform::testing::TemporaryFolder;

const StatusColors Colors{0x11, 0x22, 0x33, 0x44};

// A result grid with rows given as "status|side 1|side 2|path"; row data runs 101, 102...
class ResultRowsTest : public ::testing::Test
{
protected:
    void fill(const QStringList &rows)
    {
        m_grid.setCols(5);
        m_grid.setRows(1 + int(rows.size()));
        for (int i = 0; i < rows.size(); ++i) {
            m_grid.setRowTexts(i + 1, QStringList{QString::number(i + 1)} + rows[i].split(u'|'));
            m_grid.setRowData(i + 1, 101 + i);
        }
    }
    QStringList rows() const
    {
        QStringList result;
        for (int row = 1; row < m_grid.rows(); ++row)
            result.append(QStringList{m_grid.textMatrix(row, 0), QString::number(m_grid.rowData(row)),
                                      m_grid.textMatrix(row, 1), m_grid.textMatrix(row, 4)}
                              .join(u'|'));
        return result;
    }

    platform::FlexGrid m_grid;
};

TEST_F(ResultRowsTest, ColourOfAStatus)
{
    EXPECT_EQ(Colors.forStatus(u"変更"), 0x11u);
    EXPECT_EQ(Colors.forStatus(u"追加"), 0x22u);
    EXPECT_EQ(Colors.forStatus(u"削除"), 0x33u);
    EXPECT_EQ(Colors.forStatus(u"日時"), 0x44u);
    EXPECT_EQ(Colors.forStatus(u"他"), 0x44u);
    EXPECT_EQ(Colors.forStatus(u""), 0u);
    EXPECT_TRUE(IsDifferenceStatus(u"削除"));
    EXPECT_FALSE(IsDifferenceStatus(u"日時"));
    EXPECT_FALSE(IsDifferenceStatus(u""));
}

TEST_F(ResultRowsTest, PaintsEveryRowByItsStatusIncludingRowsThatLostTheirColour)
{
    fill({"変更|||a", "変更|||b", "|||c", "追加|||d", "日時|||e"});
    m_grid.setRangeBackColor(3, 1, 3, 4, 0x99);
    int calls = 0;
    PaintRowsByStatus(m_grid, Colors, [&calls] { ++calls; });
    const quint32 expected[] = {0x11, 0x11, 0, 0x22, 0x44};
    for (int row = 1; row <= 5; ++row) {
        SCOPED_TRACE(row);
        for (int col = 1; col <= 4; ++col)
            EXPECT_EQ(m_grid.backColorAt(row, col), expected[row - 1]);
        EXPECT_EQ(m_grid.backColorAt(row, 0), 0u);
    }
    EXPECT_EQ(calls, 5);
}

TEST_F(ResultRowsTest, SortAscendingThenDescendingIsTheReverseWithTiesByPath)
{
    fill({"変更|||b.txt", "|||z.txt", "変更|||a.txt", "追加|||c.txt", "日時|||d.txt"});
    m_grid.setCurrentCell(4, 1);
    SortResultRows(m_grid, 1, false, Colors, [] {});
    // The empty status first, then by code: 変 (U+5909), 日 (U+65E5), 追 (U+8FFD).
    const QStringList expected{"1|102||z.txt", "2|103|変更|a.txt", "3|101|変更|b.txt", "4|105|日時|d.txt", "5|104|追加|c.txt"};
    EXPECT_EQ(rows(), expected);
    EXPECT_EQ(m_grid.backColorAt(1, 2), 0u);
    EXPECT_EQ(m_grid.backColorAt(2, 2), 0x11u);
    EXPECT_EQ(m_grid.backColorAt(5, 4), 0x22u) << "colours travel with the statuses";
    EXPECT_EQ(m_grid.row(), 1);
    EXPECT_EQ(m_grid.col(), 1);
    EXPECT_EQ(m_grid.topRow(), 1);

    SortResultRows(m_grid, 1, true, Colors, [] {});
    QStringList reversed;
    for (qsizetype i = expected.size() - 1; i >= 0; --i)
        reversed.append(QString::number(expected.size() - i) + expected[i].mid(expected[i].indexOf(u'|')));
    EXPECT_EQ(rows(), reversed);
}

TEST_F(ResultRowsTest, SortByPathOrdersByCompareItem)
{
    fill({"|||b", "|||A", "|||a", "|||B/"});
    SortResultRows(m_grid, 4, false, Colors, [] {});
    EXPECT_EQ(rows(), (QStringList{"1|102||A", "2|103||a", "3|101||b", "4|104||B/"}));
}

TEST_F(ResultRowsTest, EntryPathsForTheViewerAndNewWindows)
{
    TemporaryFolder folder;
    const QString rootFile = folder.writeFile("single.txt", "x");
    const struct
    {
        const char *name;
        QString root;
        QString box;
        QString relative;
        QString expected;
    } cases[] = {
        {"local folder", "/data/old", "/data/old", "sub/a.txt", "/data/old/sub/a.txt"},
        {"root with trailing slash", "/data/old/", "/data/old/", "a.txt", "/data/old/a.txt"},
        {"file system root", "/", "/", "etc/a.txt", "/etc/a.txt"},
        {"local folder row loses its slash", "/data/old", "/data/old", "sub/deep/", "/data/old/sub/deep"},
        {"two single files", rootFile, rootFile, "", rootFile},
        {"file root with a relative path", rootFile, rootFile, "b.txt", folder.filePath("b.txt")},
        {"ftp file", "/work/0.ftp/pub", "ftp://u@host/pub/", "sub/a.txt", "ftp://u@host/pub/sub/a.txt"},
        {"ftp box without slash", "/work/0.ftp/pub", "ftp://u@host/pub", "sub/a.txt", "ftp://u@host/pub/sub/a.txt"},
        {"ftp folder keeps its slash", "/work/0.ftp/pub", "ftp://host//pub/", "sub/", "ftp://host/pub/sub/"},
        {"ftp name holding a colon", "/work/0.ftp/pub", "ftp://u:p@host/pub/", "b:/c.txt", "ftp://u:p@host/pub/b:/c.txt"},
        {"upper-case prefix is local", "/data/x", "FTP://host/pub", "a.txt", "/data/x/a.txt"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RowEntryPath(c.root, c.box, c.relative), c.expected);
    }
}

} // namespace
} // namespace foldercompare::listing
