#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace textcompare {

// The six code names in which the viewer writes files: "SJIS", "JIS", "EUC", "UNICODE",
// "UTF7", "UTF8".
const QStringList &WritableCodeNames();

// `code` when it is one of WritableCodeNames(), else "SJIS": a file written in a code
// that the viewer cannot write is written in Shift-JIS.
QString WritableCode(const QString &code);

// The byte-order mark that `bytes`, the start of a file in `code`, begin with and that an
// edit keeps: EF BB BF in "UTF8", FF FE or FE FF in "UNICODE"; empty for none.
QByteArrayView ByteOrderMark(const QString &code, QByteArrayView bytes);

// `text` in the code named `code` (WritableCode of it), as the viewer writes a compared
// file: "UNICODE" and "UTF8" without a byte-order mark, "UNICODE" little-endian unless
// `mark` (the ByteOrderMark of the file, which the caller writes in front) is FE FF,
// "UTF7" closing every base64 run. nullopt when a character has no form in that code: a
// "?" is never written in its place.
std::optional<QByteArray> EncodeForFile(const QString &code, QStringView text, QByteArrayView mark = {});

// `bytes` read in the code named `code` (a byte-order mark of "UNICODE" and "UTF8" is
// cut; "UNICODE" behind FE FF is big-endian). nullopt when `code` is none of WritableCodeNames() or the bytes are not valid in
// it.
std::optional<QString> DecodeFromFile(const QString &code, QByteArrayView bytes);

} // namespace textcompare
