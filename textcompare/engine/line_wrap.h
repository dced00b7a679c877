#pragma once

#include <QString>

namespace textcompare {

// Cuts off the head of `text` that fits into `width` display columns and leaves the rest
// in `text`. A character whose code page 932 form takes two bytes is two columns wide,
// any other one column. The head is n = (width + 1) / 2 characters, the count that fits
// when all are double width, plus one more for each single-width character among those
// n: a line of single-width characters is cut after `width` characters, one of
// double-width characters after width / 2. A surrogate pair is never cut apart.
QString CutByWidth(QString &text, int width);

// Wraps every line of `text` that is longer than `width` characters counted with its
// line end (two characters): heads are cut off by CutByWidth until the rest fits. CR LF,
// a lone CR and a lone LF each end a line; every line of the result, pieces included,
// ends in CR LF, and a final line end adds no empty line. A width below 1 wraps nothing
// and returns `text` as it is.
QString WrapLines(const QString &text, int width);

} // namespace textcompare
