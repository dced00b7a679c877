#include "textcompare/engine/xml_tag_scan.h"

#include "platform/testing/print_to.h"

#include <QList>

#include <gtest/gtest.h>

namespace textcompare {
namespace {

// The outcome of scanning `xml` in the given pieces: empty when it passes, else the refusal.
QString scanned(const QList<QByteArrayView> &pieces)
{
    DocumentLimits limits = DocumentLimits::forSize(0);
    limits.attributes = 2;
    limits.namespaces = 2;
    ExpansionBudget budget(limits);
    XmlTagScan scan(budget);
    for (const QByteArrayView piece : pieces)
        if (!scan.scan(piece))
            return budget.refusal();
    EXPECT_FALSE(budget.exceeded());
    return {};
}

// Only the attributes of start tags count, and only the namespace declarations in force,
// however the part is cut into pieces: whole, in two at every place, a byte at a time.
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
        SCOPED_TRACE(c.xml.toStdString());
        const QByteArrayView xml(c.xml);
        EXPECT_EQ(scanned({xml}), c.refusal);
        for (qsizetype at = 0; at <= xml.size(); ++at)
            EXPECT_EQ(scanned({xml.first(at), xml.sliced(at)}), c.refusal) << "cut at " << at;
        QList<QByteArrayView> bytes;
        for (qsizetype at = 0; at < xml.size(); ++at)
            bytes.append(xml.sliced(at, 1));
        EXPECT_EQ(scanned(bytes), c.refusal);
    }
}

} // namespace
} // namespace textcompare
