#include "textcompare/engine/ooxml_package.h"

#include <QStringDecoder>

#include <algorithm>

namespace textcompare {

namespace {

// What a stopped read gives the XML reader in place of the piece: characters that no XML
// holds, which end the reader's current token at once. In UTF-8 the first byte is one;
// in UTF-16 the last two bytes are U+FFFF, whether the reader holds a byte of a unit from
// before or not.
const QByteArray StopMark("\x01\xFF\xFF\xFF", 4);

// A piece of a part inflated or converted at a time, so that a stop is heard while a
// large part is read.
constexpr qsizetype Piece = qsizetype(1) << 20;

// `target` of a relationship of `part`, as a full part name: relative targets are taken
// from the part's folder, with "." and ".." steps resolved.
QString resolvedTarget(const QString &part, QStringView target)
{
    QStringList steps;
    if (!target.startsWith(u'/'))
        steps = part.left(part.lastIndexOf(u'/') + 1).split(u'/', Qt::SkipEmptyParts);
    for (const QStringView step : target.split(u'/', Qt::SkipEmptyParts)) {
        if (step == u"..") {
            if (!steps.isEmpty())
                steps.removeLast();
        } else if (step != u".") {
            steps.append(step.toString());
        }
    }
    return steps.join(u'/');
}

// The refusal of `part`, which inflates past `bound` bytes.
QString partTooLarge(const QString &part, qint64 bound)
{
    return QStringLiteral("大きすぎます (%1 の展開後のバイト数が %2 を超えます)").arg(part).arg(bound);
}

// "xl/_rels/workbook.xml.rels" for "xl/workbook.xml".
QString relationshipsPart(const QString &part)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) + QStringLiteral(".rels");
}

} // namespace

QXmlStreamReader::TokenType nextToken(QXmlStreamReader &reader, ExpansionBudget &budget)
{
    if (!budget.takeWork()) {
        reader.raiseError(budget.refusal());
        return QXmlStreamReader::Invalid;
    }
    const QXmlStreamReader::TokenType token = reader.readNext();
    if (token == QXmlStreamReader::DTD) {
        reader.raiseError(QStringLiteral("DTD があります"));
        return QXmlStreamReader::Invalid;
    }
    if (token == QXmlStreamReader::StartElement && !budget.enterElement()) {
        reader.raiseError(budget.refusal());
        return QXmlStreamReader::Invalid;
    }
    if (token == QXmlStreamReader::EndElement)
        budget.leaveElement();
    return token;
}

void skipElement(QXmlStreamReader &reader, ExpansionBudget &budget)
{
    const qint64 depth = budget.depth();
    while (!reader.atEnd() && budget.depth() >= depth)
        nextToken(reader, budget);
}

bool appendElementText(QXmlStreamReader &reader, QString &text, ExpansionBudget &budget)
{
    while (!reader.atEnd()) {
        switch (nextToken(reader, budget)) {
        case QXmlStreamReader::Characters:
            if (!budget.fits(text.size() + reader.text().size())) {
                budget.refuseCharacters();
                reader.raiseError(budget.refusal());
                return false;
            }
            text += reader.text();
            break;
        case QXmlStreamReader::StartElement:
            reader.raiseError(QStringLiteral("文字の中に要素 <%1> があります").arg(reader.name()));
            return false;
        case QXmlStreamReader::EndElement:
            return true;
        default:
            break;
        }
    }
    return false;
}

QStringView attributeValue(const QXmlStreamAttributes &attributes, QLatin1StringView name)
{
    for (const QXmlStreamAttribute &attribute : attributes)
        if (attribute.name() == name)
            return attribute.value();
    return {};
}

bool OoxmlPackage::open(const QString &path, ExpansionBudget &budget)
{
    m_budget = &budget;
    if (m_archive.open(path))
        return true;
    m_error = QStringLiteral("zip として読めません (") + m_archive.errorString() + u')';
    return false;
}

QString OoxmlPackage::mainPart(const QString &fallback)
{
    QHash<QString, OoxmlRelationship> packageRelationships;
    if (m_archive.contains(QStringLiteral("_rels/.rels")) && relationships(QString(), packageRelationships)) {
        for (const OoxmlRelationship &relationship : packageRelationships)
            if (relationship.type == u"officeDocument")
                return relationship.target;
    }
    return fallback;
}

bool OoxmlPackage::relationships(const QString &part, QHash<QString, OoxmlRelationship> &result)
{
    const QString name = part.isEmpty() ? QStringLiteral("_rels/.rels") : relationshipsPart(part);
    if (!m_archive.contains(name))
        return true;
    std::unique_ptr<QXmlStreamReader> reader = openXml(name);
    if (!reader)
        return false;
    while (!reader->atEnd()) {
        if (nextToken(*reader, *m_budget) == QXmlStreamReader::StartElement
            && isElement(*reader, QLatin1StringView("Relationship"))) {
            const QXmlStreamAttributes attributes = reader->attributes();
            const QStringView type = attributeValue(attributes, QLatin1StringView("Type"));
            result.insert(attributeValue(attributes, QLatin1StringView("Id")).toString(),
                          {type.mid(type.lastIndexOf(u'/') + 1).toString(),
                           resolvedTarget(part, attributeValue(attributes, QLatin1StringView("Target")))});
        }
    }
    return !failed(*reader);
}

