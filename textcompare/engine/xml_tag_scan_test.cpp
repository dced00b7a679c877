#include "textcompare/engine/xml_tag_scan.h"

#include "platform/testing/print_to.h"
#include "textcompare/engine/document_test_support.h"

#include <QList>

#include <gtest/gtest.h>

namespace textcompare {
namespace {

using testing::utf16;

// The outcome of scanning `xml` in the given pieces: empty when it passes, else the
// refusal.
QString scanned(const QList<QByteArrayView> &pieces)
{
    DocumentLimits limits = DocumentLimits::forSize(0);
    limits.attributes = 2;
    limits.namespaces = 2;
    ExpansionBudget budget(limits);
    XmlTagScan scan(budget);
    for (const QByteArrayView piece : pieces)
        if (!scan.scan(piece))
            return budget.exceeded() ? budget.refusal() : scan.damage();
    EXPECT_FALSE(budget.exceeded());
    return {};
}

// Only the attributes of start tags count, and only the namespace declarations in force,
// however the part is cut into pieces: whole, in two at every place, a byte at a time;
// in UTF-8 and in UTF-16 of either order, where "✼" (U+273C) holds the bytes of "<'".
TEST(XmlTagScan, CountsTheAttributesOfTagsWhereverThePiecesEnd)
{
    const QString attributes = QStringLiteral("大きすぎます (要素の属性数が 2 を超えます)");
    const QString namespaces = QStringLiteral("大きすぎます (名前空間の宣言数が 2 を超えます)");
    const struct
    {
        QByteArray xml;
        QString refusal;
    } cases[] = {
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><r a='1' b=\"2\"/>", {}},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>✼ <s a='1' b='2' c=''/></r>", attributes},
        {"<r a='✼' b='〾'>✼>✼<s a='✼✼' b='<'/></r>", {}},
        {"<r a='1' b=\"2\" c=''/>", attributes},
        {"<r\ta = \"=\"\nb='=='>text a=1 b=2 c=3 > '\"</r>", {}},
        {"<r a=\"'>\" b='\">' c=''></r>", attributes},
        {"<!-- - -> <r a=1 b=2 c=3> --><r/><!---->", {}},
        {"<r><![CDATA[ ]> <r a=1 b=2 c=3> ]]></r>", {}},
        {"<?pi ?<r a=1 b=2 c=3> ?><r/>", {}},
        {"<!DOCTYPE r [<!ENTITY e \"<r a=1 b=2 c=3>\">]><r/>", {}},
        {"<r xmlns='u' xmlns:a='u'><s xmlns:b='u'/></r>", namespaces},
        {"<r xmlns = 'u'><s xmlns:a='u' xmlns:b='u'/></r>", namespaces},
        {"<r xmlns='u'><s xmlns:a='u'></s><s xmlns:b='u'></s></r>", {}},
        {"<r xmlns:a='u'/><r xmlns:b='u'/><r xmlns:c='u'/>", {}},
        {"<r xmlnsx='1' xmlns:a='u'><s xmlns:b='u'/></r>", {}},
    };
    for (const auto &c : cases) {
        for (const QByteArray &encoded : {c.xml, utf16(c.xml, true), utf16(c.xml, false)}) {
            SCOPED_TRACE(encoded.toHex(' ').toStdString());
            const QByteArrayView xml(encoded);
            EXPECT_EQ(scanned({xml}), c.refusal);
            for (qsizetype at = 0; at <= xml.size(); ++at)
                EXPECT_EQ(scanned({xml.first(at), xml.sliced(at)}), c.refusal) << "cut at " << at;
            QList<QByteArrayView> bytes;
            for (qsizetype at = 0; at < xml.size(); ++at)
                bytes.append(xml.sliced(at, 1));
            EXPECT_EQ(scanned(bytes), c.refusal);
        }
    }
}

// A part is followed in the encoding that the XML reader decodes it in, or refused as
// damaged when the reader would decode it in one that a scan cannot follow.
TEST(XmlTagScan, RefusesAPartInAnEncodingItCannotFollow)
{
    const QByteArray tag = "<r a='1' b='2' c=''/>";
    const struct
    {
        const char *name;
        QByteArray xml;
        QString outcome;
    } cases[] = {
        {"UTF-8 behind its byte-order mark, named in any case", "\xEF\xBB\xBF<?xml version='1.0' encoding='utf8'?>" + tag,
         "大きすぎます (要素の属性数が 2 を超えます)"},
        {"UTF-16 named by its order", utf16("<?xml version='1.0' encoding = \"UTF-16LE\" ?>" + tag, true),
         "大きすぎます (要素の属性数が 2 を超えます)"},
        {"a stylesheet instruction, no declaration", "<?xml-stylesheet encoding='Shift_JIS'?>" + tag,
         "大きすぎます (要素の属性数が 2 を超えます)"},
        {"UTF-32", QByteArray("\xFF\xFE\0\0<\0\0\0", 8), "読めない文字コード UTF-32LE"},
        {"Shift_JIS", "<?xml version='1.0' encoding='Shift_JIS'?>" + tag, "読めない文字コード Shift_JIS"},
        {"UTF-8 named UTF-16", "<?xml version='1.0' encoding='UTF-16'?>" + tag,
         "宣言の文字コード UTF-16 が先頭のバイトと合いません"},
        {"UTF-16 named UTF-8", utf16("<?xml version='1.0' encoding='utf-8'?>", true),
         "宣言の文字コード utf-8 が先頭のバイトと合いません"},
        {"big-endian UTF-16 without a mark, named UTF-16", utf16("<?xml version='1.0' encoding='UTF-16'?>", false),
         "宣言の文字コード UTF-16 が先頭のバイトと合いません"},
        {"a declaration that does not end", "<?xml version='1.0'" + QByteArray(XmlEncodingHeadBytes, ' '),
         "XML 宣言が終わりません"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArrayView xml(c.xml);
        EXPECT_EQ(scanned({xml}), c.outcome);
        QList<QByteArrayView> bytes;
        for (qsizetype at = 0; at < xml.size(); ++at)
            bytes.append(xml.sliced(at, 1));
        EXPECT_EQ(scanned(bytes), c.outcome);
    }
}

// The reader's work counts as the part comes, also where it would take in one long token
// before coming back: two units per byte, and a unit per four comparisons of an attribute
// with the tag's others or lookups of a prefix among the declarations in force.
TEST(XmlTagScan, CountsTheReadersWorkAsThePartComes)
{
    const auto tags = [](int count, int attributes) {
        QByteArray tag = "<e";
        for (int i = 0; i < attributes; ++i)
            tag += " a" + QByteArray::number(i) + "=''";
        return (tag + "/>").repeated(count);
    };
    QByteArray declarations = "<r";
    for (int i = 0; i < 200; ++i)
        declarations += " xmlns:n" + QByteArray::number(i) + "='u'";
    declarations += '>';
    const struct
    {
        const char *name;
        QByteArray xml;
        bool refused;
    } cases[] = {
        {"a comment of 40,000 bytes", "<!--" + QByteArray(40000, ' ') + "-->", false},
        {"a comment of 60,000 bytes", "<!--" + QByteArray(60000, ' ') + "-->", true},
        {"an attribute value of 60,000 bytes", "<e a='" + QByteArray(60000, 'x') + "'/>", true},
        {"4 tags of 250 attributes", tags(4, 250), false},
        {"10 tags of 250 attributes", tags(10, 250), true},
        {"2,000 elements below 200 declarations", declarations + QByteArray("<e/>").repeated(2000) + "</r>", false},
        {"2,000 prefixed elements below 200 declarations", declarations + QByteArray("<n0:e/>").repeated(2000) + "</r>",
         true},
        {"1,500 elements with a prefixed attribute below 200 declarations",
         declarations + QByteArray("<e n0:a=''/>").repeated(1500) + "</r>", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArrayView xml(c.xml);
        for (const qsizetype pieceSize : {xml.size(), qsizetype(1)}) {
            DocumentLimits limits = DocumentLimits::forSize(0);
            limits.work = 100000;
            ExpansionBudget budget(limits);
            XmlTagScan scan(budget);
            bool passed = true;
            for (qsizetype at = 0; passed && at < xml.size(); at += pieceSize)
                passed = scan.scan(xml.sliced(at, std::min(pieceSize, xml.size() - at)));
            EXPECT_EQ(!passed, c.refused) << "pieces of " << pieceSize;
            EXPECT_EQ(budget.refusal(), c.refused ? "大きすぎます (処理量が 100000 を超えます)" : QString());
        }
    }
}

} // namespace
} // namespace textcompare
