#include "platform/byte_text.h"

namespace platform {

namespace {

constexpr char16_t EscapeBase = 0xDC00;

// The length of the valid UTF-8 sequence at `at`, 0 when the byte there begins none.
qsizetype sequenceLength(QByteArrayView bytes, qsizetype at)
{
    const auto byte = [&](qsizetype index) { return static_cast<unsigned char>(bytes[index]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    qsizetype length;
    char32_t lowest;
    char32_t value;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        lowest = 0x80;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        lowest = 0x800;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        lowest = 0x10000;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (qsizetype index = at + 1; index < at + length; ++index) {
        if ((byte(index) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(index) & 0x3F);
    }
    if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

QString TextOfBytes(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    qsizetype runStart = 0;
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype length = sequenceLength(bytes, at);
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

} // namespace platform
