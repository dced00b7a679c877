#pragma once

#include "common/non_code_class.h"
#include "foldercompare/listing/listing_compare.h"
#include "foldercompare/listing/work_host.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <utility>
#include <vector>

namespace foldercompare::listing {

// The options of the content comparison, read at each use.
struct ContentOptions
{
    // Two text files whose bytes differ count as equal when their decoded texts are
    // equal once line ends are made alike (TextCrlfNone).
    bool textCrlfNone = false;
    // The code names of compared files are wanted for display (TextCodeDsp).
    bool textCodeDsp = false;
    // Extensions whose files are always "BIN" (BinJdExt).
    QStringList binJdExt;
};

// Compares the contents of files and folder trees for the merge, and judges character
// codes. A pair is "equal" only when the comparison ran to its end: a file that cannot
// be opened or read, an unreadable folder, a text that no code reads cleanly, or an abort
// during the comparison makes the pair differ. Files and folders that could not be
// opened or read are noted, so that the user can be told which pairs differ only for
// that reason.
class ContentComparer : public ContentCheck
{
public:
    // Bytes compared per step.
    static constexpr qint64 BlockSize = 102400;
    // Bytes of a file that code judging looks at.
    static constexpr qint64 JudgeSampleSize = 100000;

    ContentComparer(ContentOptions options, WorkHost &host);

    // The code name of one file: "BIN" for an empty, missing or unreadable file,
    // otherwise the code it is read in (codeReadIn), judged whole up to WholeJudgeLimit
    // bytes.
    QString GetFileCode(const QString &path) override;

    // "BIN" when the path ends with "." and an entry of binJdExt (any letter case);
    // otherwise JudgeCode of `bytes`, "BIN" among its answers.
    QString JudgeFileCode(const QString &path, QByteArrayView bytes) const;
    // The same as a list in the judge's order of preference (JudgeCodes): "BIN" alone, or
    // the judged code first and the other text codes behind it.
    QStringList JudgeFileCodes(const QString &path, QByteArrayView bytes) const;

    // The byte comparison of two files.
    struct FileData
    {
        qint64 size1 = -1; // -1: not an existing file
        qint64 size2 = -1;
        QByteArray firstBlock1;
        QByteArray firstBlock2;
        bool equal = false;
        // The comparison could not finish (unreadable file, abort): the pair differs,
        // and no text comparison may overrule that.
        bool unfinished = false;
    };
    // Equal without reading for one path given twice; different without reading when a
    // file is missing, or when the sizes differ and neither option is on. Otherwise both
    // files are read block by block (the first block of each is kept for judging) until
    // the end, the first difference, or a size difference.
    FileData CompareFileData(const QString &path1, const QString &path2);

    // CompareFileData, then code judging from the first blocks when the options ask for
    // it, then, with textCrlfNone, the comparison of the decoded texts with CR LF and CR
    // made LF when the bytes differ and both files are non-empty text. Each text is read
    // in the first code of JudgeFileCodes that reads every byte. With textCodeDsp, each
    // code shown is the one its file is read in: the text comparison's where it read the
    // file, else codeReadIn's. Each file is read whole and judged whole once at most.
    FileResult CheckFileUpd(const QString &path1, const QString &path2) override;

    // True when a like-named file pair directly in the folders, or in like-named
    // subfolders at any depth, differs (CheckFileUpd); entries on one side only take no
    // part. A folder that cannot be read makes the trees differ.
    bool CheckFolderUpd(const QString &path1, const QString &path2) override;

    // The paths of the files, and of the folders (ending with "/" below a compared
    // folder), that could not be opened or read, in the order met.
    const QStringList &unreadablePaths() const { return m_unreadablePaths; }

    // Files up to this size that are longer than their first block are read whole to
    // tell the code they are read in.
    static constexpr qint64 WholeJudgeLimit = qint64(64) << 20;

private:
    bool readWhole(const QString &path, qint64 size, QByteArray &bytes);
    // Which files of a pair the text comparison read in a code.
    struct CodesRead
    {
        bool first = false;
        bool second = false;
    };
    // The text comparison of CheckFileUpd for two differing text files whose first blocks
    // gave `codes1` and `codes2`: each read whole, judged whole and decoded; `result`
    // takes the codes read in, and differ = false where the texts match but for line ends.
    CodesRead compareTexts(const QString &path1, const QString &path2, const FileData &data, QStringList codes1,
                           QStringList codes2, FileResult &result);
    // The code that the file `path` of `size` bytes is read in, as the viewer reads it:
    // the first of the judge's codes that reads every byte, judged from `sample` (its
    // first bytes, which gave `sampleCodes`) or, for a longer file of at most
    // WholeJudgeLimit bytes, from all of it; the judge's first code where none reads it,
    // "BIN" for a binary file.
    QString codeReadIn(const QString &path, const QByteArray &sample, const QStringList &sampleCodes, qint64 size);
    // Compares the folders open as `descriptor1` and `descriptor2` (taken over and
    // closed here; -1 when they could not be opened) whose paths are `folder1` and
    // `folder2`.
    bool foldersDiffer(int descriptor1, int descriptor2, const QByteArray &folder1, const QByteArray &folder2,
                       std::vector<std::pair<dev_t, ino_t>> &ancestors);

    ContentOptions m_options;
    // "." and each entry of binJdExt, lower-cased.
    QStringList m_binSuffixes;
    WorkHost &m_host;
    common::NonCodeClass m_codes;
    QStringList m_unreadablePaths;
};

// The message that names what a content comparison could not read (unreadablePaths):
// a heading, an empty line and the first five paths, one a line, then "．．．" when there
// are more.
QString UnreadableFilesMessage(const QStringList &paths);

} // namespace foldercompare::listing
