#include "textcompare/engine/document_test_support.h"

#include "platform/testing/temporary_folder.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <zip.h>

namespace textcompare::testing {

void writePackage(const QString &path, const QList<std::pair<QByteArray, QByteArray>> &parts)
{
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (const auto &[name, content] : parts) {
        zip_source_t *source = zip_source_buffer(archive, content.constData(), zip_uint64_t(content.size()), 0);
        ASSERT_GE(zip_file_add(archive, name.constData(), source, ZIP_FL_OVERWRITE), 0);
    }
    ASSERT_EQ(zip_close(archive), 0);
}

void runPython(const QByteArray &script, const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), QString::fromUtf8(script)} + arguments);
    ASSERT_TRUE(process.waitForFinished(120000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

QByteArray utf16(const QByteArray &xml, bool littleEndian)
{
    QByteArray declared = xml;
    declared.replace("encoding=\"UTF-8\"", littleEndian ? "encoding=\"UTF-16\"" : "encoding=\"UTF-16BE\"");
    QByteArray bytes = littleEndian ? QByteArray("\xFF\xFE") : QByteArray();
    for (const QChar character : QString::fromUtf8(declared)) {
        const char low = char(character.unicode() & 0xFF);
        const char high = char(character.unicode() >> 8);
        bytes.append(littleEndian ? low : high).append(littleEndian ? high : low);
    }
    return bytes;
}

QList<std::pair<QByteArray, QByteArray>> wordPackage(const QByteArray &body)
{
    return {
        {"_rels/.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" "
         "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
         "Target=\"word/document.xml\"/></Relationships>"},
        {"word/document.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document "
         "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>"
             + body + "</w:body></w:document>"},
    };
}

QString fixturePath(const QString &name)
{
    return platform::testing::sourceFolder() + QStringLiteral("/platform/testdata/") + name;
}

} // namespace textcompare::testing
