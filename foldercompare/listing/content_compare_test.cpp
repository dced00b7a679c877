#include "foldercompare/listing/content_compare.h"

#include "common/non_code_class.h"
#include "foldercompare/listing/testing_host.h"
#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"
#include "platform/testing/unprivileged_scope.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace foldercompare::listing {
namespace {

using platform::testing::TemporaryFolder;
using testing::RecordingHost;

const QString JapaneseText = QStringLiteral("これは日本語のテキストです。\r\n"
                                            "漢字とひらがなとカタカナが入っています。\r\n"
                                            "二行目も三行目も同じ内容で比較します。\r\n");

class ContentComparerTest : public ::testing::Test
{
protected:
    QString file(const QString &relative, const QByteArray &bytes) { return m_folder.writeFile(relative, bytes); }
    ContentComparer comparer(bool crlfNone, bool codeDsp, QStringList binExt = {})
    {
        return ContentComparer(ContentOptions{crlfNone, codeDsp, std::move(binExt)}, m_host);
    }
    static QByteArray sjis(const QString &text) { return common::NonCodeClass().VbUnicode_To_SJIS(text); }
    static QByteArray utf8(const QString &text) { return common::NonCodeClass().VbUnicode_To_UTF8(text, false); }
    // `text` in UTF-16 behind its byte-order mark, in either byte order.
    static QByteArray utf16(const QString &text, bool bigEndian)
    {
        QByteArray bytes = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
        for (const QChar c : text) {
            const char high = char(c.unicode() >> 8);
            const char low = char(c.unicode() & 0xFF);
            bytes.append(bigEndian ? high : low).append(bigEndian ? low : high);
        }
        return bytes;
    }
    static QString lf(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

    TemporaryFolder m_folder;
    RecordingHost m_host;
};

TEST_F(ContentComparerTest, ByteComparison)
{
    ContentComparer compare = comparer(false, false);
    const QString a = file("a.bin", "same bytes");
    const QString b = file("b.bin", "same bytes");
    const QString c = file("c.bin", "other byte");
    const QString shorter = file("d.bin", "short");
    EXPECT_FALSE(compare.CheckFileUpd(a, b).differ);
    EXPECT_TRUE(compare.CheckFileUpd(a, c).differ);
    EXPECT_TRUE(compare.CheckFileUpd(a, shorter).differ);
    EXPECT_TRUE(compare.CheckFileUpd(a, m_folder.filePath("missing")).differ);
    EXPECT_FALSE(compare.CheckFileUpd(file("e1", ""), file("e2", "")).differ) << "two empty files";

    const ContentComparer::FileData empty = compare.CompareFileData(m_folder.filePath("e1"), m_folder.filePath("e2"));
    EXPECT_TRUE(empty.equal);
    EXPECT_TRUE(empty.firstBlock1.isEmpty());
    EXPECT_EQ(compare.CheckFileUpd(m_folder.filePath("e1"), m_folder.filePath("e2")).code1, "")
        << "an empty file is not judged";
}

TEST_F(ContentComparerTest, LaterBlocksAreComparedAndTheFirstBlockKept)
{
    QByteArray big(ContentComparer::BlockSize + 10, 'x');
    const QString a = file("a.bin", big);
    big[ContentComparer::BlockSize + 5] = 'y';
    const QString b = file("b.bin", big);
    ContentComparer compare = comparer(false, false);
    const ContentComparer::FileData data = compare.CompareFileData(a, b);
    EXPECT_FALSE(data.equal);
    EXPECT_EQ(data.firstBlock1.size(), ContentComparer::BlockSize);
    EXPECT_EQ(data.size1, ContentComparer::BlockSize + 10);
    EXPECT_GE(m_host.pumps, 1);
}

TEST_F(ContentComparerTest, SamePathIsEqualWithoutOpeningAndSizesDecideWithoutReading)
{
    platform::testing::allowOthers(m_folder.path());
    const QString locked = file("locked.txt", "abc");
    const QString other = file("other.txt", "abcdef");
    chmod(locked.toUtf8().constData(), 0);
    ContentComparer compare = comparer(false, false);
    ContentComparer::FileData sizes;
    bool samePathDiffers = true;
    {
        platform::testing::UnprivilegedScope unprivileged;
        samePathDiffers = compare.CheckFileUpd(locked, locked).differ;
        sizes = compare.CompareFileData(locked, other);
    }
    EXPECT_FALSE(samePathDiffers);
    EXPECT_FALSE(sizes.equal);
    EXPECT_FALSE(sizes.unfinished) << "different sizes decide without opening the files";
}

TEST_F(ContentComparerTest, UnreadableFilesNeverCompareEqual)
{
    platform::testing::allowOthers(m_folder.path());
    const QString locked1 = file("one.txt", "abc");
    const QString locked2 = file("two.txt", "abc");
    chmod(locked1.toUtf8().constData(), 0);
    chmod(locked2.toUtf8().constData(), 0);
    const QString readable = file("three.txt", "abc");
    ContentComparer compare = comparer(true, true);
    ContentCheck::FileResult result;
    ContentCheck::FileResult oneLocked;
    {
        platform::testing::UnprivilegedScope unprivileged;
        result = compare.CheckFileUpd(locked1, locked2);
        oneLocked = compare.CheckFileUpd(readable, locked2);
    }
    EXPECT_TRUE(result.differ);
    EXPECT_TRUE(oneLocked.differ);
    EXPECT_EQ(compare.unreadablePaths(), (QStringList{locked1, locked2, locked2})) << "each is named for the user";

    const QStringList many{"/a/1", "/a/2", "/a/3", "/a/4", "/a/5", "/a/6", "/a/7"};
    const QString heading = "読み込めないフォルダまたはファイルがあります。内容を比較できなかったため「変更」としています。　\r\n";
    EXPECT_EQ(UnreadableFilesMessage(many.first(1)), heading + "\r\n/a/1");
    EXPECT_EQ(UnreadableFilesMessage(many), heading + "\r\n/a/1\r\n/a/2\r\n/a/3\r\n/a/4\r\n/a/5\r\n．．．");
}

TEST_F(ContentComparerTest, AbortMakesThePairDiffer)
{
    const QByteArray big(3 * ContentComparer::BlockSize, 'x');
    const QString a = file("a.bin", big);
    const QString b = file("b.bin", big);
    m_host.abortAfterPumps = 1;
    ContentComparer compare = comparer(false, false);
    const ContentComparer::FileData data = compare.CompareFileData(a, b);
    EXPECT_FALSE(data.equal);
    EXPECT_TRUE(data.unfinished);
    EXPECT_TRUE(compare.CheckFileUpd(a, b).differ);
}

TEST_F(ContentComparerTest, TextsComparedRegardlessOfLineEndsAndCodes)
{
    const QString crlf = file("crlf.txt", sjis(JapaneseText));
    const QString lfOnly = file("lf.txt", sjis(lf(JapaneseText)));
    const QString asUtf8 = file("utf8.txt", utf8(JapaneseText));
    const QString crOnly = file("cr.txt", sjis(lf(JapaneseText).replace(u'\n', u'\r')));
    const QString changed = file("changed.txt", sjis(lf(JapaneseText).replace(QStringLiteral("三"), QStringLiteral("四"))));

    ContentComparer strict = comparer(false, false);
    EXPECT_TRUE(strict.CheckFileUpd(crlf, lfOnly).differ);
    EXPECT_TRUE(strict.CheckFileUpd(crlf, asUtf8).differ);

    ContentComparer loose = comparer(true, false);
    const ContentCheck::FileResult result = loose.CheckFileUpd(crlf, lfOnly);
    EXPECT_FALSE(result.differ);
    EXPECT_EQ(result.code1, "SJIS");
    EXPECT_EQ(result.code2, "SJIS");
    const ContentCheck::FileResult mixed = loose.CheckFileUpd(crlf, asUtf8);
    EXPECT_FALSE(mixed.differ);
    EXPECT_EQ(mixed.code2, "UTF8");
    EXPECT_FALSE(loose.CheckFileUpd(crOnly, lfOnly).differ);
    EXPECT_TRUE(loose.CheckFileUpd(crlf, changed).differ);
    // ASCII that the judge takes for UTF-7, which does not read it: read in the next code.
    const QByteArray python = QByteArray("    total = left+base-right+size-1\r\n").repeated(20);
    const ContentCheck::FileResult source =
        loose.CheckFileUpd(file("a.py", python), file("b.py", lf(QString::fromLatin1(python)).toLatin1()));
    EXPECT_FALSE(source.differ);
    EXPECT_EQ(source.code1, "SJIS") << "the code shown is the one the file is read in";
    // UTF-8 text only behind the first block, against the same text behind a UTF-8 mark:
    // judged whole, both read as UTF-8.
    const QByteArray lateQuote = QByteArray(ContentComparer::BlockSize + 10, 'a') + "\nmodule\xE2\x80\x99s\n";
    const ContentCheck::FileResult late =
        loose.CheckFileUpd(file("late.py", lateQuote), file("late_bom.py", "\xEF\xBB\xBF" + lateQuote));
    EXPECT_FALSE(late.differ);
    EXPECT_EQ(late.code1, "UTF8");
    EXPECT_EQ(late.code2, "UTF8");
    // The byte-order mark tells UTF-16 and its byte order.
    const ContentCheck::FileResult utf16Orders = comparer(true, true).CheckFileUpd(
        file("le.txt", utf16(JapaneseText, false)), file("be.txt", utf16(JapaneseText, true)));
    EXPECT_FALSE(utf16Orders.differ);
    EXPECT_EQ(utf16Orders.code1, "UNICODE");
    EXPECT_EQ(utf16Orders.code2, "UNICODE");
}

TEST_F(ContentComparerTest, CodesJudgedFromFirstBlocksWhenShown)
{
    const QString a = file("a.txt", sjis(JapaneseText));
    const QString b = file("b.txt", utf8(JapaneseText + JapaneseText));
    ContentComparer show = comparer(false, true);
    const ContentCheck::FileResult result = show.CheckFileUpd(a, b);
    EXPECT_TRUE(result.differ);
    EXPECT_EQ(result.code1, "SJIS");
    EXPECT_EQ(result.code2, "UTF8");
    const ContentCheck::FileResult hidden = comparer(false, false).CheckFileUpd(a, b);
    EXPECT_EQ(hidden.code1, "");
    EXPECT_EQ(hidden.code2, "");
    // A file shows the code it is read in, against an identical copy too: UTF-8 text only
    // behind the first block, and EUC that UTF-8 scores as high as EUC but cannot read.
    const QByteArray lateJapanese = QByteArray(ContentComparer::BlockSize + 10, 'a') + "\n" + utf8(JapaneseText);
    const QByteArray euc = common::NonCodeClass().VbUnicode_To_EUC(u"哲生");
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *code;
    } shown[] = {{"UTF-8 behind the first block", lateJapanese, "UTF8"}, {"EUC that UTF-8 does not read", euc, "EUC"}};
    for (const auto &c : shown) {
        SCOPED_TRACE(c.name);
        const QString one = file(QStringLiteral("one.txt"), c.bytes);
        const ContentCheck::FileResult copies = show.CheckFileUpd(one, file(QStringLiteral("copy.txt"), c.bytes));
        EXPECT_FALSE(copies.differ);
        EXPECT_EQ(copies.code1, c.code);
        EXPECT_EQ(copies.code2, c.code);
        EXPECT_EQ(show.GetFileCode(one), c.code);
    }
}

TEST_F(ContentComparerTest, BinaryExtensionsAreNeverComparedAsText)
{
    const QString a = file("one.ZIP", sjis(JapaneseText));
    const QString b = file("two.zip", sjis(lf(JapaneseText)));
    ContentComparer compare = comparer(true, false, {"zip", "exe"});
    const ContentCheck::FileResult result = compare.CheckFileUpd(a, b);
    EXPECT_TRUE(result.differ);
    EXPECT_EQ(result.code1, "BIN");
    EXPECT_EQ(compare.GetFileCode(a), "BIN");
    EXPECT_EQ(compare.GetFileCode(file("plain.txt", sjis(JapaneseText))), "SJIS");
    EXPECT_EQ(compare.GetFileCode(file("empty.txt", "")), "BIN");
    EXPECT_EQ(compare.GetFileCode(m_folder.filePath("missing.txt")), "BIN");
}

TEST_F(ContentComparerTest, ATextThatDoesNotDecodeCleanlyIsNeverEqual)
{
    const QByteArray one = sjis(JapaneseText) + "broken \x81\x20 here\r\n";
    const QByteArray two = sjis(JapaneseText) + "broken \x82\x20 here\n";
    common::NonCodeClass codes;
    const QString decoded1 = codes.SJIS_To_VbUnicode(one);
    ASSERT_FALSE(codes.lastConversionClean());
    ASSERT_EQ(lf(decoded1), lf(codes.SJIS_To_VbUnicode(two))) << "both decode to the same replacement text";

    const QString a = file("a.txt", one);
    const QString b = file("b.txt", two);
    ContentComparer compare = comparer(true, false);
    ASSERT_EQ(compare.JudgeFileCode(a, one), "SJIS");
    EXPECT_TRUE(compare.CheckFileUpd(a, b).differ) << "two failed decodings must not read as the same text";
}

TEST_F(ContentComparerTest, FolderTrees)
{
    file("one/a.txt", "a");
    file("two/a.txt", "a");
    file("one/only.txt", "x");
    file("one/sub/deep/b.txt", "b");
    file("two/sub/deep/b.txt", "b");
    ContentComparer compare = comparer(false, false);
    EXPECT_FALSE(compare.CheckFolderUpd(m_folder.filePath("one"), m_folder.filePath("two")))
        << "an entry on one side only takes no part";
    ASSERT_EQ(symlink("../..", m_folder.filePath("one/sub/deep/loop").toUtf8().constData()), 0);
    ASSERT_EQ(symlink("../..", m_folder.filePath("two/sub/deep/loop").toUtf8().constData()), 0);
    EXPECT_FALSE(compare.CheckFolderUpd(m_folder.filePath("one/"), m_folder.filePath("two/"))) << "loops are not followed";
    m_folder.makeFolder("one/links");
    m_folder.makeFolder("two/links");
    ASSERT_EQ(symlink("/nonexistent", m_folder.filePath("one/links/dangling").toUtf8().constData()), 0);
    EXPECT_FALSE(compare.CheckFolderUpd(m_folder.filePath("one"), m_folder.filePath("two")))
        << "a dangling link takes no part, as if it were not there";
    file("two/sub/deep/b.txt", "B");
    EXPECT_TRUE(compare.CheckFolderUpd(m_folder.filePath("one"), m_folder.filePath("two")));
    EXPECT_TRUE(compare.unreadablePaths().isEmpty());
}

TEST_F(ContentComparerTest, AnUnreadableSubfolderMakesTheTreesDiffer)
{
    file("one/a.txt", "a");
    file("two/a.txt", "a");
    file("one/sub/b.txt", "b");
    file("two/sub/b.txt", "b");
    platform::testing::allowOthers(m_folder.path());
    chmod(m_folder.filePath("two/sub").toUtf8().constData(), 0);
    bool differ = false;
    ContentComparer compare = comparer(false, false);
    {
        platform::testing::UnprivilegedScope unprivileged;
        differ = compare.CheckFolderUpd(m_folder.filePath("one"), m_folder.filePath("two"));
    }
    chmod(m_folder.filePath("two/sub").toUtf8().constData(), 0755);
    EXPECT_TRUE(differ);
    EXPECT_EQ(compare.unreadablePaths(), QStringList{m_folder.filePath("two/sub/")});
}

} // namespace
} // namespace foldercompare::listing
