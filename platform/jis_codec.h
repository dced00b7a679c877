#pragma once

#include "platform/code_page.h"

namespace platform {

// ISO-2022-JP as the system's iconv reads and writes it ("ISO-2022-JP": the JIS table,
// where 0x2141 is "〜"), with what code page 50221 adds: half-width katakana and, from
// CP932, the NEC row 13 and the NEC-selected IBM extensions where the JIS table has no
// character. A character that only CP932 holds ("～", "－", "∥", "￢", the extensions)
// is written with CP932's position, so every text that CP932 converts still converts.
//
// Escapes written: ESC $ B before double-byte characters, ESC ( I before half-width
// katakana, ESC ( J before "¥" and "‾" (JIS X 0201 Roman, kept for the graphic characters
// that it shares with ASCII), ESC ( B before other ASCII and at the end of a text that
// does not end in ASCII. Decoding also accepts ESC $ @ (double-byte).

// Decodes JIS bytes. An escape that is not one of the above, a byte of 0x80 or above, a
// double-byte character cut off or without a form in either table, and a katakana-mode
// byte outside 0x21 to 0x5F each become U+FFFD and the result is Replaced. Control bytes
// and the space stand for themselves in every mode.
DecodedText decodeJis(QByteArrayView bytes);

// Encodes text as JIS. A character without a form in CP932 (but "¥" and "‾"), and one of
// the user-defined area (which has no JIS form), becomes "?" and the result is Replaced.
// The IBM extensions are written by their NEC-selected twins. The output has no size
// limit per character.
EncodedBytes encodeJis(QStringView text);

} // namespace platform
