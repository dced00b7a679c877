#pragma once

#include "platform/code_page.h"

namespace platform {

// ISO-2022-JP as code page 50221 writes it, built over CP932 because the C library's
// ISO-2022-JP has no half-width katakana and none of the NEC and IBM extensions.
//
// Escapes written: ESC $ B before double-byte characters (JIS X 0208 with the NEC row 13
// and the NEC-selected IBM extensions), ESC ( I before half-width katakana, ESC ( B before
// ASCII and at the end of a text that does not end in ASCII. Decoding also accepts
// ESC $ @ (double-byte) and ESC ( J (read as ASCII).

// Decodes JIS bytes. An escape that is not one of the above, a byte of 0x80 or above, a
// double-byte character cut off or without a form in CP932, and a katakana-mode byte
// outside 0x21 to 0x5F each become U+FFFD and the result is Replaced. Control bytes and
// the space stand for themselves in every mode.
DecodedText decodeJis(QByteArrayView bytes);

// Encodes text as JIS. A character without a form in CP932, and one of the user-defined
// area (which has no JIS form), becomes "?" and the result is Replaced. The IBM
// extensions are written by their NEC-selected twins. The output has no size limit per
// character.
EncodedBytes encodeJis(QStringView text);

} // namespace platform
