#pragma once

#include "platform/zip_archive.h"
#include "textcompare/engine/document_limits.h"
#include "textcompare/engine/xml_tag_scan.h"

#include <QHash>
#include <QString>
#include <QXmlStreamReader>

#include <memory>

namespace textcompare {

// One relationship of a package part: its type (the last step of the type address,
// "worksheet", "sharedStrings", "officeDocument") and the part it leads to, as a full
// name inside the package ("xl/worksheets/sheet1.xml").
struct OoxmlRelationship
{
    QString type;
    QString target;
};

// An Office Open XML package (a zip of XML parts) opened for reading. Every failure
// leaves its reason in error(): the zip cannot be read, a part is missing, a part's
// XML is damaged or cut short or holds a document type declaration, a part is in an
// encoding that its scans cannot follow (JudgeXmlPartEncoding), a part inflates past the
// limit of the package's budget, the budget refuses its work or a tag of a part.
class OoxmlPackage
{
public:
    // Opens the package at `path`, whose reading stays within the limits of `budget` and
    // counts its elements there; the budget outlives the package.
    bool open(const QString &path, ExpansionBudget &budget);
    // The name of the package's main part ("xl/workbook.xml", "word/document.xml"): the
    // target of the package's officeDocument relationship, else `fallback`.
    QString mainPart(const QString &fallback);
    // The relationships of `part` by id; empty (not a failure) when it has none.
    bool relationships(const QString &part, QHash<QString, OoxmlRelationship> &result);

    // The XML of `part`, inflated whole, in UTF-8: a part in UTF-16 is converted, one that
    // the XML reader would decode in another encoding is refused as damaged
    // (JudgeXmlPartEncoding); false when it cannot be read whole. Each 4 KiB of the part
    // inflated, and each 4 KiB converted, is a unit of work of the budget.
    bool readXmlUtf8(const QString &part, QByteArray &xml);
    // A reader over `part`, or nullptr when the part cannot be opened. Each 4 KiB of the
    // part inflated is a unit of work of the budget, so is the reader's work on what it
    // takes in (XmlTagScan), and each start tag is held to the budget's bounds on
    // attributes and namespace declarations before the reader takes it in.
    std::unique_ptr<QXmlStreamReader> openXml(const QString &part);
    // Whether the reader opened last has met damaged XML or damaged zip data, or the
    // budget refused the reading; then error() tells which part and why, or the refusal.
    bool failed(const QXmlStreamReader &reader);

    QString error() const { return m_error; }
    void setError(const QString &error) { m_error = error; }
    // Fails the reading for `part`, damaged as `problem` tells.
    void setDamaged(const QString &part, const QString &problem);

private:
    // Opens `part` for reading, its tags scanned as they come when `scanTags`.
    bool openPart(const QString &part, bool scanTags);
    // Whether the part opened last failed to inflate, or the budget refused its reading;
    // then error() tells why.
    bool partFailed();

    platform::ZipArchive m_archive;
    ExpansionBudget *m_budget = nullptr;
    std::unique_ptr<platform::ZipEntry> m_entry;
    std::unique_ptr<XmlTagScan> m_tagScan;
    QString m_partName;
    QString m_error;
};

// The element name without its prefix, as the parts are read regardless of prefixes.
inline bool isElement(const QXmlStreamReader &reader, QLatin1StringView name)
{
    return reader.name() == name;
}

// The next token of `reader`, each token a unit of work of `budget` and each element
// open in the budget's depth: when the budget refuses it, the read ends with its refusal
// raised as the reader's error. A document type declaration ends the read as damage: the
// parts of a package have none, and its entities could blow a small part up without
// bound or stand for files outside the package.
QXmlStreamReader::TokenType nextToken(QXmlStreamReader &reader, ExpansionBudget &budget);
// Reads past the end of the element at the reader, its contents counted as nextToken
// counts them, so that a stop is heard inside it too.
void skipElement(QXmlStreamReader &reader, ExpansionBudget &budget);

// Appends the character data of the element at the reader to `text`, up to the element's
// end. False, with an error raised on the reader, when the element holds another element,
// or when `text` would grow past what `budget` can still take (the budget is then
// exceeded; nothing of `text` is counted in it).
bool appendElementText(QXmlStreamReader &reader, QString &text, ExpansionBudget &budget);

// The value of the attribute whose name without prefix is `name`.
QStringView attributeValue(const QXmlStreamAttributes &attributes, QLatin1StringView name);

} // namespace textcompare
