#include "textcompare/editing/code_conversion.h"

#include "common/non_code_class.h"
#include "textcompare/editing/text_codes.h"

#include <optional>

namespace textcompare {

QString PresetLineEnd(QStringView text)
{
    const bool cr = text.contains(u'\r');
    const bool lf = text.contains(u'\n');
    if (cr && !lf)
        return QStringLiteral("\r");
    if (lf && !cr)
        return QStringLiteral("\n");
    return QStringLiteral("\r\n");
}

EditedContents ConvertFileCode(QByteArrayView bytes, const QString &fromCode, const QString &toCode,
                               const QString &lineEnd)
{
    if (!WritableCodeNames().contains(fromCode))
        return {{}, {}, {}, QStringLiteral("変換できない文字コードです : ") + fromCode};
    if (!WritableCodeNames().contains(toCode))
        return {{}, {}, {}, QStringLiteral("変換できない文字コードです : ") + toCode};
    std::optional<QString> text = DecodeFromFile(fromCode, bytes);
    if (!text)
        return {{}, {}, {}, QStringLiteral("変換前の文字コード(%1)で読めないデータがあります").arg(fromCode)};
    const std::optional<QByteArray> converted = EncodeForFile(toCode, common::NonCodeClass::ChangeLineEnds(*text, lineEnd));
    if (!converted)
        return {{}, {}, {}, QStringLiteral("変換後の文字コード(%1)で表せない文字があります").arg(toCode)};
    return {{}, *converted, {}, {}};
}

} // namespace textcompare
