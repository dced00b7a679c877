#pragma once

#include "textcompare/engine/document_limits.h"

#include <QByteArrayView>
#include <QString>

#include <functional>

namespace textcompare {

// One cell of a worksheet's XML as the scan meets it.
struct ScannedCell
{
    qint64 row = 0;
    qint64 column = 0;
    QString type;  // the "t" attribute: "s", "str", "inlineStr", "b", "e", "d", or empty
    qint64 style = 0; // the "s" attribute
    bool hasValue = false;
    QString value; // the text of <v>, or the run texts of <is> without phonetic guides
};

// Scans the XML of a worksheet part (UTF-8) for the cells of its <sheetData>, in the
// file's order, without building a document: the sheet is by far the largest part and
// the one read on every comparison. Rows without "r" follow the row before, cells
// without "r" the cell before. `wantsRow` is asked at each row; false ends the scan
// there, as a success. `onCell` returns false to stop with `error` set by it. Every few
// hundred elements count as work in `budget`, and each open element in its depth; when
// the budget refuses, the scan stops.
// Returns false, with `error` telling the line, when the XML is damaged: a tag or a
// comment that does not end, an end tag that closes another element, an unknown entity,
// bytes that are not UTF-8, or a document that ends before its elements do.
bool ScanSheetXml(QByteArrayView xml, const std::function<bool(qint64 row)> &wantsRow,
                  const std::function<bool(const ScannedCell &cell)> &onCell,
                  ExpansionBudget &budget, QString &error);

} // namespace textcompare
