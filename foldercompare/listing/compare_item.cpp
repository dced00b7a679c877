#include "foldercompare/listing/compare_item.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

namespace foldercompare::listing {

namespace {

int sign(int value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

int compareToLower(QStringView a, QStringView b)
{
    const int lowered = sign(QStringView(a.toString().toLower()).compare(b.toString().toLower(), Qt::CaseSensitive));
    return lowered != 0 ? lowered : sign(a.compare(b, Qt::CaseSensitive));
}

// Lower-cased comparison with the exact one as tie-break, in one pass. Most names are
// ASCII, so characters are folded here; the first character outside ASCII hands the
// whole comparison to QString::toLower, which gives the same order for the ASCII part.
// Sorted paths share long prefixes, so an exactly equal start is skipped four
// characters at a time.
int compareOne(QStringView a, QStringView b)
{
    const qsizetype common = std::min(a.size(), b.size());
    const char16_t *pa = a.utf16();
    const char16_t *pb = b.utf16();
    qsizetype i = 0;
    for (; i + 4 <= common; i += 4) {
        quint64 wa;
        quint64 wb;
        std::memcpy(&wa, pa + i, sizeof wa);
        std::memcpy(&wb, pb + i, sizeof wb);
        if (wa != wb)
            break;
    }
    int exact = 0;
    for (; i < common; ++i) {
        char16_t ca = pa[i];
        char16_t cb = pb[i];
        if (ca == cb)
            continue;
        if (ca >= 0x80 || cb >= 0x80)
            return compareToLower(a, b);
        if (exact == 0)
            exact = ca < cb ? -1 : 1;
        if (ca >= u'A' && ca <= u'Z')
            ca += u'a' - u'A';
        if (cb >= u'A' && cb <= u'Z')
            cb += u'a' - u'A';
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    // Equal as far as the shorter goes (their lower-cased forms too): the shorter first.
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return exact;
}

// compareOne for UTF-8 bytes: ASCII is compared as it stands, anything else is decoded.
int compareOneUtf8(QByteArrayView a, QByteArrayView b)
{
    const qsizetype common = std::min(a.size(), b.size());
    const char *pa = a.data();
    const char *pb = b.data();
    qsizetype i = 0;
    for (; i + 8 <= common; i += 8) {
        quint64 wa;
        quint64 wb;
        std::memcpy(&wa, pa + i, sizeof wa);
        std::memcpy(&wb, pb + i, sizeof wb);
        if (wa != wb)
            break;
    }
    int exact = 0;
    for (; i < common; ++i) {
        uchar ca = uchar(pa[i]);
        uchar cb = uchar(pb[i]);
        if (ca == cb)
            continue;
        if (ca >= 0x80 || cb >= 0x80)
            return compareOne(QString::fromUtf8(a), QString::fromUtf8(b));
        if (exact == 0)
            exact = ca < cb ? -1 : 1;
        if (ca >= 'A' && ca <= 'Z')
            ca += 'a' - 'A';
        if (cb >= 'A' && cb <= 'Z')
            cb += 'a' - 'A';
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() != b.size()) {
        // A longer rest that is not plain ASCII could be a cut multi-byte character.
        const QByteArrayView rest = a.size() > b.size() ? a.sliced(common) : b.sliced(common);
        for (const char c : rest)
            if (uchar(c) >= 0x80)
                return compareOne(QString::fromUtf8(a), QString::fromUtf8(b));
        return a.size() < b.size() ? -1 : 1;
    }
    return exact;
}

} // namespace

int CompareItemUtf8(QByteArrayView a, QByteArrayView b)
{
    return compareOneUtf8(a, b);
}

int CompareItem(QStringView a, QStringView b)
{
    return compareOne(a, b);
}

int CompareItem(QStringView a, QStringView b, std::optional<QStringView> subA, std::optional<QStringView> subB)
{
    const int main = compareOne(a, b);
    if (main != 0 || !subA || !subB)
        return main;
    return compareOne(*subA, *subB);
}

QStringView RecordField(QStringView record, int index)
{
    qsizetype start = 0;
    for (int field = 0; field < index; ++field) {
        const qsizetype tab = record.indexOf(u'\t', start);
        if (tab < 0)
            return {};
        start = tab + 1;
    }
    const qsizetype end = record.indexOf(u'\t', start);
    return record.mid(start, end < 0 ? record.size() - start : end - start);
}

void QuickSort(QStringList &records, qsizetype first, qsizetype last, int keyField, int subField)
{
    first = std::max<qsizetype>(first, 0);
    last = std::min<qsizetype>(last, records.size() - 1);
    if (first >= last)
        return;
    struct Keys
    {
        QStringView key;
        std::optional<QStringView> sub;
    };
    std::vector<Keys> keys;
    keys.reserve(size_t(last - first + 1));
    for (qsizetype i = first; i <= last; ++i) {
        const QStringView record(records.at(i));
        keys.push_back({RecordField(record, keyField),
                        subField >= 0 ? std::optional<QStringView>(RecordField(record, subField)) : std::nullopt});
    }
    std::vector<qsizetype> order(keys.size());
    std::iota(order.begin(), order.end(), qsizetype(0));
    std::stable_sort(order.begin(), order.end(), [&keys](qsizetype x, qsizetype y) {
        return CompareItem(keys[size_t(x)].key, keys[size_t(y)].key, keys[size_t(x)].sub, keys[size_t(y)].sub) < 0;
    });
    QStringList sorted;
    sorted.reserve(qsizetype(order.size()));
    for (qsizetype index : order)
        sorted.append(records.at(first + index));
    for (qsizetype i = 0; i < sorted.size(); ++i)
        records[first + i] = std::move(sorted[i]);
}

} // namespace foldercompare::listing
