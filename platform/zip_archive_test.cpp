#include "platform/zip_archive.h"

#include "platform/testing/print_to.h"
#include "platform/testing/temporary_folder.h"

#include <QFile>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <zip.h>

namespace platform {
namespace {

using testing::TemporaryFolder;

// Writes a zip of the given entries, stored without compression when `stored`.
QString writeZip(const TemporaryFolder &folder, const QString &name, const QList<std::pair<QByteArray, QByteArray>> &entries,
                 bool stored = false)
{
    const QString path = folder.filePath(name);
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    EXPECT_NE(archive, nullptr);
    for (const auto &[entryName, content] : entries) {
        zip_source_t *source = zip_source_buffer(archive, content.constData(), zip_uint64_t(content.size()), 0);
        const zip_int64_t index = zip_file_add(archive, entryName.constData(), source, ZIP_FL_OVERWRITE);
        if (stored)
            zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0);
    }
    EXPECT_EQ(zip_close(archive), 0);
    return path;
}

QByteArray readAll(ZipEntry &entry)
{
    QByteArray all;
    char buffer[333];
    qint64 count = 0;
    while ((count = entry.read(buffer, sizeof buffer)) > 0)
        all.append(buffer, count);
    return all;
}

TEST(ZipArchive, EntriesAreReadWholeOrFail)
{
    TemporaryFolder folder;
    const QByteArray text = QByteArray("<xml>").repeated(2000);
    const QString good = writeZip(folder, "good.zip", {{"xl/workbook.xml", text}, {"b.txt", "b"}});
    ZipArchive archive;
    ASSERT_TRUE(archive.open(good)) << archive.errorString().toStdString();
    EXPECT_TRUE(archive.contains("XL/Workbook.xml"));
    EXPECT_FALSE(archive.contains("xl/none.xml"));
    auto entry = archive.openEntry("xl/workbook.xml");
    ASSERT_TRUE(entry);
    EXPECT_EQ(readAll(*entry), text);
    EXPECT_FALSE(entry->failed());
    EXPECT_EQ(archive.openEntry("xl/none.xml"), nullptr);
    EXPECT_FALSE(archive.errorString().isEmpty());
    EXPECT_FALSE(archive.pastLimit());
    EXPECT_EQ(archive.openEntry("xl/workbook.xml", 9999), nullptr) << "announced beyond the limit";
    EXPECT_TRUE(archive.errorString().contains("more than 9999 bytes")) << archive.errorString().toStdString();
    EXPECT_TRUE(archive.pastLimit());

    // A byte of the stored data changed: the CRC at the entry's end does not match.
    const QString stored = writeZip(folder, "stored.zip", {{"a.txt", QByteArray(5000, 'a')}}, true);
    QByteArray bytes = TemporaryFolder::readFile(stored);
    bytes[bytes.indexOf("aaaa") + 100] = 'b';
    ZipArchive damaged;
    ASSERT_TRUE(damaged.open(folder.writeFile("damaged.zip", bytes)));
    auto damagedEntry = damaged.openEntry("a.txt");
    ASSERT_TRUE(damagedEntry);
    readAll(*damagedEntry);
    EXPECT_TRUE(damagedEntry->failed());
    EXPECT_TRUE(damagedEntry->errorString().startsWith("a.txt: ")) << damagedEntry->errorString().toStdString();

    const struct
    {
        const char *name;
        QByteArray bytes;
    } refused[] = {
        {"not a zip", "plain text"},
        {"empty", ""},
        {"cut short", TemporaryFolder::readFile(good).chopped(30)},
    };
    for (const auto &c : refused) {
        SCOPED_TRACE(c.name);
        ZipArchive other;
        EXPECT_FALSE(other.open(folder.writeFile("refused.zip", c.bytes)));
        EXPECT_FALSE(other.errorString().isEmpty());
    }
}

// A stop inside a long comment: the stopped read gives the stop mark, which no XML holds,
// so the XML reader ends there with the comment unfinished; at the end of the data it
// would first put back all it had taken of the comment, to read it again when more came.
TEST(ZipArchive, AStopGivesItsMarkAndEndsTheReads)
{
    TemporaryFolder folder;
    const QString path = writeZip(folder, "comment.zip", {{"part.xml", "<r><!--" + QByteArray(1 << 20, ' ') + "--></r>"}});
    ZipArchive archive;
    ASSERT_TRUE(archive.open(path)) << archive.errorString().toStdString();
    auto entry = archive.openEntry("part.xml");
    ASSERT_TRUE(entry);
    int pieces = 0;
    entry->setKeepReading([&pieces](QByteArrayView) { return ++pieces < 3; }, "\x01");
    QXmlStreamReader reader(entry.get());
    while (!reader.atEnd())
        reader.readNext();
    EXPECT_EQ(reader.error(), QXmlStreamReader::NotWellFormedError) << reader.errorString().toStdString();
    EXPECT_EQ(pieces, 3);
    EXPECT_FALSE(entry->failed());
    char byte = 0;
    EXPECT_EQ(entry->read(&byte, 1), -1) << "the reads end after the mark";
}

} // namespace
} // namespace platform
