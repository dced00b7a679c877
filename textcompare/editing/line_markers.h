#pragma once

#include <QByteArrayView>
#include <QString>

#include <array>

namespace textcompare {

// The marker line of the one-line comparison: one character per byte of `line`, compared
// with the byte at the same index of `other`, with no alignment: a TAB where `line` has
// a TAB byte, "*" where `other` has no byte there or a different one, " " where both are
// equal. A double-byte character thus gets a marker for each of its two bytes.
QString ByteMarkers(QByteArrayView line, QByteArrayView other);

// The marker lines of two texts, compared in their code page 932 form (a character
// without a form there counts as the one byte "?"), so that each marker stands under its
// byte in a font where a double-byte character is two columns wide.
std::array<QString, 2> LineMarkers(const QString &line1, const QString &line2);

} // namespace textcompare
