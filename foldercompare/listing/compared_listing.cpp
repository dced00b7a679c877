#include "foldercompare/listing/compared_listing.h"

#include <QHash>

#include <sys/stat.h>

namespace foldercompare::listing {

struct ComparedListing::Data
{
    QString root;
    bool singleFile = false;
    QByteArray listing;
    std::optional<GatheringFacts> facts;
    // The records by relative path, views into `listing`; made at the first look-up, so
    // that a comparison that no operation follows costs nothing more.
    std::optional<QHash<QByteArrayView, FileInfoRecord>> records;

    const QHash<QByteArrayView, FileInfoRecord> &index()
    {
        if (!records) {
            records.emplace();
            FileInfoLogReader reader(root, listing);
            while (const std::optional<FileInfoRecord> record = reader.next())
                records->insert(record->path, *record);
        }
        return *records;
    }
};

ComparedListing::ComparedListing(QString root, bool singleFile, QByteArray listing, std::optional<GatheringFacts> facts)
    : m_data(std::make_shared<Data>(Data{std::move(root), singleFile, std::move(listing), std::move(facts), {}}))
{
}

const QString &ComparedListing::root() const
{
    static const QString none;
    return m_data ? m_data->root : none;
}

std::optional<FileInfoRecord> ComparedListing::record(const QString &relative) const
{
    if (!m_data)
        return std::nullopt;
    const QHash<QByteArrayView, FileInfoRecord> &records = m_data->index();
    if (m_data->singleFile) {
        if (records.isEmpty())
            return std::nullopt;
        return *records.cbegin();
    }
    const QByteArray key = relative.toUtf8();
    const auto found = records.constFind(QByteArrayView(key));
    if (found == records.cend())
        return std::nullopt;
    return *found;
}

bool ComparedListing::matches(const QString &relative, const struct stat *now) const
{
    std::optional<FileInfoRecord> listed = record(relative);
    // A name that the listing holds as the other kind (a folder where the row is a file,
    // or the reverse) is that entry, which another row of the comparison showed.
    if (!listed && !relative.isEmpty())
        listed = record(relative.endsWith(u'/') ? relative.chopped(1) : relative + u'/');
    if (!listed || !now)
        return !listed && !now;
    if (listed->isFolder())
        return S_ISDIR(now->st_mode);
    // The line of a single file of a server carries no size.
    return S_ISREG(now->st_mode) && listed->date == FormatLocalDate(now->st_mtim.tv_sec).toLatin1()
           && (listed->size.isEmpty() || listed->size == QByteArray::number(qint64(now->st_size)));
}

bool ComparedListing::sameFolder(const QString &relativeFolder, const struct stat &now) const
{
    if (!m_data || !m_data->facts)
        return true;
    const auto found = m_data->facts->folders.constFind(relativeFolder.toUtf8());
    if (found == m_data->facts->folders.cend())
        return true;
    return found->first == now.st_dev && found->second == now.st_ino;
}

} // namespace foldercompare::listing
