#include "common/file_list_formats.h"

#include <QMimeData>
#include <QUrl>

namespace common {

namespace {

QList<QByteArray> fileUrls(const QStringList &paths)
{
    QList<QByteArray> urls;
    for (const QString &path : paths) {
        if (!path.isEmpty())
            urls.append(QUrl::fromLocalFile(path).toEncoded());
    }
    return urls;
}

} // namespace

QByteArray UriListBytes(const QStringList &paths)
{
    QByteArray bytes;
    for (const QByteArray &url : fileUrls(paths))
        bytes += url + "\r\n";
    return bytes;
}

QByteArray GnomeCopiedFilesBytes(const QStringList &paths)
{
    QByteArray bytes = "copy";
    for (const QByteArray &url : fileUrls(paths))
        bytes += '\n' + url;
    return bytes;
}

std::unique_ptr<QMimeData> FileListMimeData(const QStringList &paths)
{
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("text/uri-list"), UriListBytes(paths));
    data->setData(QStringLiteral("x-special/gnome-copied-files"), GnomeCopiedFilesBytes(paths));
    return data;
}

QStringList LocalFilePaths(const QMimeData &data)
{
    QStringList paths;
    if (!data.hasUrls())
        return paths;
    for (const QUrl &url : data.urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

} // namespace common
