#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace foldercompare::listing {

// The one ordering rule of the folder comparison: listing files, the merge of two
// listings and every sort of the result grid use it. Texts are compared lower-cased
// first, character code by character code (a text that is a prefix of another sorts
// first); texts equal in that way are ordered by their exact characters. Texts equal in
// both ways are ordered by the sub keys, the same way, when both are given.
// Returns -1 when a sorts before b, 1 when after, 0 when they are the same.
int CompareItem(QStringView a, QStringView b);
int CompareItem(QStringView a, QStringView b, std::optional<QStringView> subA, std::optional<QStringView> subB);

// CompareItem of two UTF-8 texts (as listing files hold them), without converting
// texts that are plain ASCII.
int CompareItemUtf8(QByteArrayView a, QByteArrayView b);

// Sorts records[first..last] (indexes into the list, bounds included) in place, ascending
// by CompareItem on field `keyField` of each record (fields separated by TAB, counted from
// 0; a missing field counts as empty), then on field `subField` (negative: no sub key).
// Records equal in both keys keep their order. Does nothing when first >= last.
void QuickSort(QStringList &records, qsizetype first, qsizetype last, int keyField, int subField);

// Field `index` of a TAB-separated record; empty when the record has fewer fields.
QStringView RecordField(QStringView record, int index);

} // namespace foldercompare::listing
