#include "textcompare/editing/export_file.h"

#include "common/saved_error.h"
#include "platform/code_page.h"
#include "platform/user_dialogs.h"

#include <QDir>
#include <QFileInfo>

namespace textcompare {

namespace {

constexpr qint32 FileWriteFailure = 75;

} // namespace

bool CreateFolder(const QString &path, int level)
{
    const QString folder = level >= 1 ? QFileInfo(path).absolutePath() : QFileInfo(path).absoluteFilePath();
    if (QFileInfo(folder).isDir() || QDir().mkpath(folder))
        return true;
    try {
        throw common::Failure(FileWriteFailure, QStringLiteral("Linquell"),
                              QStringLiteral("フォルダを作成できません。 ") + folder);
    } catch (...) {
        common::SaveErr();
    }
    platform::dialogs().messageBox(common::SystemErrorText(QStringLiteral("CreateFolder")),
                                   platform::MessageStyle::OkOnly, QString());
    return false;
}

ExportFile::ExportFile(const QString &path, bool unicode)
    : m_file(path), m_unicode(unicode)
{
    if (!m_file.open(QIODevice::WriteOnly))
        fail();
    if (m_unicode && m_file.write("\xFF\xFE", 2) != 2)
        fail();
}

void ExportFile::writeLine(const QString &line)
{
    const QString text = line + QStringLiteral("\r\n");
    QByteArray bytes;
    if (m_unicode) {
        bytes.resize(text.size() * 2);
        char *out = bytes.data();
        for (const QChar c : text) {
            *out++ = char(c.unicode() & 0xFF);
            *out++ = char(c.unicode() >> 8);
        }
    } else {
        platform::EncodedBytes encoded = platform::encodeText(platform::CodePage::Cp932, text);
        if (encoded.result == platform::CodeResult::Unavailable)
            throw common::Failure(FileWriteFailure, QStringLiteral("Linquell"),
                                  QStringLiteral("CP932 の変換器がありません。 ") + m_file.fileName());
        bytes = std::move(encoded.bytes);
    }
    if (m_file.write(bytes) != bytes.size())
        fail();
}

void ExportFile::commit()
{
    if (!m_file.commit())
        fail();
}

void ExportFile::fail()
{
    const QString reason = m_file.errorString();
    m_file.cancelWriting();
    throw common::Failure(FileWriteFailure, QStringLiteral("Linquell"),
                          QStringLiteral("ファイルに書き込めません。 ") + m_file.fileName() + QStringLiteral(" (")
                              + reason + u')');
}

} // namespace textcompare
