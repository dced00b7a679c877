#pragma once

#include <QString>

namespace common {

// "&", "<" and ">" turned into entities, in this order; nothing else changes.
QString HtmlEscapeMarkup(const QString &text);

// The text of a table cell of the HTML exports: an empty text gives "&nbsp;"; otherwise
// the markup escaped and every space (U+0020) turned into "&nbsp;". Double quotes, the
// ideographic space and all other characters stay as they are.
QString HtmlEscape(const QString &text);

// As HtmlEscape, but spaces stay (the line texts of the viewer's export).
QString HtmlEscapeText(const QString &text);

// The HTML colour of a row whose colour is the blue-green-red value `blueGreenRed` (only
// its low 24 bits count): "#" and the six upper-case digits of the red-green-blue value,
// "#FFFFFF" for 0 (no colour of its own).
QString HtmlRowColor(quint32 blueGreenRed);

} // namespace common
