#include "foldercompare/listing/compare_item.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace foldercompare::listing {

namespace {

int sign(int value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

// Lower-cased comparison. Most names are ASCII, so the common part is folded here one
// character at a time; the first character outside ASCII hands the whole comparison to
// QString::toLower, which gives the same order for the ASCII part.
int compareLowered(QStringView a, QStringView b)
{
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        char16_t ca = a[i].unicode();
        char16_t cb = b[i].unicode();
        if (ca >= 0x80 || cb >= 0x80)
            return sign(QStringView(a.toString().toLower()).compare(b.toString().toLower(), Qt::CaseSensitive));
        if (ca >= u'A' && ca <= u'Z')
            ca += u'a' - u'A';
        if (cb >= u'A' && cb <= u'Z')
            cb += u'a' - u'A';
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

int compareOne(QStringView a, QStringView b)
{
    const int lowered = compareLowered(a, b);
    if (lowered != 0)
        return lowered;
    return sign(a.compare(b, Qt::CaseSensitive));
}

} // namespace

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
