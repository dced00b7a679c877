#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace platform {

// The length of the valid UTF-8 sequence at the start of `bytes`, 0 when there is none
// (a stray, overlong, surrogate or cut sequence).
qsizetype Utf8SequenceLength(QByteArrayView bytes);

// Text that keeps the bytes it was made of, for names and paths that the disk or a
// settings file holds as bytes: valid UTF-8 reads as its characters, and every byte that
// is not part of valid UTF-8 as the lone surrogate U+DC80 + (byte - 0x80), which no valid
// UTF-8 gives. BytesOfText(TextOfBytes(bytes)) == bytes for any bytes.
QString TextOfBytes(QByteArrayView bytes);
// The bytes of `text`: UTF-8, with the lone surrogates U+DC80 to U+DCFF as the bytes
// 0x80 to 0xFF (other lone surrogates, which no bytes give, as "?").
QByteArray BytesOfText(QStringView text);

// Whether `text` is a decimal number of 1 to 18 digits (no sign, no blank), so that it
// fits a 64-bit integer.
bool IsDecimalNumber(QByteArrayView text);

} // namespace platform
