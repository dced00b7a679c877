#include "textcompare/engine/xml_tag_scan.h"

#include <algorithm>
#include <cstring>

namespace textcompare {

namespace {

// The reader's work: two units per byte that it takes in, one per four steps of its
// attribute checks and prefix lookups. Bytes are counted a slice at a time, so that the
// budget asks whether to go on as often within a long token as among many short ones.
constexpr qint64 UnitsPerByte = 2;
constexpr qint64 StepsPerUnit = 4;
constexpr qsizetype Slice = 512;

} // namespace

bool XmlTagScan::scan(QByteArrayView piece)
{
    for (qsizetype slice = 0; slice < piece.size(); slice += Slice)
        if (!m_budget.takeWork(UnitsPerByte * std::min(Slice, piece.size() - slice)))
            return false;
    if (m_encoding)
        return scanBytes(piece);
    // A part that ends before its beginning tells is passed: its first few bytes hold no
    // tag, or a declaration that does not end, which the reader refuses.
    m_head.append(piece);
    const XmlEncodingJudgement judgement = JudgeXmlPartEncoding(m_head, false);
    switch (judgement.outcome) {
    case XmlEncodingJudgement::Outcome::NeedsMore:
        return true;
    case XmlEncodingJudgement::Outcome::Refused:
        m_damage = judgement.problem;
        return false;
    case XmlEncodingJudgement::Outcome::Known:
        break;
    }
    m_encoding = judgement.encoding;
    return scanBytes(std::exchange(m_head, QByteArray()));
}

bool XmlTagScan::scanBytes(QByteArrayView bytes)
{
    if (*m_encoding == XmlPartEncoding::Utf8)
        return scanCharacters(bytes);
    m_characters.clear();
    if (!m_oddByte.isEmpty() && !bytes.isEmpty()) {
        m_oddByte.append(bytes.first(1));
        AppendUtf16AsAscii(std::exchange(m_oddByte, QByteArray()), *m_encoding, m_characters);
        bytes = bytes.sliced(1);
    }
    AppendUtf16AsAscii(bytes, *m_encoding, m_characters);
    if (bytes.size() % 2 != 0)
        m_oddByte = bytes.last(1).toByteArray();
    return scanCharacters(m_characters);
}

bool XmlTagScan::scanCharacters(QByteArrayView characters)
{
    const char *at = characters.data();
    const char *const end = at + characters.size();
    while (at < end) {
        // Character data and attribute values, the bulk of a part, are passed over whole.
        if (m_state == State::Text || m_state == State::Value) {
            const void *found = std::memchr(at, m_state == State::Text ? '<' : m_quote, size_t(end - at));
            if (!found)
                return true;
            at = static_cast<const char *>(found) + 1;
            if (m_state == State::Text) {
                m_state = State::TagOpen;
            } else {
                m_state = State::StartTag;
                m_nameEnded = true;
                m_slash = false;
            }
            continue;
        }
        const char c = *at++;
        switch (m_state) {
        case State::TagOpen:
            m_closers = 0;
            if (c == '/') {
                m_state = State::EndTag;
            } else if (c == '!') {
                m_state = State::MarkupOpen;
            } else if (c == '?') {
                m_state = State::Instruction;
            } else {
                m_state = State::StartTag;
                m_attributes = 0;
                m_declarations = 0;
                m_nameEnded = true;
                m_inElementName = true;
                m_elementPrefixed = false;
                if (!startTagByte(c))
                    return false;
            }
            break;
        case State::StartTag:
            if (!startTagByte(c))
                return false;
            break;
        case State::EndTag:
            if (c == '>') {
                m_state = State::Text;
                if (!m_declaring.empty() && m_declaring.back().first == m_depth) {
                    m_inForce -= m_declaring.back().second;
                    m_declaring.pop_back();
                }
                --m_depth;
            }
            break;
        case State::MarkupOpen:
            m_state = c == '-' ? State::CommentOpen : c == '[' ? State::CData : c == '>' ? State::Text : State::Declaration;
            m_quote = 0;
            break;
        case State::CommentOpen:
            m_state = c == '-' ? State::Comment : State::Declaration;
            break;
        case State::Comment:
        case State::CData:
            if (c == (m_state == State::Comment ? '-' : ']')) {
                ++m_closers;
            } else {
                if (c == '>' && m_closers >= 2)
                    m_state = State::Text;
                m_closers = 0;
            }
            break;
        case State::Instruction:
            if (c == '>' && m_closers > 0)
                m_state = State::Text;
            m_closers = c == '?' ? 1 : 0;
            break;
        case State::Declaration:
            if (m_quote != 0) {
                if (c == m_quote)
                    m_quote = 0;
            } else if (c == '"' || c == '\'') {
                m_quote = c;
            } else if (c == '>') {
                m_state = State::Text;
            }
            break;
        case State::Text:
        case State::Value:
            break;
        }
    }
    return true;
}

bool XmlTagScan::startTagByte(char c)
{
    switch (c) {
    case '"':
    case '\'':
        m_quote = c;
        m_state = State::Value;
        return true;
    case '=': {
        ++m_attributes;
        const QByteArrayView name(m_name, m_nameLength);
        const bool declaration = name == "xmlns" || name == "xmlns:";
        if (declaration)
            ++m_declarations;
        m_nameEnded = true;
        m_slash = false;
        // The attribute is compared with each one before it; a prefix is looked up among
        // the declarations in force, this tag's own among them.
        const qint64 lookups = m_prefixed && !declaration ? m_inForce + m_declarations : 0;
        return takeSteps(m_attributes - 1 + lookups) && m_budget.allowAttributes(m_attributes)
               && m_budget.allowNamespaces(m_inForce + m_declarations);
    }
    case '>':
        return endStartTag();
    case ' ':
    case '\t':
    case '\r':
    case '\n':
        m_nameEnded = true;
        m_inElementName = false;
        m_slash = false;
        return true;
    default:
        if (m_nameEnded) {
            m_nameLength = 0;
            m_nameEnded = false;
            m_prefixed = false;
        }
        if (c == ':')
            (m_inElementName ? m_elementPrefixed : m_prefixed) = true;
        if (m_nameLength < int(sizeof m_name))
            m_name[m_nameLength++] = c;
        m_slash = c == '/';
        return true;
    }
}

bool XmlTagScan::endStartTag()
{
    m_state = State::Text;
    m_inElementName = false;
    // The element's own prefix is looked up as its attributes' are.
    const bool counted = !m_elementPrefixed || takeSteps(m_inForce + m_declarations);
    // An empty element's declarations go out of force with it.
    if (m_slash)
        return counted;
    ++m_depth;
    if (m_declarations > 0) {
        m_declaring.emplace_back(m_depth, m_declarations);
        m_inForce += m_declarations;
    }
    return counted;
}

bool XmlTagScan::takeSteps(qint64 steps)
{
    m_steps += steps;
    const qint64 units = m_steps / StepsPerUnit;
    m_steps %= StepsPerUnit;
    return units == 0 || m_budget.takeWork(units);
}

} // namespace textcompare
