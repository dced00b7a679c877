#include "platform/byte_text.h"

namespace platform {

namespace {

constexpr char16_t EscapeBase = 0xDC00;

} // namespace

qsizetype Utf8SequenceLength(QByteArrayView bytes)
{
    const auto byte = [&bytes](qsizetype at) { return static_cast<unsigned char>(bytes[at]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    qsizetype length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (bytes.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (qsizetype at = 2; at < length; ++at) {
        if (byte(at) < 0x80 || byte(at) > 0xBF)
            return 0;
    }
    return length;
}

QString TextOfBytes(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    qsizetype runStart = 0;
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype length = Utf8SequenceLength(bytes.sliced(at));
        if (length > 0) {
            at += length;
            continue;
        }
        text += QString::fromUtf8(bytes.sliced(runStart, at - runStart));
        text += QChar(char16_t(EscapeBase + static_cast<unsigned char>(bytes[at])));
        runStart = ++at;
    }
    text += QString::fromUtf8(bytes.sliced(runStart));
    return text;
}

QByteArray BytesOfText(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    qsizetype runStart = 0;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const char16_t unit = text[at].unicode();
        const bool escaped = unit >= EscapeBase + 0x80 && unit <= EscapeBase + 0xFF
                             && (at == 0 || !text[at - 1].isHighSurrogate());
        if (!escaped)
            continue;
        bytes += text.sliced(runStart, at - runStart).toUtf8();
        bytes += char(unit - EscapeBase);
        runStart = at + 1;
    }
    bytes += text.sliced(runStart).toUtf8();
    return bytes;
}

bool IsDecimalNumber(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 18)
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

} // namespace platform
