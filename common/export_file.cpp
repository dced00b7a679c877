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

// `text` with every character that code page 932 cannot write as itself (a pair of
// surrogates as the one character it stands for) put as `unrepresentable` says. A
// character that the converter writes by the bytes of a look-alike ("¢" by those of "￠")
// counts as one that it cannot write: a report must name files and lines as they are.
QString withStandIns(const QString &text, ExportFile::Unrepresentable unrepresentable)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit == u'?' || platform::hasExactCp932Form(unit)) {
            out += QChar(unit);
            continue;
        }
        char32_t codePoint = unit;
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            codePoint = QChar::surrogateToUcs4(unit, text[++i].unicode());
        if (unrepresentable == ExportFile::Unrepresentable::QuestionMark)
            out += u'?';
        else
            out += QStringLiteral("&#x") + QString::number(quint32(codePoint), 16).toUpper() + u';';
    }
    return out;
}

} // namespace

ExportFile::ExportFile(const QString &path, bool unicode, Unrepresentable unrepresentable)
    : m_file(path), m_unicode(unicode), m_unrepresentable(unrepresentable)
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
        platform::EncodedBytes encoded =
            platform::encodeText(platform::CodePage::Cp932, withStandIns(m_pending, m_unrepresentable));
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
