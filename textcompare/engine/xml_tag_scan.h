#pragma once

#include "textcompare/engine/document_limits.h"
#include "textcompare/engine/xml_part_encoding.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace textcompare {

// Follows the XML of a part piece by piece as it is inflated, before an XML reader takes
// it in: counts the reader's work in `budget`, and holds each start tag to the budget's
// bounds on the attributes of one element and on the namespace declarations in force.
// The reader spends on each byte about the time of two units of work, whatever the byte
// is (blanks, a comment, an attribute's value), and within a start tag it compares each
// attribute with the ones before it and looks each prefix up among the declarations in
// force, a unit for every four of these steps. It takes a start tag or a comment in as
// one token, so that none of this would otherwise be counted, nor a stop heard, before it
// comes back: a tag of a hundred thousand attributes would be minutes of work, and so
// would hundreds of megabytes of a comment or of tags of a few hundred attributes each.
// Only tags count for the bounds: character data, comments, processing instructions and
// CDATA sections pass, and so does a '>' or '=' inside an attribute's value. A piece may
// end anywhere, inside a tag, a value, a name or a character.
// The part is followed in the encoding that the reader decodes it in, UTF-8 or UTF-16,
// told from its beginning (JudgeXmlPartEncoding), which is held until it tells; a part
// that the reader would decode otherwise is refused as damaged. Read as single bytes, a
// part in UTF-16 would hide its tags: the unit of "✼" (U+273C) holds the bytes of "<'".
class XmlTagScan
{
public:
    explicit XmlTagScan(ExpansionBudget &budget) : m_budget(budget) {}

    // Scans the next piece of the part; false when the budget refuses its work (or was
    // stopped) or a tag passes a bound, the budget then refused with that bound, or when
    // the part's encoding is refused, damage() then telling why.
    bool scan(QByteArrayView piece);
    // Why the part was refused as damaged ("読めない文字コード Shift_JIS"), or empty.
    QString damage() const { return m_damage; }

private:
    enum class State {
        Text,        // character data
        TagOpen,     // after '<'
        StartTag,    // inside a start tag, outside attribute values
        Value,       // inside an attribute value
        EndTag,      // inside an end tag
        MarkupOpen,  // after "<!"
        CommentOpen, // after "<!-"
        Comment,     // inside "<!--" … "-->"
        CData,       // inside "<![" … "]]>"
        Declaration, // inside "<!DOCTYPE" or another declaration, up to a '>' outside quotes
        Instruction, // inside "<?" … "?>"
    };

    // Scans `bytes` of the part in its encoding, once that is told.
    bool scanBytes(QByteArrayView bytes);
    // Scans characters of the part, one byte each, markup in ASCII.
    bool scanCharacters(QByteArrayView characters);
    bool startTagByte(char c);
    bool endStartTag();
    // Counts `steps` more steps of the reader's attribute checks and prefix lookups.
    bool takeSteps(qint64 steps);

    ExpansionBudget &m_budget;
    // The part's encoding once told; until then its first bytes are held.
    std::optional<XmlPartEncoding> m_encoding;
    QByteArray m_head;
    QString m_damage;
    // A part in UTF-16: the byte of a unit whose other byte is still to come, and the
    // piece's characters one byte each (AppendUtf16AsAscii).
    QByteArray m_oddByte;
    QByteArray m_characters;
    State m_state = State::Text;
    char m_quote = 0;    // the quote that ends the value (also in a declaration)
    int m_closers = 0;   // the '-', ']' or '?' just before, that a '>' ends a section after
    bool m_slash = false; // the last byte of the start tag so far was '/'
    // The start of the name before '=' ("xmlns" or "xmlns:…" declares a namespace).
    char m_name[6] = {};
    int m_nameLength = 0;
    bool m_nameEnded = true;
    // The name so far has a prefix; the element's own name is the tag's first name.
    bool m_prefixed = false;
    bool m_inElementName = false;
    bool m_elementPrefixed = false;
    qint64 m_steps = 0; // steps not yet making a whole unit of work
    qint64 m_attributes = 0;
    qint64 m_declarations = 0;
    // The elements open, and for each open element that declares namespaces its depth and
    // how many it declares.
    qint64 m_depth = 0;
    std::vector<std::pair<qint64, qint64>> m_declaring;
    qint64 m_inForce = 0;
};

} // namespace textcompare
