#pragma once

#include "common/code_backends.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace common {

// The conversion facade: every conversion between bytes in a character code and text in
// memory goes through it. Code names are those of JudgeCode: "SJIS", "JIS", "EUC",
// "UNICODE", "UTF7", "UTF8" ("BIN" has no conversion; BIN_To_VbUnicode dumps it).
//
// The twelve conversion members (X_To_VbUnicode and VbUnicode_To_X) return the text or
// the bytes and record how the conversion went, readable until the next conversion
// through lastConversion(). A conversion that is not clean never passes silently for a
// good one: invalid bytes decode to U+FFFD, characters without a form encode to "?", and
// a refused or failed conversion gives an empty result; callers that compare texts or
// write files must check lastConversionClean().
class NonCodeClass
{
public:
    static constexpr QByteArrayView Utf16LeBom{"\xFF\xFE", 2};
    static constexpr QByteArrayView Utf16BeBom{"\xFE\xFF", 2};
    static constexpr QByteArrayView Utf8Bom{"\xEF\xBB\xBF", 3};

    // The back end of SJIS, JIS, EUC, UTF7 and UTF8: 0 the charset back end (the
    // default), 1 the code-page back end, which refuses EUC with the message
    // "EUCはサポートされていません" (on standard error in a batch run). UNICODE needs
    // no back end.
    qint16 FuncRogic() const { return m_funcRogic; }
    // Stores 0 or 1; any other value is stored as 0.
    void setFuncRogic(int value);

    // JudgeCode(bytes, checkBin).
    static QString GetCodeName(QByteArrayView bytes, bool checkBin);
    // JudgeCodes(bytes, checkBin): the judged code first, then the others in the judge's
    // order of preference.
    static QStringList GetCodeNames(QByteArrayView bytes, bool checkBin);

    // Hex dump: two upper-case digits per byte, no separators, CR LF after every 32nd
    // byte (also after the last when the count is a multiple of 32). 66 × (count / 32)
    // + 2 × (count % 32) characters.
    static QString BIN_To_VbUnicode(QByteArrayView bytes);

    // Cuts a leading FF FE and takes the rest as UTF-16 little-endian units, unpaired
    // surrogates included; behind a leading FE FF the units are big-endian, as that mark
    // says. An odd last byte becomes U+FFFD (InvalidBytes).
    QString UNICODE_To_VbUnicode(QByteArrayView bytes);
    // The text's UTF-16 little-endian units, behind FF FE when bomFlag is true. Always clean.
    QByteArray VbUnicode_To_UNICODE(QStringView text, bool bomFlag);

    QString SJIS_To_VbUnicode(QByteArrayView bytes);
    QByteArray VbUnicode_To_SJIS(QStringView text);
    QString JIS_To_VbUnicode(QByteArrayView bytes);
    QByteArray VbUnicode_To_JIS(QStringView text);
    QString EUC_To_VbUnicode(QByteArrayView bytes);
    QByteArray VbUnicode_To_EUC(QStringView text);
    QString UTF7_To_VbUnicode(QByteArrayView bytes);
    // UTF-7 closing every base64 run with "-".
    QByteArray VbUnicode_To_UTF7(QStringView text);
    // Cuts a leading EF BB BF before decoding; a mark elsewhere stays as U+FEFF.
    QString UTF8_To_VbUnicode(QByteArrayView bytes);
    // Puts EF BB BF in front only when bomFlag is true.
    QByteArray VbUnicode_To_UTF8(QStringView text, bool bomFlag);

    // Decodes `bytes` in the code named `code` ("JIS", "EUC", "UNICODE", "UTF7", "UTF8";
    // any other name as "SJIS"), through the charset back end but for UTF7, which goes
    // through the code-page back end, whatever FuncRogic() holds; FuncRogic() is left as
    // it was. Recorded in lastConversion() like the members above.
    QString ToVbUnicode(const QString &code, QByteArrayView bytes);
    // Decodes `bytes` (as ToVbUnicode) in the first of `codes` that reads every byte, and
    // puts that code's name into `code`: how a code left to judging is read, `codes` being
    // GetCodeNames of the bytes. "UNICODE" is tried only as the first of `codes`: it reads
    // any even number of bytes, so behind another code it would read a broken text as
    // garbage. When none reads every byte, `code` is empty, the text is empty and
    // lastConversion() tells how the last one went.
    QString ToVbUnicodeFirstClean(const QStringList &codes, QByteArrayView bytes, QString &code);
    // Whether a reader that tries `codes` in turn, as ToVbUnicodeFirstClean does, tries the
    // one at `index`: all but "UNICODE" behind another code.
    static bool TriesCodeAt(const QStringList &codes, qsizetype index);

    // `bytes` without its first bytes when they are `bom`; otherwise unchanged.
    static QByteArray CutBOM(QByteArrayView bytes, QByteArrayView bom);
    // `bom` followed by `bytes`.
    static QByteArray AddBOM(QByteArrayView bytes, QByteArrayView bom);

    // "\r\n" when the text holds CR LF anywhere or holds no LF at all, else "\n".
    static QString CheckCrLf(QStringView text);
    // Every CR LF replaced by LF.
    static QString ChangeCrLfToLf(QString text);
    // Every line end CR LF: existing CR LF pairs are kept, each lone LF becomes CR LF,
    // lone CR characters stay.
    static QString ChangeLfToCrLf(QString text);
    // Every line end, CR LF, a lone CR or a lone LF, made `lineEnd`; in one pass, so that
    // a text of many lines costs no more than its length.
    static QString ChangeLineEnds(QStringView text, QStringView lineEnd);

    // How the last conversion member went (Clean before the first).
    ConversionState lastConversion() const { return m_lastConversion; }
    bool lastConversionClean() const { return m_lastConversion == ConversionState::Clean; }

private:
    QString take(ConvertedText converted);
    QByteArray take(ConvertedBytes converted);

    qint16 m_funcRogic = 0;
    ConversionState m_lastConversion = ConversionState::Clean;
};

} // namespace common
