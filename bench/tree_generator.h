#pragma once

#include <QString>

namespace bench {

// The shape of a pair of trees for the folder comparison benchmark.
struct TreePairShape
{
    int folders = 1000;        // folders holding the files (10 top folders, the rest below them)
    int files = 100000;        // files of the first tree
    double changed = 0.01;     // share of files whose content and size differ in the second tree
    double dateOnly = 0.01;    // share of files whose date alone differs
    double onlyFirst = 0.005;  // share of files missing from the second tree
    double onlySecond = 0.005; // share of files added to the second tree only
};

// Builds the trees "<folder>/one" and "<folder>/two" once (a marker file tells that a
// complete pair of this shape is there) and returns `folder`. Every file gets a fixed
// date, so that only the planned differences show. File names hold no blanks, so line
// tools can pair them.
QString EnsureTreePair(const QString &folder, const TreePairShape &shape);

} // namespace bench
