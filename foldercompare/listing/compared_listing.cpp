#include "foldercompare/listing/compared_listing.h"

#include <QHash>
#include <QMap>

#include <sys/stat.h>

namespace foldercompare::listing {

namespace {

// The same name as the other kind: "a" for "a/", "a/" for "a".
QString otherKind(const QString &relative)
{
    return relative.endsWith(u'/') ? relative.chopped(1) : relative + u'/';
}

} // namespace

struct ComparedListing::Data
{
    // A record of the listing and its place among the records.
    struct Indexed
    {
        FileInfoRecord record;
        qsizetype ordinal = 0;
    };
    // What the program left at a path: an entry, or nothing; `replacesBelow`: nothing
    // of the listing below it holds any more.
    struct Note
    {
        std::optional<Entry> entry;
        bool replacesBelow = true;
    };

    QString root;
    bool singleFile = false;
    QByteArray listing;
    std::optional<GatheringFacts> facts;
    // The records by relative path, views into `listing`; made at the first look-up, so
    // that a comparison that no operation follows costs nothing more.
    std::optional<QHash<QByteArrayView, Indexed>> records;
    // Sorted, so that the notes below a folder lie together.
    QMap<QString, Note> notes;

    const QHash<QByteArrayView, Indexed> &index()
    {
        if (!records) {
            records.emplace();
            FileInfoLogReader reader(root, listing);
            qsizetype ordinal = 0;
            while (const std::optional<FileInfoRecord> record = reader.next())
                records->insert(record->path, {*record, ordinal++});
        }
        return *records;
    }

    // The entry of the listing for `relative`.
    std::optional<Entry> listed(const QString &relative)
    {
        const QHash<QByteArrayView, Indexed> &records = index();
        auto found = records.cend();
        if (singleFile) {
            found = records.cbegin();
        } else {
            const QByteArray key = relative.toUtf8();
            found = records.constFind(QByteArrayView(key));
        }
        if (found == records.cend())
            return std::nullopt;
        Entry entry{found->record.isFolder(), found->record.date.toByteArray(), found->record.size.toByteArray(), {}};
        if (!entry.folder && facts && size_t(found->ordinal) < facts->files.size())
            entry.identity = facts->files[size_t(found->ordinal)];
        return entry;
    }

    // The key of `relative` among the notes.
    QString noteKey(const QString &relative) const { return singleFile ? QString() : relative; }

    // The note for `relative`, or for the nearest folder above it that holds nothing of
    // the listing below it; null when there is none.
    const Note *noteFor(const QString &relative) const
    {
        if (notes.isEmpty())
            return nullptr;
        const QString key = noteKey(relative);
        if (const auto exact = notes.constFind(key); exact != notes.cend())
            return &*exact;
        for (qsizetype slash = key.lastIndexOf(u'/', key.size() - 2); slash >= 0;
             slash = slash == 0 ? -1 : key.lastIndexOf(u'/', slash - 1)) {
            const auto above = notes.constFind(key.left(slash + 1));
            if (above != notes.cend() && above->replacesBelow) {
                static const Note nothing;
                return &nothing;
            }
        }
        return nullptr;
    }

    std::optional<Entry> held(const QString &relative)
    {
        if (const Note *note = noteFor(relative))
            return note->entry;
        return listed(relative);
    }

