#pragma once

#include <QStringView>

namespace common {

// How much a decoded text looks like text that someone wrote, for telling apart readings
// of the same bytes in two codes: a sum over its characters that are not ASCII, higher for
// a likelier text, about 0 for characters that tell nothing.
//
// Counted for: kana, level-1 kanji of JIS X 0208 and full-width punctuation, more so in
// runs of kanji; Latin, Greek and Cyrillic letters within words, above all accented
// letters among ASCII words; a Greek letter alone among ASCII words (a symbol); quotes,
// dashes and other punctuation of typesetting; letters of any other alphabet within words
// of that alphabet; Hangul in runs; a combining mark behind a letter. Counted against:
// level-2 kanji and ideographs that JIS X 0208 does not hold, two neighbouring kanji of
// one JIS row within its first 31 cells (which the bytes of a UTF-8 alphabet make in EUC),
// a kanji or kana beside an ASCII letter or beside one of @[\]^_`{|}~ (which the trail
// bytes of Shift-JIS make), a kanji alone among ASCII words, half-width katakana, rare
// letters (most of Latin Extended-B, IPA, modifier letters, old Cyrillic, Coptic), a
// letter of an alphabet alone, letters of two alphabets side by side, a capital behind a
// small letter, a combining mark behind no letter, control characters, private use and
// unassigned code points.
//
// Which codes' readings of the same bytes are weighed against each other: some bytes tell
// one reading from another in one pair of codes and not in the other.
enum class Weighing {
    // UTF-8 against Shift-JIS and EUC, as above.
    Utf8AgainstLegacy,
    // Shift-JIS against EUC. Half-width katakana count by their spelling: for a text where
    // a katakana word may have them where they stand (ﾌｧｲﾙ, ﾃﾞｨｽｸ), against it where none
    // may (ｱﾞ, ﾏｬ, ｰﾃ; the bytes of EUC kanji make them). Two neighbouring kanji of one JIS
    // row count against a text in any cell: EUC half-width katakana read as Shift-JIS make
    // kanji of row 24 alone.
    ShiftJisAgainstEuc,
};
double TextLikeness(QStringView text, Weighing weighing = Weighing::Utf8AgainstLegacy);

} // namespace common
