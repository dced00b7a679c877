#pragma once

#include "textcompare/editing/line_splice.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace textcompare {

// The line end that the code dialog opens on for a text: CR when it holds CR but no LF,
// LF when it holds LF but no CR, CR LF otherwise (both kinds, or none).
QString PresetLineEnd(QStringView text);

// A compared file's bytes converted from `fromCode` to `toCode` (each one of the six code
// names; "BIN" and any other name are refused), every line end made `lineEnd` (CR, LF or
// CR LF), written without a byte-order mark. The source code is taken as given, never
// judged. Refused when the bytes are not valid in `fromCode` or a character has no form
// in `toCode`: a conversion never writes "?" in place of a character.
EditedContents ConvertFileCode(QByteArrayView bytes, const QString &fromCode, const QString &toCode,
                               const QString &lineEnd);

} // namespace textcompare
