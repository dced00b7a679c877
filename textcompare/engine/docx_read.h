#pragma once

#include <QString>

#include <functional>

namespace textcompare {

// The text of the Office Open XML document at `path`: each paragraph a line ending in CR
// LF; a manual line break also ends a line and a tab is a TAB; each table row one line of
// its cells joined by TAB, an empty cell an empty field (a cell of several paragraphs
// adds a line per further paragraph, the other cells' fields empty there). Deleted text,
// field codes and drawings are left out. False, with `error` telling why, as
// ReadXlsxSheet does (xlsx_read.h); a read that `keepGoing` (asked every few units of
// work) stopped fails as "中止しました".
bool ReadDocxText(const QString &path, QString &text, QString &error, const std::function<bool()> &keepGoing = {});

} // namespace textcompare
