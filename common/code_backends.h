#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace common {

// How a conversion between bytes and text went.
enum class ConversionState {
    Clean,           // every byte or character was converted
    InvalidBytes,    // decoding met bytes that are not valid in the code; each became U+FFFD
    Unrepresentable, // encoding met characters without a form in the code; each became "?"
    Refused,         // the code-page back end does not convert EUC; the result is empty
    Failed,          // unknown charset or code page, or no converter in the C library; empty
};

struct ConvertedText
{
    QString text;
    ConversionState state = ConversionState::Clean;
    bool clean() const { return state == ConversionState::Clean; }
};

struct ConvertedBytes
{
    QByteArray bytes;
    ConversionState state = ConversionState::Clean;
    bool clean() const { return state == ConversionState::Clean; }
};

// The two back ends of NonCodeClass. Both convert through the C library's iconv (JIS
// through our own layer over CP932); they differ in how a code is named and in that the
// code-page back end refuses EUC.
//
// Charset back end (module modADOS), by charset name, matched without regard to case:
// "Shift_JIS" (CP932), "ISO-2022-JP" (JIS, code page 50221 style), "EUC-JP" (EUC-JP-MS),
// "UTF-7", "UTF-8" (never with a byte-order mark). Any other name: Failed.
ConvertedBytes AdoStringToBytes(const QString &charset, QStringView text);
ConvertedText AdoBytesToString(const QString &charset, QByteArrayView bytes);

ConvertedBytes AdoEncodeSjis(QStringView text);
ConvertedBytes AdoEncodeJis(QStringView text);
ConvertedBytes AdoEncodeEuc(QStringView text);
ConvertedBytes AdoEncodeUtf7(QStringView text);
ConvertedBytes AdoEncodeUtf8(QStringView text);
ConvertedText AdoDecodeSjis(QByteArrayView bytes);
ConvertedText AdoDecodeJis(QByteArrayView bytes);
ConvertedText AdoDecodeEuc(QByteArrayView bytes);
ConvertedText AdoDecodeUtf7(QByteArrayView bytes);
ConvertedText AdoDecodeUtf8(QByteArrayView bytes);

// Code-page back end (module modWCMB), by code page: 932, 50221, 65000 (UTF-7), 65001
// (UTF-8). Any other code page: Failed.
ConvertedBytes WideToMulti(int codePage, QStringView text);
ConvertedText MultiToWide(int codePage, QByteArrayView bytes);

ConvertedBytes WinEncodeSjis(QStringView text);
ConvertedBytes WinEncodeJis(QStringView text);
ConvertedBytes WinEncodeUtf7(QStringView text);
ConvertedBytes WinEncodeUtf8(QStringView text);
ConvertedText WinDecodeSjis(QByteArrayView bytes);
ConvertedText WinDecodeJis(QByteArrayView bytes);
ConvertedText WinDecodeUtf7(QByteArrayView bytes);
ConvertedText WinDecodeUtf8(QByteArrayView bytes);

// Convert nothing: each tells "EUCはサポートされていません" (error icon, OK) through
// platform::dialogs(), or on standard error in a batch run (common::BatchMode), and
// returns an empty result marked Refused.
ConvertedBytes WinEncodeEuc(QStringView text);
ConvertedText WinDecodeEuc(QByteArrayView bytes);

} // namespace common