    // What is held for `relative`, or where nothing is, for the same name as the other
    // kind, which another row of the comparison showed.
    std::optional<Entry> heldAsEitherKind(const QString &relative)
    {
        std::optional<Entry> held = this->held(relative);
        if (!held && !relative.isEmpty())
            held = this->held(otherKind(relative));
        return held;
    }
};

ComparedListing::ComparedListing(QString root, bool singleFile, QByteArray listing, std::optional<GatheringFacts> facts)
    : m_data(std::make_shared<Data>(Data{std::move(root), singleFile, std::move(listing), std::move(facts), {}, {}}))
{
}

ComparedListing::Entry ComparedListing::EntryOf(const struct stat &info)
{
    Entry entry;
    entry.folder = S_ISDIR(info.st_mode);
    entry.date = FormatLocalDate(info.st_mtim.tv_sec).toLatin1();
    if (entry.folder)
        return entry;
    entry.size = QByteArray::number(qint64(info.st_size));
    if (S_ISREG(info.st_mode))
        entry.identity = platform::IdentityOf(info);
    return entry;
}

const QString &ComparedListing::root() const
{
    static const QString none;
    return m_data ? m_data->root : none;
}

bool ComparedListing::holdsName(const QString &relative) const
{
    return m_data && m_data->heldAsEitherKind(relative);
}

bool ComparedListing::matches(const QString &relative, const struct stat *now, bool inodesKept) const
{
    const std::optional<Entry> held = m_data ? m_data->heldAsEitherKind(relative) : std::nullopt;
    if (!held || !now)
        return !held && !now;
    if (held->folder)
        return S_ISDIR(now->st_mode);
    if (!S_ISREG(now->st_mode))
        return false;
    if (held->identity) {
        const platform::FileIdentity seen = platform::IdentityOf(*now);
        return seen.size == held->identity->size && seen.modifiedNs == held->identity->modifiedNs
               && (!inodesKept || (seen.device == held->identity->device && seen.inode == held->identity->inode));
    }
    // The line of a single file of a server carries no size.
    return held->date == FormatLocalDate(now->st_mtim.tv_sec).toLatin1()
           && (held->size.isEmpty() || held->size == QByteArray::number(qint64(now->st_size)));
}

bool ComparedListing::matchesListed(const QString &relative, const std::optional<Entry> &listed) const
{
    const std::optional<Entry> held = m_data ? m_data->heldAsEitherKind(relative) : std::nullopt;
    if (!held || !listed)
        return !held && !listed;
    if (held->folder || listed->folder)
        return held->folder == listed->folder;
    return held->date == listed->date && (held->size.isEmpty() || listed->size.isEmpty() || held->size == listed->size);
}

bool ComparedListing::sameFolder(const QString &relativeFolder, const struct stat &now) const
{
    if (!m_data || !m_data->facts || m_data->noteFor(relativeFolder))
        return true;
    const auto found = m_data->facts->folders.constFind(relativeFolder.toUtf8());
    if (found == m_data->facts->folders.cend())
        return true;
    return found->first == now.st_dev && found->second == now.st_ino;
}

bool ComparedListing::removedByProgram(const QString &relative) const
{
    const Data::Note *noted = m_data ? m_data->noteFor(relative) : nullptr;
    return noted && !noted->entry;
}

bool ComparedListing::unreadAtGathering(const QString &relativeFolder) const
{
    return m_data && m_data->facts && !m_data->noteFor(relativeFolder)
           && m_data->facts->unreadFolders.contains(relativeFolder.toUtf8());
}

void ComparedListing::note(const QString &relative, const std::optional<Entry> &written)
{
    if (!m_data)
        return;
    Data &data = *m_data;
    const QString key = data.noteKey(relative);
    Data::Note note{written, true};
    // A folder that was there already keeps what is held below it; anything else takes
    // the place of what was there, with all that the program noted below it.
    const std::optional<Entry> before = data.held(key);
    const bool folderStays = written && written->folder && before && before->folder;
    if (folderStays) {
        const auto known = data.notes.constFind(key);
        note.replacesBelow = known != data.notes.cend() && known->replacesBelow;
    }
    if (!key.isEmpty()) {
        const QString below = key.endsWith(u'/') ? key : otherKind(key);
        if (!folderStays) {
            for (auto noted = data.notes.lowerBound(below); noted != data.notes.end() && noted.key().startsWith(below);)
                noted = data.notes.erase(noted);
        }
        data.notes.insert(otherKind(key), Data::Note{});
    }
    data.notes.insert(key, note);
}

void ComparedListing::keepNotesOf(const ComparedListing &earlier)
{
    if (m_data && earlier.m_data && m_data != earlier.m_data && m_data->root == earlier.m_data->root
        && m_data->listing == earlier.m_data->listing)
        m_data->notes = earlier.m_data->notes;
}

} // namespace foldercompare::listing