bool OoxmlPackage::openPart(const QString &part, bool scanTags)
{
    m_entry = m_archive.openEntry(part, m_budget->limits().partBytes);
    m_partName = part;
    m_budget->startPart();
    if (!m_entry && m_archive.pastLimit()) {
        m_error = partTooLarge(part, m_budget->limits().partBytes);
        return false;
    }
    if (!m_entry) {
        m_error = (m_archive.contains(part) ? QStringLiteral("壊れています (") : QStringLiteral("必要な部分がありません ("))
                  + m_archive.errorString() + u')';
        return false;
    }
    // Each 4 KiB inflated is a unit of work, so that a stop is heard also while a large
    // part inflates; the XML reader's work is counted and its tags are scanned as they
    // come, before it takes them in. A refusal or a stop gives the reader the StopMark:
    // at the end of the data it would first put back all it had taken of a long comment
    // or section, seconds of work.
    m_tagScan = scanTags ? std::make_unique<XmlTagScan>(*m_budget) : nullptr;
    m_entry->setKeepReading(
        [budget = m_budget, tagScan = m_tagScan.get()](QByteArrayView piece) {
            return budget->takeWork(piece.size() / 4096 + 1) && (!tagScan || tagScan->scan(piece));
        },
        scanTags ? StopMark : QByteArray());
    return true;
}

void OoxmlPackage::setDamaged(const QString &part, const QString &problem)
{
    m_error = QStringLiteral("壊れています (%1 %2)").arg(part, problem);
}

std::unique_ptr<QXmlStreamReader> OoxmlPackage::openXml(const QString &part)
{
    if (!openPart(part, true))
        return nullptr;
    return std::make_unique<QXmlStreamReader>(m_entry.get());
}

bool OoxmlPackage::readXmlUtf8(const QString &part, QByteArray &xml)
{
    if (!openPart(part, false))
        return false;
    QByteArray bytes;
    for (;;) {
        const qsizetype held = bytes.size();
        if (bytes.capacity() < held + Piece)
            bytes.reserve(std::max(2 * bytes.capacity(), held + Piece));
        bytes.resize(held + Piece);
        const qint64 count = m_entry->read(bytes.data() + held, Piece);
        bytes.resize(held + std::max<qsizetype>(count, 0));
        if (count <= 0)
            break;
    }
    if (partFailed())
        return false;
    const XmlEncodingJudgement judgement = JudgeXmlPartEncoding(bytes, true);
    if (judgement.outcome == XmlEncodingJudgement::Outcome::Refused) {
        setDamaged(part, judgement.problem);
        return false;
    }
    if (judgement.encoding == XmlPartEncoding::Utf8) {
        xml = std::move(bytes);
        return true;
    }
    if (bytes.size() % 2 != 0) {
        setDamaged(part, QStringLiteral("UTF-16 の途中で終わっています"));
        return false;
    }
    // The decoder leaves a byte-order mark out.
    QStringDecoder decoder(judgement.encoding == XmlPartEncoding::Utf16LittleEndian ? QStringConverter::Utf16LE
                                                                                    : QStringConverter::Utf16BE);
    xml.clear();
    for (qsizetype at = 0; at < bytes.size(); at += Piece) {
        const QByteArrayView piece = QByteArrayView(bytes).sliced(at, std::min(Piece, bytes.size() - at));
        if (!m_budget->takeWork(piece.size() / 4096 + 1)) {
            m_error = m_budget->refusal();
            return false;
        }
        xml += QString(decoder(piece)).toUtf8();
    }
    return true;
}

bool OoxmlPackage::failed(const QXmlStreamReader &reader)
{
    if (partFailed())
        return true;
    if (!reader.hasError())
        return false;
    m_error = QStringLiteral("壊れています (%1 %2行: %3)").arg(m_partName).arg(reader.lineNumber()).arg(reader.errorString());
    return true;
}

bool OoxmlPackage::partFailed()
{
    if (m_entry && m_entry->pastLimit()) {
        m_error = partTooLarge(m_partName, m_budget->limits().partBytes);
        return true;
    }
    if (m_entry && m_entry->failed()) {
        m_error = QStringLiteral("壊れています (") + m_entry->errorString() + u')';
        return true;
    }
    if (m_tagScan && !m_tagScan->damage().isEmpty()) {
        setDamaged(m_partName, m_tagScan->damage());
        return true;
    }
    if (m_budget->exceeded()) {
        m_error = m_budget->refusal();
        return true;
    }
    return false;
}

} // namespace textcompare
