#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

namespace platform {

// The byte codes that the C library's iconv converts for us, each to and from UTF-16.
// Cp932 is Shift-JIS with the NEC and IBM extensions ("CP932"). EucJp is EUC-JP as the
// system reads it ("EUC-JP", whose JIS table reads A1C1 as "〜" where Windows reads "～"),
// and where that has no character, EUC-JP with the NEC and IBM extensions ("EUC-JP-MS"):
// bytes that only the Windows table reads are read by it, and a character that only it
// holds ("～" as a double-byte character, "－", "∥", "￢", the extensions) is written with
// its bytes, so that every text that EUC-JP-MS converts still converts.
enum class CodePage { Cp932, EucJp, Utf7, Utf8 };

// How a conversion went.
enum class CodeResult {
    Clean,       // every byte or character was converted
    Replaced,    // decoding: bytes that are not valid in the code became U+FFFD;
                 // encoding: characters without a form in the code became "?"
    Unavailable, // the C library has no converter for the code; the result is empty
};

struct DecodedText
{
    QString text;
    CodeResult result = CodeResult::Clean;
};

struct EncodedBytes
{
    QByteArray bytes;
    CodeResult result = CodeResult::Clean;
};

// The iconv name of a code page ("CP932", "EUC-JP", "UTF-7", "UTF-8"); EucJp also takes
// what "EUC-JP" lacks from "EUC-JP-MS".
const char *iconvName(CodePage codePage);

// Decodes `bytes` into text. Each byte that does not start a valid sequence, and a
// sequence cut off by the end of the bytes, becomes one U+FFFD and the result is
// Replaced; decoding goes on behind it. Never reads outside `bytes`. CP932 and EUC-JP
// decode through tables that iconv fills at the first use (a few milliseconds), because
// a table lookup is several times faster than iconv for these codes.
DecodedText decodeBytes(CodePage codePage, QByteArrayView bytes);

// Whether decodeBytes would read every one of `bytes` in the code page CP932 or EUC-JP
// (Clean); stops at the first byte that it could not. False for the other code pages and
// when the C library lacks the code.
bool readsEveryByte(CodePage codePage, QByteArrayView bytes);

// Appends the decoding of `bytes` to `text` (as decodeBytes) and returns how it went.
// On Unavailable `text` is left as it was.
CodeResult appendDecoded(CodePage codePage, QByteArrayView bytes, QString &text);

// Encodes `text`. A character without a form in the code (and a lone surrogate) becomes
// one "?" and the result is Replaced. UTF-7 closes every base64 run with "-".
EncodedBytes encodeText(CodePage codePage, QStringView text);

// True when the single UTF-16 unit `unit` has a form in code page 932 other than "?".
// Surrogates alone and "?" itself are false. The answer comes from a table that is built
// through iconv at the first call.
bool hasCp932Form(char16_t unit);

// True when the single UTF-16 unit `unit` has a code page 932 form that reads back as the
// unit itself. The C library's CP932 converter writes some characters by the bytes of a
// look-alike ("¢" as those of "￠", "〜" as those of "～"); these have a form but no exact
// one, and a file that must name them truly (a report) cannot write them in CP932.
bool hasExactCp932Form(char16_t unit);

// What the C library's iconv code `name` makes of each of `sequences` alone, from its
// initial state: the one UTF-16 unit that it gives, or 0 where it refuses the sequence or
// gives no unit or more than one. All 0 when the C library has no such code.
QList<char16_t> iconvCharacters(const char *name, const QList<QByteArray> &sequences);

// The row (1 to 120) of the double-byte code page 932 form of the single UTF-16 unit
// `unit`, as JIS X 0208 counts its rows: 1 and 2 symbols, 3 digits and Latin letters, 4
// hiragana, 5 katakana, 6 Greek, 7 Cyrillic, 16 to 47 the level-1 kanji, 48 to 84 the
// level-2 kanji, and beyond them the NEC and IBM extensions. 0 for a unit without a
// double-byte form.
int cp932Row(char16_t unit);

// The cell (1 to 94) of that form in its row; 0 for a unit without a double-byte form.
int cp932Cell(char16_t unit);

// Bytes that the single UTF-16 unit `unit` takes in code page 932: 2 for a double-byte
// character, 1 for every other unit (a unit without a form is written as the one byte "?").
int cp932ByteCount(char16_t unit);

} // namespace platform
