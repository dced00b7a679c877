#include "common/non_code_class.h"

#include "common/judge_code.h"

#include <QtEndian>

namespace common {

void NonCodeClass::setFuncRogic(int value)
{
    m_funcRogic = value == 1 ? 1 : 0;
}

QString NonCodeClass::GetCodeName(QByteArrayView bytes, bool checkBin)
{
    return JudgeCode(bytes, checkBin);
}

QStringList NonCodeClass::GetCodeNames(QByteArrayView bytes, bool checkBin)
{
    return JudgeCodes(bytes, checkBin);
}

QString NonCodeClass::BIN_To_VbUnicode(QByteArrayView bytes)
{
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    const qsizetype count = bytes.size();
    QString dump(66 * (count / 32) + 2 * (count % 32), Qt::Uninitialized);
    auto *out = reinterpret_cast<char16_t *>(dump.data());
    const auto *data = reinterpret_cast<const uchar *>(bytes.data());
    for (qsizetype index = 0; index < count; ++index) {
        *out++ = digits[data[index] >> 4];
        *out++ = digits[data[index] & 0x0F];
        if (index % 32 == 31) {
            *out++ = u'\r';
            *out++ = u'\n';
        }
    }
    return dump;
}

QString NonCodeClass::UNICODE_To_VbUnicode(QByteArrayView bytes)
{
    const bool bigEndian = bytes.startsWith(Utf16BeBom);
    const QByteArrayView body = bytes.startsWith(Utf16LeBom) || bigEndian ? bytes.sliced(Utf16LeBom.size()) : bytes;
    const qsizetype units = body.size() / 2;
    const bool oddByte = body.size() % 2 != 0;
    QString text(units + (oddByte ? 1 : 0), Qt::Uninitialized);
    if (units > 0 && bigEndian)
        qFromBigEndian<char16_t>(body.data(), units, text.data());
    else if (units > 0)
        qFromLittleEndian<char16_t>(body.data(), units, text.data());
    if (oddByte)
        text[units] = QChar(QChar::ReplacementCharacter);
    m_lastConversion = oddByte ? ConversionState::InvalidBytes : ConversionState::Clean;
    return text;
}

QByteArray NonCodeClass::VbUnicode_To_UNICODE(QStringView text, bool bomFlag)
{
    const qsizetype prefix = bomFlag ? Utf16LeBom.size() : 0;
    QByteArray bytes(prefix + text.size() * 2, Qt::Uninitialized);
    if (bomFlag)
        std::copy(Utf16LeBom.begin(), Utf16LeBom.end(), bytes.begin());
    if (!text.isEmpty())
        qToLittleEndian<char16_t>(text.utf16(), text.size(), bytes.data() + prefix);
    m_lastConversion = ConversionState::Clean;
    return bytes;
}

QString NonCodeClass::SJIS_To_VbUnicode(QByteArrayView bytes)
{
    return take(m_funcRogic == 1 ? WinDecodeSjis(bytes) : AdoDecodeSjis(bytes));
}

QByteArray NonCodeClass::VbUnicode_To_SJIS(QStringView text)
{
    return take(m_funcRogic == 1 ? WinEncodeSjis(text) : AdoEncodeSjis(text));
}

QString NonCodeClass::JIS_To_VbUnicode(QByteArrayView bytes)
{
    return take(m_funcRogic == 1 ? WinDecodeJis(bytes) : AdoDecodeJis(bytes));
}

QByteArray NonCodeClass::VbUnicode_To_JIS(QStringView text)
{
    return take(m_funcRogic == 1 ? WinEncodeJis(text) : AdoEncodeJis(text));
}

QString NonCodeClass::EUC_To_VbUnicode(QByteArrayView bytes)
{
    return take(m_funcRogic == 1 ? WinDecodeEuc(bytes) : AdoDecodeEuc(bytes));
}

QByteArray NonCodeClass::VbUnicode_To_EUC(QStringView text)
{
    return take(m_funcRogic == 1 ? WinEncodeEuc(text) : AdoEncodeEuc(text));
}

QString NonCodeClass::UTF7_To_VbUnicode(QByteArrayView bytes)
{
    return take(m_funcRogic == 1 ? WinDecodeUtf7(bytes) : AdoDecodeUtf7(bytes));
}

QByteArray NonCodeClass::VbUnicode_To_UTF7(QStringView text)
{
    return take(m_funcRogic == 1 ? WinEncodeUtf7(text) : AdoEncodeUtf7(text));
}

QString NonCodeClass::UTF8_To_VbUnicode(QByteArrayView bytes)
{
    const QByteArrayView body = bytes.startsWith(Utf8Bom) ? bytes.sliced(Utf8Bom.size()) : bytes;
    return take(m_funcRogic == 1 ? WinDecodeUtf8(body) : AdoDecodeUtf8(body));
}

QByteArray NonCodeClass::VbUnicode_To_UTF8(QStringView text, bool bomFlag)
{
    QByteArray bytes = take(m_funcRogic == 1 ? WinEncodeUtf8(text) : AdoEncodeUtf8(text));
    if (bomFlag && m_lastConversion != ConversionState::Failed)
        bytes.prepend(Utf8Bom);
    return bytes;
}

QString NonCodeClass::ToVbUnicode(const QString &code, QByteArrayView bytes)
{
    const qint16 kept = m_funcRogic;
    m_funcRogic = code == u"UTF7" ? 1 : 0;
    QString text;
    if (code == u"JIS")
        text = JIS_To_VbUnicode(bytes);
    else if (code == u"EUC")
        text = EUC_To_VbUnicode(bytes);
    else if (code == u"UNICODE")
        text = UNICODE_To_VbUnicode(bytes);
    else if (code == u"UTF7")
        text = UTF7_To_VbUnicode(bytes);
    else if (code == u"UTF8")
        text = UTF8_To_VbUnicode(bytes);
    else
        text = SJIS_To_VbUnicode(bytes);
    m_funcRogic = kept;
    return text;
}

QString NonCodeClass::ToVbUnicodeFirstClean(const QStringList &codes, QByteArrayView bytes, QString &code)
{
    code.clear();
    for (qsizetype index = 0; index < codes.size(); ++index) {
        if (!TriesCodeAt(codes, index))
            continue;
        QString text = ToVbUnicode(codes[index], bytes);
        if (lastConversionClean()) {
            code = codes[index];
            return text;
        }
    }
    return QString();
}

bool NonCodeClass::TriesCodeAt(const QStringList &codes, qsizetype index)
{
    // UTF-16 reads any even number of bytes: behind another code it would take a broken
    // text for a good one.
    return index == 0 || codes[index] != u"UNICODE";
}

QByteArray NonCodeClass::CutBOM(QByteArrayView bytes, QByteArrayView bom)
{
    if (bytes.startsWith(bom))
        return bytes.sliced(bom.size()).toByteArray();
    return bytes.toByteArray();
}

QByteArray NonCodeClass::AddBOM(QByteArrayView bytes, QByteArrayView bom)
{
    QByteArray marked;
    marked.reserve(bom.size() + bytes.size());
    marked.append(bom);
    marked.append(bytes);
    return marked;
}

QString NonCodeClass::CheckCrLf(QStringView text)
{
    if (text.contains(u"\r\n") || !text.contains(u'\n'))
        return QStringLiteral("\r\n");
    return QStringLiteral("\n");
}

QString NonCodeClass::ChangeCrLfToLf(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString NonCodeClass::ChangeLfToCrLf(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

QString NonCodeClass::ChangeLineEnds(QStringView text, QStringView lineEnd)
{
    const char16_t *in = text.utf16();
    const char16_t *const end = in + text.size();
    qsizetype lineEnds = 0;
    qsizetype pairs = 0;
    for (const char16_t *at = in; at != end; ++at) {
        if (*at == u'\r' || *at == u'\n') {
            ++lineEnds;
            if (*at == u'\r' && at + 1 != end && at[1] == u'\n') {
                ++pairs;
                ++at;
            }
        }
    }
    QString changed(text.size() - lineEnds - pairs + lineEnds * lineEnd.size(), Qt::Uninitialized);
    auto *out = reinterpret_cast<char16_t *>(changed.data());
    const char16_t *const ending = lineEnd.utf16();
    const qsizetype endingSize = lineEnd.size();
    while (in != end) {
        const char16_t *stop = in;
        while (stop != end && *stop != u'\r' && *stop != u'\n')
            ++stop;
        out = std::copy(in, stop, out);
        if (stop == end)
            break;
        out = std::copy(ending, ending + endingSize, out);
        in = stop + (*stop == u'\r' && stop + 1 != end && stop[1] == u'\n' ? 2 : 1);
    }
    return changed;
}

QString NonCodeClass::take(ConvertedText converted)
{
    m_lastConversion = converted.state;
    return std::move(converted.text);
}

QByteArray NonCodeClass::take(ConvertedBytes converted)
{
    m_lastConversion = converted.state;
    return std::move(converted.bytes);
}

} // namespace common
