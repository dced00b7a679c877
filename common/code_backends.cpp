#include "common/code_backends.h"

#include "common/common_module.h"
#include "platform/code_page.h"
#include "platform/jis_codec.h"
#include "platform/user_dialogs.h"

#include <optional>

namespace common {

namespace {

// The codes that both back ends can name; Jis goes through our own layer.
enum class Code { Sjis, Jis, Euc, Utf7, Utf8 };

ConversionState stateOf(platform::CodeResult result, ConversionState replaced)
{
    switch (result) {
    case platform::CodeResult::Clean:
        return ConversionState::Clean;
    case platform::CodeResult::Replaced:
        return replaced;
    case platform::CodeResult::Unavailable:
        break;
    }
    return ConversionState::Failed;
}

// The iconv code page of every code but Jis.
platform::CodePage codePageOf(Code code)
{
    switch (code) {
    case Code::Euc:
        return platform::CodePage::EucJp;
    case Code::Utf7:
        return platform::CodePage::Utf7;
    case Code::Utf8:
        return platform::CodePage::Utf8;
    case Code::Sjis:
    case Code::Jis:
        break;
    }
    return platform::CodePage::Cp932;
}

ConvertedBytes encode(Code code, QStringView text)
{
    platform::EncodedBytes encoded =
        code == Code::Jis ? platform::encodeJis(text) : platform::encodeText(codePageOf(code), text);
    return {std::move(encoded.bytes), stateOf(encoded.result, ConversionState::Unrepresentable)};
}

ConvertedText decode(Code code, QByteArrayView bytes)
{
    platform::DecodedText decoded =
        code == Code::Jis ? platform::decodeJis(bytes) : platform::decodeBytes(codePageOf(code), bytes);
    return {std::move(decoded.text), stateOf(decoded.result, ConversionState::InvalidBytes)};
}

std::optional<Code> codeOfCharset(const QString &charset)
{
    const QString name = charset.toUpper();
    if (name == u"SHIFT_JIS")
        return Code::Sjis;
    if (name == u"ISO-2022-JP")
        return Code::Jis;
    if (name == u"EUC-JP")
        return Code::Euc;
    if (name == u"UTF-7")
        return Code::Utf7;
    if (name == u"UTF-8")
        return Code::Utf8;
    return std::nullopt;
}

std::optional<Code> codeOfCodePage(int codePage)
{
    switch (codePage) {
    case 932:
        return Code::Sjis;
    case 50221:
        return Code::Jis;
    case 65000:
        return Code::Utf7;
    case 65001:
        return Code::Utf8;
    default:
        return std::nullopt;
    }
}

// The code-page back end's one message: a box, or standard error in a batch run.
void refuseEuc()
{
    ShowMsg(QStringLiteral("EUCはサポートされていません"),
            platform::MessageStyle::OkOnly | platform::MessageStyle::IconCritical);
}

} // namespace

ConvertedBytes AdoStringToBytes(const QString &charset, QStringView text)
{
    const auto code = codeOfCharset(charset);
    if (!code)
        return {QByteArray(), ConversionState::Failed};
    return encode(*code, text);
}

ConvertedText AdoBytesToString(const QString &charset, QByteArrayView bytes)
{
    const auto code = codeOfCharset(charset);
    if (!code)
        return {QString(), ConversionState::Failed};
    return decode(*code, bytes);
}

ConvertedBytes AdoEncodeSjis(QStringView text) { return AdoStringToBytes(QStringLiteral("Shift_JIS"), text); }
ConvertedBytes AdoEncodeJis(QStringView text) { return AdoStringToBytes(QStringLiteral("ISO-2022-JP"), text); }
ConvertedBytes AdoEncodeEuc(QStringView text) { return AdoStringToBytes(QStringLiteral("EUC-JP"), text); }
ConvertedBytes AdoEncodeUtf7(QStringView text) { return AdoStringToBytes(QStringLiteral("UTF-7"), text); }
ConvertedBytes AdoEncodeUtf8(QStringView text) { return AdoStringToBytes(QStringLiteral("UTF-8"), text); }
ConvertedText AdoDecodeSjis(QByteArrayView bytes) { return AdoBytesToString(QStringLiteral("Shift_JIS"), bytes); }
ConvertedText AdoDecodeJis(QByteArrayView bytes) { return AdoBytesToString(QStringLiteral("ISO-2022-JP"), bytes); }
ConvertedText AdoDecodeEuc(QByteArrayView bytes) { return AdoBytesToString(QStringLiteral("EUC-JP"), bytes); }
ConvertedText AdoDecodeUtf7(QByteArrayView bytes) { return AdoBytesToString(QStringLiteral("UTF-7"), bytes); }
ConvertedText AdoDecodeUtf8(QByteArrayView bytes) { return AdoBytesToString(QStringLiteral("UTF-8"), bytes); }

ConvertedBytes WideToMulti(int codePage, QStringView text)
{
    const auto code = codeOfCodePage(codePage);
    if (!code)
        return {QByteArray(), ConversionState::Failed};
    return encode(*code, text);
}

ConvertedText MultiToWide(int codePage, QByteArrayView bytes)
{
    const auto code = codeOfCodePage(codePage);
    if (!code)
        return {QString(), ConversionState::Failed};
    return decode(*code, bytes);
}

ConvertedBytes WinEncodeSjis(QStringView text) { return WideToMulti(932, text); }
ConvertedBytes WinEncodeJis(QStringView text) { return WideToMulti(50221, text); }
ConvertedBytes WinEncodeUtf7(QStringView text) { return WideToMulti(65000, text); }
ConvertedBytes WinEncodeUtf8(QStringView text) { return WideToMulti(65001, text); }
ConvertedText WinDecodeSjis(QByteArrayView bytes) { return MultiToWide(932, bytes); }
ConvertedText WinDecodeJis(QByteArrayView bytes) { return MultiToWide(50221, bytes); }
ConvertedText WinDecodeUtf7(QByteArrayView bytes) { return MultiToWide(65000, bytes); }
ConvertedText WinDecodeUtf8(QByteArrayView bytes) { return MultiToWide(65001, bytes); }

ConvertedBytes WinEncodeEuc(QStringView)
{
    refuseEuc();
    return {QByteArray(), ConversionState::Refused};
}

ConvertedText WinDecodeEuc(QByteArrayView)
{
    refuseEuc();
    return {QString(), ConversionState::Refused};
}

} // namespace common
