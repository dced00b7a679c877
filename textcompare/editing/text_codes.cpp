#include "textcompare/editing/text_codes.h"

#include "common/code_conversion.h"
#include "common/non_code_class.h"

#include <QtEndian>

namespace textcompare {

const QStringList &WritableCodeNames()
{
    static const QStringList names{QStringLiteral("SJIS"),    QStringLiteral("JIS"),  QStringLiteral("EUC"),
                                   QStringLiteral("UNICODE"), QStringLiteral("UTF7"), QStringLiteral("UTF8")};
    return names;
}

QString WritableCode(const QString &code)
{
    return WritableCodeNames().contains(code) ? code : QStringLiteral("SJIS");
}

QByteArrayView ByteOrderMark(const QString &code, QByteArrayView bytes)
{
    using common::NonCodeClass;
    const QString name = WritableCode(code);
    if (name == u"UTF8" && bytes.startsWith(NonCodeClass::Utf8Bom))
        return NonCodeClass::Utf8Bom;
    if (name == u"UNICODE" && bytes.startsWith(NonCodeClass::Utf16LeBom))
        return NonCodeClass::Utf16LeBom;
    if (name == u"UNICODE" && bytes.startsWith(NonCodeClass::Utf16BeBom))
        return NonCodeClass::Utf16BeBom;
    return {};
}

std::optional<QByteArray> EncodeForFile(const QString &code, QStringView text, QByteArrayView mark)
{
    const QString name = WritableCode(code);
    QByteArray bytes;
    if (name == u"UNICODE" && mark == common::NonCodeClass::Utf16BeBom) {
        bytes.resize(text.size() * 2);
        if (!text.isEmpty())
            qToBigEndian<char16_t>(text.utf16(), text.size(), bytes.data());
        return bytes;
    }
    bool clean = false;
    bytes = common::EncodeText(name, text, clean);
    if (!clean)
        return std::nullopt;
    return bytes;
}

std::optional<QString> DecodeFromFile(const QString &code, QByteArrayView bytes)
{
    if (!WritableCodeNames().contains(code))
        return std::nullopt;
    common::NonCodeClass codes;
    QString text = codes.ToVbUnicode(code, bytes);
    if (!codes.lastConversionClean())
        return std::nullopt;
    return text;
}

} // namespace textcompare
