#include "common/file_list_formats.h"

#include "platform/testing/print_to.h"

#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

namespace common {
namespace {

TEST(FileListFormats, UriListHasOneLinePerFileEndedByCrLf)
{
    EXPECT_EQ(UriListBytes({"/home/u/a.txt", "/home/u/b"}), "file:///home/u/a.txt\r\nfile:///home/u/b\r\n");
}

TEST(FileListFormats, GnomeCopiedFilesStartsWithCopy)
{
    EXPECT_EQ(GnomeCopiedFilesBytes({"/home/u/a.txt", "/home/u/b"}), "copy\nfile:///home/u/a.txt\nfile:///home/u/b");
}

TEST(FileListFormats, NamesArePercentEncodedUtf8)
{
    const struct
    {
        const char *name;
        QString path;
        QByteArray url;
    } cases[] = {
        {"Japanese", "/tmp/日本.txt", "file:///tmp/%E6%97%A5%E6%9C%AC.txt"},
        {"blank", "/tmp/a b", "file:///tmp/a%20b"},
        {"hash and percent", "/tmp/#1 100%", "file:///tmp/%231%20100%25"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(UriListBytes({c.path}), c.url + "\r\n");
        EXPECT_EQ(GnomeCopiedFilesBytes({c.path}), "copy\n" + c.url);
    }
}

TEST(FileListFormats, EmptyPathsNameNoFile)
{
    EXPECT_EQ(UriListBytes({""}), "");
    EXPECT_EQ(GnomeCopiedFilesBytes({""}), "copy");
    EXPECT_EQ(UriListBytes({"/a", "", "/b"}), "file:///a\r\nfile:///b\r\n");
}

TEST(FileListFormats, MimeDataReadsBackToTheSamePaths)
{
    const QStringList paths{"/srv/日本/x.txt", "/srv/a b/", "/srv/#%"};
    const std::unique_ptr<QMimeData> data = FileListMimeData(paths);
    EXPECT_EQ(data->data("text/uri-list"), UriListBytes(paths));
    EXPECT_EQ(data->data("x-special/gnome-copied-files"), GnomeCopiedFilesBytes(paths));
    EXPECT_EQ(LocalFilePaths(*data), paths);
}

TEST(FileListFormats, LocalFilePathsSkipOtherUrls)
{
    QMimeData data;
    data.setUrls({QUrl("https://example.invalid/x"), QUrl::fromLocalFile("/a/one"), QUrl::fromLocalFile("/a/two")});
    EXPECT_EQ(LocalFilePaths(data), QStringList({"/a/one", "/a/two"}));
    QMimeData text;
    text.setText("/a/one");
    EXPECT_TRUE(LocalFilePaths(text).isEmpty());
}

} // namespace
} // namespace common
