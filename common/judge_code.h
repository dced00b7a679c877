#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace common {

// Character-code judging (module modJUDG). Seven scorers walk the same bytes; each adds
// points for byte patterns typical of its code (and two subtract points for patterns
// that break theirs). A score is points × 100 / (window size × 2): one point per byte
// gives 50, two points per byte 100. No byte-order mark, file name or setting counts in a
// score; JudgeCode alone takes a UTF-16 mark first.
//
// The window is the first JudgeWindowSize bytes (all bytes when there are fewer). A
// multi-byte sequence that starts inside the window may take its remaining bytes from
// behind it. Every scorer gives 0 for an empty array.

inline constexpr qsizetype JudgeWindowSize = 100000;

// Returns "SJIS", "JIS", "EUC", "UNICODE", "UTF7", "UTF8" or "BIN": the code with the
// highest score, ties going to the earlier name in the order SJIS, UNICODE, JIS, UTF7,
// UTF8, EUC, BIN. "BIN" is scored only when `checkBin` is true, so it comes back only
// then and only with a score strictly above all six text codes. An empty array, where
// every score is 0, gives "SJIS". Bytes that start with a UTF-16 byte-order mark (FF FE
// or FE FF) give "UNICODE" without scoring: the mark decides the code, and the readers of
// "UNICODE" take the byte order from it.
//
// Two rules stand above the scores. Unless the answer is "BIN", bytes that are UTF-8
// throughout (all of `bytes`, not only the window; a sequence cut off by their end counts)
// and hold a multi-byte sequence give "UTF8": a caller with the whole text passes it
// whole. Only where Shift-JIS or EUC also reads every one of them (short texts, mostly)
// and no UTF-8 byte-order mark starts them do the readings decide: the code whose reading
// of the window looks most like text (TextLikeness) is the answer; UTF-8 on a tie, and
// where no reading looks like text unless another is clearly likelier. "UTF7" needs at
// least one closed encoded run ("+" and base64 bytes up to "-"); without one its score
// counts as 0, as "+-" alone is the plus sign of an ASCII text.
QString JudgeCode(QByteArrayView bytes, bool checkBin);

// The codes in the judge's order of preference, the first being JudgeCode's answer: "BIN"
// alone when that is the answer, "UNICODE" alone behind a UTF-16 byte-order mark,
// otherwise the six text codes by score, the highest first, equal scores in the tie
// order. A reader whose first code does not decode the bytes takes the next one that does.
QStringList JudgeCodes(QByteArrayView bytes, bool checkBin);

// JudgeCodes with a word on how sure the first code is.
struct CodeJudgement
{
    QStringList codes;
    // Where in doubt, the two codes: the one that a reader takes, then the other; empty
    // otherwise.
    QStringList codesInDoubt;
    // Bytes that two codes each read whole, where the first code's reading is not clearly
    // the text: bytes that UTF-8 and Shift-JIS or EUC read, where the likeliest reading
    // looks like no text or another looks nearly as much like one; bytes that Shift-JIS
    // and EUC both read, judged one of them, where the other's reading (half-width
    // katakana weighed by their spelling) looks nearly as much like text, or more. The
    // first code is then the judge's best guess, no more.
    bool inDoubt() const { return !codesInDoubt.isEmpty(); }
};
CodeJudgement JudgeText(QByteArrayView bytes, bool checkBin);

// The scorers, each returning its score over the window of `bytes`.
double ScoreSjis(QByteArrayView bytes);
double ScoreJis(QByteArrayView bytes);
double ScoreEuc(QByteArrayView bytes);
double ScoreUnicode(QByteArrayView bytes);
double ScoreUtf7(QByteArrayView bytes);
double ScoreUtf8(QByteArrayView bytes);
double ScoreBinary(QByteArrayView bytes);

// Points (not a score) of the UTF-16 little-endian unit at `position`: 0 when the unit
// has no code page 932 form (or is "?"), 1 to 2 when it looks like two single-byte
// characters, 4 for other characters, 1 for a control character other than TAB, CR, LF
// and form feed. 0 when the unit does not lie wholly inside `bytes`.
double ScoreUnicodeChar(QByteArrayView bytes, qsizetype position);

} // namespace common
