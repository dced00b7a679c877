#include "common/export_file.h"

#include "common/non_code_class.h"
#include "common/saved_error.h"
#include "platform/code_page.h"

#include <QCoreApplication>
#include <QtEndian>

namespace common {

namespace {

constexpr qint32 FileWriteFailure = 75;

// Pending text is converted and written once it holds this many UTF-16 units.
constexpr qsizetype PendingUnits = 1 << 16;

} // namespace

ExportFile::ExportFile(const QString &path, bool unicode)
    : m_file(path), m_unicode(unicode)
{
    if (!m_file.open())
        fail();
    if (m_unicode && !m_file.write(NonCodeClass::Utf16LeBom))
        fail();
}

void ExportFile::writeLine(const QString &line)
{
    m_pending += line;
    m_pending += QStringLiteral("\r\n");
    if (m_pending.size() >= PendingUnits)
        writePending();
}

void ExportFile::commit()
{
    writePending();
    if (!m_file.commit())
        fail();
}

void ExportFile::writePending()
{
    if (m_pending.isEmpty())
        return;
    QByteArray bytes;
    if (m_unicode) {
        bytes.resize(m_pending.size() * 2);
        qToLittleEndian<char16_t>(m_pending.utf16(), m_pending.size(), bytes.data());
    } else {
        platform::EncodedBytes encoded = platform::encodeText(platform::CodePage::Cp932, m_pending);
        if (encoded.result == platform::CodeResult::Unavailable) {
            m_file.cancel();
            throw Failure(FileWriteFailure, QCoreApplication::applicationName(),
                          QStringLiteral("CP932 の変換器がありません。 ") + m_file.path());
        }
        bytes = std::move(encoded.bytes);
    }
    m_pending.clear();
    if (!m_file.write(bytes))
        fail();
}

void ExportFile::fail()
{
    m_file.cancel();
    throw Failure(FileWriteFailure, QCoreApplication::applicationName(),
                  QStringLiteral("ファイルに書き込めません。 ") + m_file.path() + QStringLiteral(" (")
                      + m_file.errorString() + u')');
}

} // namespace common
