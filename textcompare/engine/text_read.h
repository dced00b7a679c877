#pragma once

#include "textcompare/engine/compact_text.h"
#include "textcompare/engine/diff_run.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>

namespace textcompare {

// Entries of the two code lists: 0 judges the code from the bytes, 7 shows the bytes as
// a hexadecimal dump.
namespace FileCodeIndex {
inline constexpr int Auto = 0;
inline constexpr int Sjis = 1;
inline constexpr int Jis = 2;
inline constexpr int Euc = 3;
inline constexpr int Unicode = 4;
inline constexpr int Utf7 = 5;
inline constexpr int Utf8 = 6;
inline constexpr int Bin = 7;
} // namespace FileCodeIndex

// "-------", "SJIS", "JIS", "EUC", "UNICODE", "UTF7", "UTF8", "BIN": the entries in order.
const QStringList &FileCodeNames();

// What reading looks at and changes of the window: the two path boxes, the two code
// lists (their indexes) and the code with which each side was last read.
struct TextSides
{
    std::array<QString, 2> paths;
    std::array<int, 2> codeList{};
    std::array<int, 2> readCodeIndex{};
};

// What a local file was like when it was read: its path, size and modification time. A
// later edit compares it with the file as it is then, so that a change that another
// program made in between is not silently overwritten.
struct FileStamp
{
    QString path;
    qint64 size = -1;
    QDateTime modified;

    // The stamp of the file `path` as it is now; a null stamp when it is no regular file.
    static FileStamp of(const QString &path);
    bool isNull() const { return size < 0; }

    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

// How the reading of one side ended.
enum class ReadOutcome {
    NoPath,   // the path box is empty: an empty text
    Read,     // the text was read (a file of 0 bytes gives an empty text)
    NotFound, // the file is missing: an empty text
    Failed,   // the file could not be opened, downloaded, read whole or decoded: an
              // empty text, never to be compared as the side's contents
};

struct SideText
{
    // A file whose bytes all lie below 0x80, read in a code that reads them as themselves,
    // is its own text: it is held as those bytes, one per character.
    CompactText text;
    ReadOutcome outcome = ReadOutcome::NoPath;
    // For NotFound and Failed, the message that told the user (or would have).
    QString message;
    // For a local file read as Read: the file as it was read (a downloaded address has
    // none).
    FileStamp stamp;
    // The text came through a document reader (Word, Excel), not from the file's bytes.
    bool document = false;
};

// What the reading of addresses and documents takes from the settings.
struct SourceSettings
{
    // Download targets of ftp:// and http:// sides, one per side.
    std::array<QString, 2> tempFilePaths;
    // Proxies "host:port"; an empty HTTP proxy means the environment's proxy variables.
    QString serverHttp;
    QString serverFtp;
    // Seconds without progress after which a download fails.
    int stallSeconds = 60;
    // The last worksheet row read, and the worksheet of each side, as texts of numbers.
    QString maxLine = QStringLiteral("1000");
    std::array<QString, 2> sheetNo{QStringLiteral("1"), QStringLiteral("1")};
};

struct TextReadContext
{
    // Extensions read as binary without looking at the bytes.
    QStringList binJdExt;
    // When false, a missing file is not reported in a box; failures always are.
    bool blnMsg = true;
    DiffRunFlags run;
    SourceSettings sources;
};

// Reads the text of side `index` as its path box and code list say: a local file decoded
// in the chosen code, or in the code judged from its bytes when the list is on automatic;
// "BIN" gives a hexadecimal dump. An ftp:// or http:// address (the scheme in any case)
// is first downloaded into the side's temporary file, which is then read as a local file;
// a download that fails is a failure of the side ("ＵＲＬが存在しません。" with the
// address, its password hidden, and the reason; where the temporary file could not be
// made or written, "ダウンロードしたファイルを置く一時ファイルを作成できません。" with its
// path and the system's reason). A Word document (".doc" always, ".docx"
// while this list is on automatic and the other not on "BIN") is read by RdWordValue and
// an Excel workbook (".xls", ".xlsx" alike) by RdExcelValue with the side's sheet number,
// the start cell "A1", MaxLine rows and 256 columns; the side's list then goes to
// automatic, and a document that cannot be read whole is a failure of the side, reported
// as a system error of its reader; the document's read lets window events run and stops
// when the cancel request is set, a failure then told to no one. Updates the side's code list and readCodeIndex; a side
// read as "BIN" also puts the other list on "BIN" when that one is on automatic, and an
// extension of the binary list puts both lists on "BIN" while list 0 is on automatic.
SideText TextRead(TextSides &sides, int index, const TextReadContext &context);

// Reads both sides for a comparison. Both codes are decided before either side is
// decoded, and when either side is "BIN" both are dumped, so that a text is never
// compared with the other side's dump.
std::array<SideText, 2> ReadBothTexts(TextSides &sides, const TextReadContext &context);

// The hexadecimal dump of `bytes`: two upper-case digits per byte, CR LF after every 32nd
// byte, held one byte per character. Stops at the next line of 32 bytes when the cancel
// request is set and returns the lines made so far.
CompactText BIN_To_VbUnicode(QByteArrayView bytes, const DiffRunFlags &run);

} // namespace textcompare
