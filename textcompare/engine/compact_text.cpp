#include "textcompare/engine/compact_text.h"

#include <QLatin1StringView>

#include <algorithm>
#include <cstring>

namespace textcompare {

CompactText CompactText::fromLatin1(const QByteArray &latin1)
{
    CompactText text;
    text.m_latin1 = latin1;
    text.m_isLatin1 = true;
    return text;
}

CompactText CompactText::narrowed(const QString &text)
{
    const char16_t *const units = reinterpret_cast<const char16_t *>(text.constData());
    if (std::any_of(units, units + text.size(), [](char16_t unit) { return unit > 0xFF; }))
        return CompactText(text);
    return fromLatin1(text.toLatin1());
}

QAnyStringView CompactText::view(qsizetype position, qsizetype length) const
{
    if (m_isLatin1)
        return QLatin1StringView(m_latin1.constData() + position, length);
    return QStringView(m_utf16).mid(position, length);
}

QString CompactText::toString() const
{
    return m_isLatin1 ? QString::fromLatin1(m_latin1) : m_utf16;
}

bool IsAscii(QByteArrayView bytes)
{
    const char *at = bytes.data();
    const char *const end = at + bytes.size();
    // Eight bytes per step: a byte at or above 0x80 sets its top bit.
    quint64 high = 0;
    for (; end - at >= 8; at += 8) {
        quint64 word;
        std::memcpy(&word, at, sizeof word);
        high |= word;
    }
    for (; at < end; ++at)
        high |= quint8(*at);
    return (high & 0x8080808080808080ull) == 0;
}

} // namespace textcompare
