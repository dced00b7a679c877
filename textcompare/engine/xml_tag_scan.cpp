#include "textcompare/engine/xml_tag_scan.h"

#include <cstring>

namespace textcompare {

bool XmlTagScan::scan(QByteArrayView piece)
{
    const char *at = piece.data();
    const char *const end = at + piece.size();
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
        if (name == "xmlns" || name == "xmlns:")
            ++m_declarations;
        m_nameEnded = true;
        m_slash = false;
        return m_budget.allowAttributes(m_attributes) && m_budget.allowNamespaces(m_inForce + m_declarations);
    }
    case '>':
        return endStartTag();
    case ' ':
    case '\t':
    case '\r':
    case '\n':
        m_nameEnded = true;
        m_slash = false;
        return true;
    default:
        if (m_nameEnded) {
            m_nameLength = 0;
            m_nameEnded = false;
        }
        if (m_nameLength < int(sizeof m_name))
            m_name[m_nameLength++] = c;
        m_slash = c == '/';
        return true;
    }
}

bool XmlTagScan::endStartTag()
{
    m_state = State::Text;
    // An empty element's declarations go out of force with it.
    if (m_slash)
        return true;
    ++m_depth;
    if (m_declarations > 0) {
        m_declaring.emplace_back(m_depth, m_declarations);
        m_inForce += m_declarations;
    }
    return true;
}

} // namespace textcompare
