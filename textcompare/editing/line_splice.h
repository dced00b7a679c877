#pragma once

#include "textcompare/engine/compact_text.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace textcompare {

// How the line commands of the viewer work out the new contents of a compared file. The
// display table numbers the lines of each side; a command names a range of its rows. The
// lines of the file before the range and after it are kept, those inside are replaced by
// the command's lines.

// A line break: CR LF, a lone CR or a lone LF.
enum class LineBreak { CrLf, Cr, Lf };
QString LineBreakText(LineBreak lineBreak);

// Where an edit lands in the file: the kept lines before it end with line `before` (0: no
// line is kept before it), the kept lines after it begin with line `after` (0: none).
struct EditRange
{
    int before = 0;
    int after = 0;

    friend bool operator==(const EditRange &, const EditRange &) = default;
};

// The range of an edit of the rows startRow..endRow. `lineAt(row)` is the side's line
// number on a row of the display table, 0 where the side has no line; rows run from
// `firstRow` (the first data row) to `lastRow` (the table's last row, also where the grid
// shows fewer). `mode` 0 replaces the lines of the rows; a negative mode inserts above
// them, a positive one below them.
//
// A range whose rows hold a line starts behind the line before the first of them and ends
// before the line after the last; a row without a line takes the nearest line above
// (for the start) or below (for the end) as it is. An insert above goes right before the
// range's first line. An insert below goes right before the first line below the range;
// when no row from the range's end downwards holds a line, it goes behind the last line
// at or above the range's end, that is, behind the file's last line.
EditRange FindEditRange(const std::function<int(int row)> &lineAt, int startRow, int endRow, int firstRow, int lastRow,
                        int mode);

// The lines that an edit puts in place of its range.
class EditLines
{
public:
    enum class Kind { Delete, Copy, Change, Insert };

    // No lines: the range's lines are deleted ("行削除").
    static EditLines deletion();
    // The lines copied from the other side ("コピー"); none removes the range's lines.
    static EditLines copy(const QStringList &lines);
    // One changed line ("行変更").
    static EditLines change(const QString &line);
    // `count` copies of `line` ("行挿入").
    static EditLines insertion(const QString &line, int count);

    Kind kind() const { return m_kind; }
    // The name of the operation in the confirmation: "行削除", "コピー", "行変更", "行挿入".
    QString operationName() const;
    // The new lines, each followed by `lineBreak`.
    QString blockText(LineBreak lineBreak) const;

private:
    EditLines(Kind kind, QStringList lines, int count) : m_kind(kind), m_lines(std::move(lines)), m_count(count) {}

    Kind m_kind;
    QStringList m_lines;
    int m_count;
};

// Where the kept parts of a text lie around an edit, in code units of the text.
struct SplicePoints
{
    // Units 0..prefixEnd - 1 are kept before the new lines: the text up to and including
    // the break that ends line `before`.
    qsizetype prefixEnd = 0;
    // Units from suffixStart on are kept after the new lines: the text from line `after`.
    qsizetype suffixStart = 0;
    // The break of the new lines: that of the break that ends line `after` - 1, else the
    // text's last break, else CR LF.
    LineBreak lineEnd = LineBreak::CrLf;
    // Line `before` is the text's last line and has no break: new lines after it need one
    // in front of them.
    bool breakBeforeLines = false;

    friend bool operator==(const SplicePoints &, const SplicePoints &) = default;
};

// Line k of the text ends with its k-th break (CR LF, a lone CR or a lone LF); text after
// the last break is a last line without a break.
SplicePoints FindSplicePoints(const char16_t *units, qsizetype size, const EditRange &range);
SplicePoints FindSplicePoints(const uchar *units, qsizetype size, const EditRange &range);

// FindSplicePoints for a text that arrives in pieces, such as a file read a block at a
// time: feed() the pieces in order while needsMore(), then finish() if the text ended
// before. The walk stops as soon as it has passed the breaks it needs, so that the rest
// of a large file is not read for it.
template <typename Unit>
class SpliceScanner
{
public:
    explicit SpliceScanner(const EditRange &range);

    void feed(const Unit *units, qsizetype size);
    // The text has ended: a CR waiting for its next unit is a lone CR.
    void finish();
    bool needsMore() const { return m_pendingCr || m_line < m_lastNeeded; }
    // Whether points() needs the kind of the text's last break: the walk stopped before
    // the end without passing the break that ends line after - 1.
    bool needsLastBreak() const;
    // The points of the text of `size` units; `textLastBreak` is the kind of its last
    // break (nullopt when it has none) where needsLastBreak().
    SplicePoints points(qsizetype size, std::optional<LineBreak> textLastBreak) const;

private:
    void passBreak(qsizetype breakEnd, LineBreak kind);

    EditRange m_range;
    int m_stopLine;
    int m_lastNeeded;
    int m_line = 0;
    qsizetype m_fed = 0;
    bool m_pendingCr = false;
    bool m_endsInBreak = false;
    bool m_walkedAll = false;
    std::optional<qsizetype> m_prefixEnd;
    std::optional<qsizetype> m_stopEnd;
    LineBreak m_stopKind = LineBreak::CrLf;
    std::optional<LineBreak> m_lastKind;
};

// The text that an edit puts between the kept parts: the new lines, each with the break
// of the points, behind a break for a last line that has none.
QString NewLinesText(const SplicePoints &points, const EditLines &lines);

// Whether a file in `code` is edited as bytes: in Shift-JIS, EUC and UTF-8 a CR or LF
// byte is always a line break, never part of a character.
bool EditedAsBytes(const QString &code);

// The new contents of an edited file, or why they cannot be made: the new bytes between
// the kept bytes before and after them, which are parts of the bytes that the file was
// made from (and live only as long as those), so that a large file is not copied once
// more in memory.
struct EditedContents
{
    QByteArrayView before;
    QByteArray bytes;
    QByteArrayView after;
    // Empty when the contents are made.
    QString refusal;

    QList<QByteArrayView> pieces() const { return {before, bytes, after}; }
    QByteArray joined() const;
};

// The file's bytes, as read in `code`, with the edit applied: the kept lines keep their
// bytes as they are, a byte-order mark at the start (ByteOrderMark) included, and the new
// lines are written in `code` (WritableCode of it; UTF-16 in the mark's byte order).
// Shift-JIS, EUC and UTF-8 are edited as bytes; UNICODE, JIS and UTF-7 through their
// text, which gives UTF-16 back unit for unit. Refused when the bytes are not valid in
// `code` or a new character has no form in it.
EditedContents SpliceFileBytes(QByteArrayView fileBytes, const QString &code, const EditRange &range,
                               const EditLines &lines);

// The same edit applied to `text`, the file's text as a comparison read it, and the
// whole written in `code` behind `mark`, the byte-order mark that the file keeps (see
// EncodeForFile; `mark` must outlive the result). Refused when a character has no form
// in `code`.
EditedContents SpliceText(const CompactText &text, const QString &code, const EditRange &range,
                          const EditLines &lines, QByteArrayView mark = {});

} // namespace textcompare
