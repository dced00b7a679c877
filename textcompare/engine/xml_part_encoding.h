#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace textcompare {

// The encodings in which the parts of a package are written, as the XML reader decodes a
// part.
enum class XmlPartEncoding { Utf8, Utf16LittleEndian, Utf16BigEndian };

// What the beginning of a part tells of its encoding: the encoding, that more of the part
// is needed to tell it, or why the part is refused.
struct XmlEncodingJudgement
{
    enum class Outcome { Known, NeedsMore, Refused };

    Outcome outcome = Outcome::NeedsMore;
    XmlPartEncoding encoding = XmlPartEncoding::Utf8;
    QString problem; // with Refused: "読めない文字コード Shift_JIS"
};

// The most of a part's beginning that JudgeXmlPartEncoding waits for: an XML declaration
// that does not end within it is refused.
inline constexpr qsizetype XmlEncodingHeadBytes = 4096;

// Tells the encoding in which the XML reader (QXmlStreamReader) will decode a part from its
// first bytes, `head` (the whole part when `whole`), as the reader tells it: a byte-order
// mark or the way the first '<' is written picks UTF-8, UTF-16 or UTF-32, UTF-8 when
// neither says anything, and an encoding named in the XML declaration then takes over,
// the reader decoding the part again in it. The scans that go before the reader, or in
// its place, read a part as the reader does only when they read it in the same encoding,
// so a part is refused when its beginning picks UTF-32, when its declaration names an
// encoding other than UTF-8 or UTF-16 (the only ones a package's parts are written in:
// Shift_JIS, UTF-7 or an EBCDIC code would hide tags from a scan of bytes), or one that
// its beginning does not pick (the reader would read the part from the start again in
// another encoding), and when the declaration does not end within XmlEncodingHeadBytes.
XmlEncodingJudgement JudgeXmlPartEncoding(QByteArrayView head, bool whole);

// Appends the characters of `units`, whole UTF-16 units in `encoding` (not UTF-8), to
// `characters` one byte each: an ASCII character as itself, any other unit as 0x80, which
// no markup of XML is made of. So a scan of ASCII markup follows a part in UTF-16 as it
// follows one in UTF-8.
void AppendUtf16AsAscii(QByteArrayView units, XmlPartEncoding encoding, QByteArray &characters);

} // namespace textcompare
