#include "foldercompare/listing/content_compare.h"

#include "common/judge_code.h"
#include "foldercompare/listing/long_paths.h"
#include "foldercompare/listing/tree_walk.h"
#include "platform/file_handles.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace foldercompare::listing {

namespace {

const QString Bin = QStringLiteral("BIN");

qint64 fileSize(const QString &path)
{
    struct stat info;
    if (StatPath(QFile::encodeName(path), info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return info.st_size;
}

// A handle for reading `path`, or -1.
int openForReading(const QString &path)
{
    return OpenPath(QFile::encodeName(path), O_RDONLY);
}

// Closes the folder's descriptor however a walk through it ends.
struct FolderHandle
{
    DIR *dir = nullptr;
    ~FolderHandle()
    {
        if (dir)
            closedir(dir);
    }
};

// Closes the handles of one comparison however it ends.
struct HandlePair
{
    int first = -1;
    int second = -1;
    ~HandlePair()
    {
        platform::CloseFileHandle(first);
        platform::CloseFileHandle(second);
    }
};

} // namespace

ContentComparer::ContentComparer(ContentOptions options, WorkHost &host)
    : m_options(std::move(options))
    , m_host(host)
{
    m_binSuffixes.reserve(m_options.binJdExt.size());
    for (const QString &extension : std::as_const(m_options.binJdExt))
        m_binSuffixes.append(u'.' + extension.toLower());
}

QString ContentComparer::JudgeFileCode(const QString &path, QByteArrayView bytes) const
{
    return JudgeFileCodes(path, bytes).constFirst();
}

QStringList ContentComparer::JudgeFileCodes(const QString &path, QByteArrayView bytes) const
{
    const QString lowered = path.toLower();
    for (const QString &suffix : m_binSuffixes)
        if (lowered.endsWith(suffix))
            return {Bin};
    return common::JudgeCodes(bytes, true);
}

QString ContentComparer::GetFileCode(const QString &path)
{
    const qint64 size = fileSize(path);
    if (size < 1)
        return Bin;
    int handle = openForReading(path);
    if (handle == -1)
        return Bin;
    QByteArray bytes;
    const qint64 count = platform::ReadFileBytes(handle, bytes, JudgeSampleSize);
    platform::CloseFileHandle(handle);
    if (count < 1)
        return Bin;
    bytes.truncate(count);
    return codeReadIn(path, bytes, JudgeFileCodes(path, bytes), size);
}

QString ContentComparer::codeReadIn(const QString &path, const QByteArray &sample, const QStringList &sampleCodes,
                                    qint64 size)
{
    QStringList codes = sampleCodes;
    if (codes.constFirst() == Bin)
        return Bin;
    QByteArray whole;
    const bool longer = size > sample.size() && size <= WholeJudgeLimit && readWhole(path, size, whole);
    if (longer)
        codes = JudgeFileCodes(path, whole);
    QString code;
    m_codes.ToVbUnicodeFirstClean(codes, longer ? whole : sample, code);
    return code.isEmpty() ? codes.constFirst() : code;
}

ContentComparer::FileData ContentComparer::CompareFileData(const QString &path1, const QString &path2)
{
    FileData data;
    data.size1 = fileSize(path1);
    data.size2 = fileSize(path2);
    if (path1 == path2) {
        data.equal = true;
        return data;
    }
    if (data.size1 < 0 || data.size2 < 0)
        return data;
    if (!m_options.textCodeDsp && !m_options.textCrlfNone && data.size1 != data.size2)
        return data;

    HandlePair handles;
    handles.first = openForReading(path1);
    handles.second = openForReading(path2);
    if (handles.first == -1)
        m_unreadablePaths.append(path1);
    if (handles.second == -1)
        m_unreadablePaths.append(path2);
    if (handles.first == -1 || handles.second == -1) {
        data.unfinished = true;
        return data;
    }
    QByteArray block1;
    QByteArray block2;
    for (bool first = true;; first = false) {
        if (m_host.abortRequested()) {
            data.unfinished = true;
            return data;
        }
        const qint64 count1 = platform::ReadFileBytes(handles.first, block1, BlockSize);
        const qint64 count2 = platform::ReadFileBytes(handles.second, block2, BlockSize);
        if (count1 < 0)
            m_unreadablePaths.append(path1);
        if (count2 < 0)
            m_unreadablePaths.append(path2);
        if (count1 < 0 || count2 < 0) {
            data.unfinished = true;
            return data;
        }
        if (first) {
            data.firstBlock1 = block1.left(count1);
            data.firstBlock2 = block2.left(count2);
        }
        if (data.size1 != data.size2 || count1 != count2)
            return data;
        if (std::memcmp(block1.constData(), block2.constData(), size_t(count1)) != 0)
            return data;
        m_host.pumpEvents();
        if (count1 == 0) {
            data.equal = true;
            return data;
        }
    }
}

bool ContentComparer::readWhole(const QString &path, qint64 size, QByteArray &bytes)
{
    int handle = openForReading(path);
    const qint64 count = handle == -1 ? -1 : platform::ReadFileBytes(handle, bytes, size);
    platform::CloseFileHandle(handle);
    if (count < 0)
        m_unreadablePaths.append(path);
    if (count != size)
        return false;
    bytes.truncate(count);
    return true;
}

ContentCheck::FileResult ContentComparer::CheckFileUpd(const QString &path1, const QString &path2)
{
    FileResult result;
    if (path1 == path2) {
        result.differ = false;
        return result;
    }
    FileData data = CompareFileData(path1, path2);
    QStringList codes1{Bin};
    QStringList codes2{Bin};
    if (!data.firstBlock1.isEmpty() && ((m_options.textCrlfNone && !data.equal) || m_options.textCodeDsp)) {
        codes1 = JudgeFileCodes(path1, data.firstBlock1);
        result.code1 = codes1.constFirst();
    }
    if (!data.firstBlock2.isEmpty() && (codes1.constFirst() != Bin || m_options.textCodeDsp)) {
        codes2 = JudgeFileCodes(path2, data.firstBlock2);
        result.code2 = codes2.constFirst();
    }
    CodesRead read;
    if (data.equal)
        result.differ = false;
    else if (!data.unfinished && m_options.textCrlfNone && data.size1 > 0 && data.size2 > 0
             && codes1.constFirst() != Bin && codes2.constFirst() != Bin)
        read = compareTexts(path1, path2, data, codes1, codes2, result);
    // One file shows one code wherever it is shown: the code it is read in. A file that
    // the text comparison read has its code already; identical bytes judged alike are
    // read alike.
    if (m_options.textCodeDsp) {
        if (!result.code1.isEmpty() && !read.first)
            result.code1 = codeReadIn(path1, data.firstBlock1, codes1, data.size1);
        if (!result.code2.isEmpty() && !read.second)
            result.code2 = data.equal && codes2 == codes1 && !result.code1.isEmpty()
                               ? result.code1
                               : codeReadIn(path2, data.firstBlock2, codes2, data.size2);
    }
    return result;
}

ContentComparer::CodesRead ContentComparer::compareTexts(const QString &path1, const QString &path2,
                                                         const FileData &data, QStringList codes1, QStringList codes2,
                                                         FileResult &result)
{
    QByteArray whole1 = data.firstBlock1;
    QByteArray whole2 = data.firstBlock2;
    const bool longer1 = whole1.size() < data.size1;
    const bool longer2 = whole2.size() < data.size2;
    if (longer1 && !readWhole(path1, data.size1, whole1))
        return {};
    if (longer2 && !readWhole(path2, data.size2, whole2))
        return {};
    // A text read whole is judged whole, as the viewer judges it: UTF-8 text past the
    // first block still makes it UTF-8.
    if (longer1)
        codes1 = JudgeFileCodes(path1, whole1);
    if (longer2)
        codes2 = JudgeFileCodes(path2, whole2);
    // Each file is read as the viewer reads it: in the judged code, or in the next code
    // of the judge's preference when that one does not read every byte. The code shown
    // is the one it is read in.
    QString read1;
    QString read2;
    const QString text1 = m_codes.ToVbUnicodeFirstClean(codes1, whole1, read1);
    const QString text2 = m_codes.ToVbUnicodeFirstClean(codes2, whole2, read2);
    const CodesRead read{!read1.isEmpty(), !read2.isEmpty()};
    if (read.first)
        result.code1 = read1;
    if (read.second)
        result.code2 = read2;
    if (read.first && read.second
        && common::NonCodeClass::ChangeLineEnds(text1, u"\n") == common::NonCodeClass::ChangeLineEnds(text2, u"\n"))
        result.differ = false;
    return read;
}

bool ContentComparer::foldersDiffer(int descriptor1, int descriptor2, const QByteArray &folder1,
                                    const QByteArray &folder2, std::vector<std::pair<dev_t, ino_t>> &ancestors)
{
    HandlePair handles{descriptor1, descriptor2};
    FolderHandle own;
    struct stat ownInfo;
    if (handles.first >= 0 && fstat(handles.first, &ownInfo) == 0) {
        own.dir = fdopendir(handles.first);
        if (own.dir)
            handles.first = -1;
    }
    if (!own.dir) {
        m_unreadablePaths.append(QFile::decodeName(folder1));
        return true;
    }
    // The second folder must let its entries be examined, or its files would pass for
    // missing ones and the trees for equal.
    if (handles.second < 0 || faccessat(handles.second, ".", R_OK | X_OK, AT_EACCESS) != 0) {
        m_unreadablePaths.append(QFile::decodeName(folder2));
        return true;
    }
    const int otherFolder = handles.second;
    ancestors.emplace_back(ownInfo.st_dev, ownInfo.st_ino);

    struct Entry
    {
        QByteArray name;
        bool folder;
    };
    std::vector<Entry> entries;
    const int ownFolder = dirfd(own.dir);
    int readError = 0;
    for (;;) {
        // readdir leaves errno as it was at the folder's end, so only a value it set
        // itself tells a failed read; an entry that cannot be examined takes no part.
        errno = 0;
        const dirent *entry = readdir(own.dir);
        if (!entry) {
            readError = errno;
            break;
        }
        const char *raw = entry->d_name;
        if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0)))
            continue;
        const QByteArray name(raw);
        struct stat info;
        if (!IsListableName(name, QFile::decodeName(name)) || fstatat(ownFolder, raw, &info, 0) != 0)
            continue;
        if (S_ISREG(info.st_mode))
            entries.push_back({name, false});
        else if (S_ISDIR(info.st_mode)
                 && std::find(ancestors.cbegin(), ancestors.cend(), std::make_pair(info.st_dev, info.st_ino))
                        == ancestors.cend())
            entries.push_back({name, true});
    }
    if (readError != 0)
        m_unreadablePaths.append(QFile::decodeName(folder1));

    bool differ = readError != 0;
    const QByteArray prefix1 = folder1.endsWith('/') ? folder1 : folder1 + '/';
    const QByteArray prefix2 = folder2.endsWith('/') ? folder2 : folder2 + '/';
    for (const bool folders : {false, true}) {
        for (const Entry &entry : entries) {
            if (differ)
                break;
            if (entry.folder != folders)
                continue;
            struct stat info;
            if (fstatat(otherFolder, entry.name.constData(), &info, 0) != 0)
                continue;
            const QByteArray path1 = prefix1 + entry.name;
            const QByteArray path2 = prefix2 + entry.name;
            if (!folders && S_ISREG(info.st_mode)) {
                differ = CheckFileUpd(QFile::decodeName(path1), QFile::decodeName(path2)).differ;
                m_host.pumpEvents();
            } else if (folders && S_ISDIR(info.st_mode)) {
                const int below1 = openat(ownFolder, entry.name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                const int below2 = openat(otherFolder, entry.name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                differ = foldersDiffer(below1, below2, path1 + '/', path2 + '/', ancestors);
            }
        }
    }
    ancestors.pop_back();
    return differ;
}

bool ContentComparer::CheckFolderUpd(const QString &path1, const QString &path2)
{
    std::vector<std::pair<dev_t, ino_t>> ancestors;
    const QByteArray folder1 = QFile::encodeName(path1);
    const QByteArray folder2 = QFile::encodeName(path2);
    return foldersDiffer(OpenPath(folder1, O_RDONLY | O_DIRECTORY), OpenPath(folder2, O_RDONLY | O_DIRECTORY),
                         folder1, folder2, ancestors);
}

QString UnreadableFilesMessage(const QStringList &paths)
{
    constexpr qsizetype Shown = 5;
    QString message = QStringLiteral("読み込めないフォルダまたはファイルがあります。内容を比較できなかったため「変更」としています。　\r\n");
    for (qsizetype i = 0; i < std::min(paths.size(), Shown); ++i)
        message += QStringLiteral("\r\n") + paths.at(i);
    if (paths.size() > Shown)
        message += QStringLiteral("\r\n．．．");
    return message;
}

} // namespace foldercompare::listing
