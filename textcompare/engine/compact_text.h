#pragma once

#include <QAnyStringView>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace textcompare {

// A compared text. A text whose characters all lie below U+0100 can be held one byte per
// character (Latin-1): the bytes of a plain ASCII file are such a text as they stand, and
// it takes half the memory of its UTF-16 form. Any other text is held as UTF-16. Either
// way the text is the same sequence of UTF-16 code units; copies share the characters.
class CompactText
{
public:
    CompactText() = default;
    // The text held as UTF-16, sharing `text`.
    CompactText(const QString &text) : m_utf16(text) {}
    // The text of these Latin-1 bytes, sharing them.
    static CompactText fromLatin1(const QByteArray &latin1);
    // `text` held one byte per character when every character fits, else as UTF-16.
    static CompactText narrowed(const QString &text);

    bool isLatin1() const { return m_isLatin1; }
    qsizetype size() const { return m_isLatin1 ? m_latin1.size() : m_utf16.size(); }
    bool isEmpty() const { return size() == 0; }

    // The characters, for code that works on either form: Latin-1 bytes (`Unit` uchar)
    // when isLatin1(), UTF-16 code units (`Unit` char16_t) otherwise.
    template <typename Unit>
    const Unit *data() const;

    QAnyStringView view(qsizetype position, qsizetype length) const;
    QString mid(qsizetype position, qsizetype length) const { return view(position, length).toString(); }
    QString toString() const;
    // The same text held as UTF-16.
    CompactText widened() const { return CompactText(toString()); }

    // Equal texts, whichever form each is held in.
    friend bool operator==(const CompactText &left, const CompactText &right)
    {
        return left.view(0, left.size()) == right.view(0, right.size());
    }

private:
    QByteArray m_latin1;
    QString m_utf16;
    bool m_isLatin1 = false;
};

template <>
inline const uchar *CompactText::data<uchar>() const
{
    return reinterpret_cast<const uchar *>(m_latin1.constData());
}

template <>
inline const char16_t *CompactText::data<char16_t>() const
{
    return reinterpret_cast<const char16_t *>(m_utf16.constData());
}

// Whether every byte is below 0x80.
bool IsAscii(QByteArrayView bytes);

} // namespace textcompare
