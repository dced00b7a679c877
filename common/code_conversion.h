#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

namespace common {

// A text's bytes converted into another character code.
struct CodeConversion
{
    // The code the bytes were read in; empty when none of the codes read every byte.
    QString code;
    // Every character had a form in the target code. False, with `bytes` empty, when one
    // had none.
    bool encoded = false;
    QByteArray bytes;
};

// Decodes `bytes` in the first of `codes` that reads every byte, as
// NonCodeClass::ToVbUnicodeFirstClean does, makes every line end `lineEnd`
// (NonCodeClass::ChangeLineEnds) and encodes the text in `targetCode` ("SJIS", "JIS",
// "EUC", "UNICODE", "UTF7" or "UTF8"; never with a byte-order mark) as the
// NonCodeClass members do. A large text read as SJIS, EUC or UTF8 and written in a code
// without shift states (SJIS, EUC, UNICODE, UTF8) is converted in pieces cut behind an
// LF, which ends a character in each of those codes, on several threads at once; the
// bytes are the same as those of a conversion in one piece.
//
// With `deliver` given, the converted bytes go to it in order, piece by piece, each as
// soon as it and those before it are done (so that they can be written while the rest
// is converted), and `bytes` of the result stays empty. Its `offset` is the piece's place
// in the converted bytes: 0 starts them anew (a code that read the first pieces failed
// on a later one, and the next code is tried). Returning false stops the conversion; the
// result then has no code.
using ConvertedPiece = std::function<bool(QByteArrayView piece, qsizetype offset)>;
CodeConversion ConvertCode(const QStringList &codes, QByteArrayView bytes, const QString &targetCode,
                           QStringView lineEnd, const ConvertedPiece &deliver = {});

// Encodes `text` in `code`, one of "SJIS", "JIS", "EUC", "UNICODE", "UTF7" and "UTF8",
// without a byte-order mark, through the charset back end (UTF7 through the code-page
// back end); `clean` tells whether every character had a form there.
QByteArray EncodeText(const QString &code, QStringView text, bool &clean);

} // namespace common
