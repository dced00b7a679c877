#include "textcompare/engine/xml_part_encoding.h"

#include <QStringConverter>
#include <QSysInfo>

#include <algorithm>
#include <optional>

namespace textcompare {

namespace {

constexpr qsizetype EncodingNameShown = 40;

XmlEncodingJudgement known(XmlPartEncoding encoding)
{
    return {XmlEncodingJudgement::Outcome::Known, encoding, {}};
}

XmlEncodingJudgement needsMore()
{
    return {XmlEncodingJudgement::Outcome::NeedsMore, XmlPartEncoding::Utf8, {}};
}

XmlEncodingJudgement refused(const QString &problem)
{
    return {XmlEncodingJudgement::Outcome::Refused, XmlPartEncoding::Utf8, problem};
}

bool isXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The order of the reader's decoder for the name "UTF-16": the one of a byte-order mark at
// the part's start, else the machine's own.
XmlPartEncoding namedUtf16Order(QByteArrayView head)
{
    if (head.startsWith("\xFF\xFE"))
        return XmlPartEncoding::Utf16LittleEndian;
    if (head.startsWith("\xFE\xFF"))
        return XmlPartEncoding::Utf16BigEndian;
    return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? XmlPartEncoding::Utf16LittleEndian
                                                          : XmlPartEncoding::Utf16BigEndian;
}

// Whether the reader, having taken a part in as `detected`, goes on in the same encoding
// when the declaration names `name`; the problem that refuses the part otherwise.
QString declaredProblem(QByteArrayView head, XmlPartEncoding detected, const QByteArray &name)
{
    const std::optional<QStringConverter::Encoding> named = QStringConverter::encodingForName(name.constData());
    std::optional<XmlPartEncoding> declared;
    if (named == QStringConverter::Utf8)
        declared = XmlPartEncoding::Utf8;
    else if (named == QStringConverter::Utf16LE)
        declared = XmlPartEncoding::Utf16LittleEndian;
    else if (named == QStringConverter::Utf16BE)
        declared = XmlPartEncoding::Utf16BigEndian;
    else if (named == QStringConverter::Utf16)
        declared = namedUtf16Order(head);
    QString shown = QString::fromLatin1(name.left(EncodingNameShown));
    shown.replace(QChar(0x80), u'?');
    if (!declared)
        return QStringLiteral("読めない文字コード ") + shown;
    if (*declared != detected)
        return QStringLiteral("宣言の文字コード %1 が先頭のバイトと合いません").arg(shown);
    return {};
}

} // namespace

void AppendUtf16AsAscii(QByteArrayView units, XmlPartEncoding encoding, QByteArray &characters)
{
    const qsizetype count = units.size() / 2;
    const qsizetype low = encoding == XmlPartEncoding::Utf16LittleEndian ? 0 : 1;
    const auto *bytes = reinterpret_cast<const uchar *>(units.data());
    const qsizetype start = characters.size();
    characters.resize(start + count);
    char *out = characters.data() + start;
    for (qsizetype i = 0; i < count; ++i) {
        const uchar lowByte = bytes[2 * i + low];
        const uchar highByte = bytes[2 * i + 1 - low];
        out[i] = highByte == 0 && lowByte < 0x80 ? char(lowByte) : char(0x80);
    }
}

XmlEncodingJudgement JudgeXmlPartEncoding(QByteArrayView head, bool whole)
{
    if (head.size() > XmlEncodingHeadBytes) {
        head = head.first(XmlEncodingHeadBytes);
        whole = false;
    }
    // The reader waits for four bytes before it tells the encoding.
    if (head.size() < 4 && !whole)
        return needsMore();
    const QStringConverter::Encoding found
        = QStringConverter::encodingForData(head, u'<').value_or(QStringConverter::Utf8);
    XmlPartEncoding detected = XmlPartEncoding::Utf8;
    if (found == QStringConverter::Utf16LE)
        detected = XmlPartEncoding::Utf16LittleEndian;
    else if (found == QStringConverter::Utf16BE)
        detected = XmlPartEncoding::Utf16BigEndian;
    else if (found != QStringConverter::Utf8)
        return refused(QStringLiteral("読めない文字コード ") + QString::fromLatin1(QStringConverter::nameForEncoding(found)));

    // The beginning's characters, a byte-order mark left out as the reader's decoder
    // leaves it out.
    QByteArray characters;
    if (detected == XmlPartEncoding::Utf8) {
        characters = head.startsWith("\xEF\xBB\xBF") ? head.sliced(3).toByteArray() : head.toByteArray();
    } else {
        AppendUtf16AsAscii(head, detected, characters);
        if (head.startsWith(detected == XmlPartEncoding::Utf16LittleEndian ? "\xFF\xFE" : "\xFE\xFF"))
            characters.remove(0, 1);
    }
    // Only "<?xml" and a blank at the very start make a declaration; the reader refuses
    // one further on.
    constexpr QByteArrayView Opening("<?xml");
    const qsizetype compared = std::min(characters.size(), Opening.size());
    if (QByteArrayView(characters).first(compared).compare(Opening.first(compared), Qt::CaseInsensitive) != 0)
        return known(detected);
    if (characters.size() <= Opening.size())
        return whole ? known(detected) : needsMore();
    if (!isXmlSpace(characters[Opening.size()]))
        return known(detected);
    const qsizetype end = characters.indexOf("?>", Opening.size());
    if (end < 0)
        return whole || head.size() == XmlEncodingHeadBytes ? refused(QStringLiteral("XML 宣言が終わりません"))
                                                             : needsMore();
    // Every name given as "encoding" = quoted name must keep the reader in the encoding
    // that the beginning picked.
    const QByteArrayView declaration = QByteArrayView(characters).first(end);
    constexpr QByteArrayView Keyword("encoding");
    for (qsizetype at = declaration.indexOf(Keyword); at >= 0; at = declaration.indexOf(Keyword, at + 1)) {
        qsizetype next = at + Keyword.size();
        while (next < end && isXmlSpace(declaration[next]))
            ++next;
        if (next >= end || declaration[next] != '=')
            continue;
        ++next;
        while (next < end && isXmlSpace(declaration[next]))
            ++next;
        if (next >= end || (declaration[next] != '"' && declaration[next] != '\''))
            continue;
        const qsizetype close = declaration.indexOf(declaration[next], next + 1);
        if (close < 0)
            continue;
        const QString problem = declaredProblem(head, detected, declaration.sliced(next + 1, close - next - 1).toByteArray());
        if (!problem.isEmpty())
            return refused(problem);
    }
    return known(detected);
}

} // namespace textcompare
