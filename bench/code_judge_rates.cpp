// How often the judge names the right code for texts whose bytes two codes read: short
// Shift-JIS and EUC texts that happen to be valid UTF-8, short UTF-8 texts that Shift-JIS
// or EUC reads too, and the real UTF-8 files of this machine. The material is made from
// what the machine holds:
// - Japanese: the translated messages of the "ja" catalogs under /usr/share/locale, cut
//   into their runs of non-ASCII characters and every piece of one to four characters of
//   them, and the short messages whole; besides, JIS X 0208 itself: every character
//   alone, every level-1 kanji with every hiragana behind it, and level-1 and level-2
//   kanji in pairs, with a katakana or hiragana behind (a fixed pseudo-random choice).
//   Each is written in Shift-JIS and in EUC; those whose bytes are valid UTF-8 count.
// - UTF-8: the words (up to 20 characters) and short messages (up to 30) of the catalogs
//   of every language, and the Japanese pieces, that hold a character beyond ASCII.
// - Files: every regular file under /usr/share that is valid UTF-8 with a character
//   beyond ASCII and holds no control byte but TAB, LF, form feed and CR (up to 8 MB of
//   it), judged whole.
// Counters: the share of each set named right, in per cent, and the share judged in
// doubt (JudgeText); the first few misses of each set are printed.

#include "common/judge_code.h"
#include "common/non_code_class.h"

#include <benchmark/benchmark.h>

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QtEndian>

#include <cstdio>
#include <random>

namespace {

bool isUtf8WithMultiByte(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    return !decoder.hasError() && std::any_of(bytes.begin(), bytes.end(), [](char byte) { return uchar(byte) >= 0x80; });
}

// The translated messages of a gettext catalog (.mo).
QStringList catalogMessages(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 20)
        return {};
    const auto word = [&bytes](qsizetype at, bool bigEndian) -> quint32 {
        if (at + 4 > bytes.size())
            return 0;
        return bigEndian ? qFromBigEndian<quint32>(bytes.constData() + at) : qFromLittleEndian<quint32>(bytes.constData() + at);
    };
    const bool bigEndian = word(0, false) != 0x950412de;
    const quint32 count = word(8, bigEndian);
    const quint32 translations = word(16, bigEndian);
    QStringList messages;
    for (quint32 index = 0; index < count; ++index) {
        const quint32 length = word(translations + 8 * index, bigEndian);
        const quint32 offset = word(translations + 8 * index + 4, bigEndian);
        if (qsizetype(offset) + length > bytes.size())
            break;
        for (const QByteArray &part : bytes.mid(offset, length).split('\0')) {
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString text = decoder(part);
            if (!decoder.hasError() && !text.isEmpty())
                messages.append(text);
        }
    }
    return messages;
}

bool beyondAscii(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar character) { return character.unicode() >= 0x80; });
}

struct Material
{
    // Texts in Shift-JIS or EUC whose bytes are valid UTF-8, with their code.
    QList<std::pair<QByteArray, QString>> catalogLegacy;
    QList<std::pair<QByteArray, QString>> enumeratedLegacy;
    QList<QByteArray> shortUtf8;
    QList<std::pair<QString, QByteArray>> utf8Files;
};

void addLegacy(const QString &text, QList<std::pair<QByteArray, QString>> &texts, QSet<QByteArray> &seen)
{
    common::NonCodeClass codes;
    const QByteArray sjis = codes.VbUnicode_To_SJIS(text);
    if (codes.lastConversionClean() && isUtf8WithMultiByte(sjis) && !seen.contains(sjis + "S")) {
        seen.insert(sjis + "S");
        texts.append({sjis, QStringLiteral("SJIS")});
    }
    const QByteArray euc = codes.VbUnicode_To_EUC(text);
    if (codes.lastConversionClean() && isUtf8WithMultiByte(euc) && !seen.contains(euc + "E")) {
        seen.insert(euc + "E");
        texts.append({euc, QStringLiteral("EUC")});
    }
}

const Material &material()
{
    static const Material built = [] {
        Material made;
        QHash<QString, QStringList> messages;
        QDirIterator catalogs(QStringLiteral("/usr/share/locale"), {QStringLiteral("*.mo")}, QDir::Files,
                              QDirIterator::Subdirectories);
        while (catalogs.hasNext()) {
            const QString path = catalogs.next();
            messages[path.section(u'/', 4, 4)] += catalogMessages(path);
        }
        // Japanese pieces.
        QSet<QString> pieces;
        for (const QString &message : std::as_const(messages[QStringLiteral("ja")])) {
            if (message.size() <= 16 && beyondAscii(message))
                pieces.insert(message);
            qsizetype start = -1;
            for (qsizetype index = 0; index <= message.size(); ++index) {
                const bool inRun = index < message.size() && message[index].unicode() >= 0x80 && !message[index].isSpace();
                if (inRun && start < 0)
                    start = index;
                if (inRun || start < 0)
                    continue;
                const QString run = message.mid(start, index - start);
                for (qsizetype length = 1; length <= 4; ++length)
                    for (qsizetype from = 0; from + length <= run.size(); ++from)
                        pieces.insert(run.mid(from, length));
                start = -1;
            }
        }
        QSet<QByteArray> seen;
        for (const QString &piece : std::as_const(pieces))
            addLegacy(piece, made.catalogLegacy, seen);
        // JIS X 0208 by rows, read through the EUC decoder.
        common::NonCodeClass codes;
        QList<QStringList> rows(95);
        for (int row = 1; row <= 84; ++row) {
            for (int cell = 1; cell <= 94; ++cell) {
                const QByteArray pair = QByteArray(1, char(0xA0 + row)) + char(0xA0 + cell);
                const QString character = codes.EUC_To_VbUnicode(pair);
                if (codes.lastConversionClean() && character.size() == 1)
                    rows[row].append(character);
            }
        }
        QStringList level1;
        QStringList level2;
        for (int row = 16; row <= 47; ++row)
            level1 += rows[row];
        for (int row = 48; row <= 84; ++row)
            level2 += rows[row];
        const QStringList &hiragana = rows[4];
        const QStringList &katakana = rows[5];
        QSet<QString> enumerated;
        for (const QStringList &row : std::as_const(rows))
            for (const QString &character : row)
                enumerated.insert(character);
        for (const QString &kanji : std::as_const(level1))
            for (const QString &kana : hiragana)
                enumerated.insert(kanji + kana);
        for (const QString &kanji : std::as_const(level2))
            for (const QString &kana : katakana)
                enumerated.insert(kanji + kana);
        std::mt19937 random(49);
        const auto any = [&random](const QStringList &list) { return list[random() % list.size()]; };
        for (int index = 0; index < 300000; ++index) {
            enumerated.insert(any(level1) + any(level1));
            enumerated.insert(any(level2) + any(level1));
        }
        for (int index = 0; index < 100000; ++index) {
            enumerated.insert(any(level1) + any(level2));
            enumerated.insert(any(level2) + any(level1) + any(hiragana));
        }
        for (const QString &text : std::as_const(enumerated))
            addLegacy(text, made.enumeratedLegacy, seen);
        // Short UTF-8 texts of every language.
        QSet<QString> words = pieces;
        for (const QStringList &list : std::as_const(messages)) {
            for (const QString &message : list) {
                if (message.size() <= 30 && beyondAscii(message))
                    words.insert(message);
                for (const QString &word : message.split(u' ', Qt::SkipEmptyParts))
                    if (word.size() <= 20 && beyondAscii(word))
                        words.insert(word);
            }
        }
        for (const QString &word : std::as_const(words))
            made.shortUtf8.append(word.toUtf8());
        // Real UTF-8 files.
        QDirIterator files(QStringLiteral("/usr/share"), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            if (QFileInfo(path).isSymLink())
                continue;
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = file.read(8 << 20);
            // Files with control bytes other than TAB, LF, form feed and CR are binary by
            // the judge's rule, which stands above the codes.
            const bool controls = std::any_of(bytes.begin(), bytes.end(), [](char byte) {
                return (uchar(byte) < 0x20 && byte != '\t' && byte != '\n' && byte != '\f' && byte != '\r') || byte == 0x7F;
            });
            if (!controls && isUtf8WithMultiByte(bytes))
                made.utf8Files.append({path, bytes});
        }
        return made;
    }();
    return built;
}

struct Tally
{
    qint64 total = 0;
    qint64 right = 0;
    qint64 inDoubt = 0;
    qint64 shown = 0;

    void count(const QByteArray &bytes, const QString &expected, const QString &name)
    {
        const common::CodeJudgement judgement = common::JudgeText(bytes, true);
        ++total;
        inDoubt += judgement.inDoubt ? 1 : 0;
        if (judgement.codes.constFirst() == expected) {
            ++right;
        } else if (shown++ < 12) {
            std::printf("  %s: %s judged %s%s\n", qPrintable(name), qPrintable(expected),
                        qPrintable(judgement.codes.constFirst()), judgement.inDoubt ? " (in doubt)" : "");
        }
    }
    double rightShare() const { return total == 0 ? 0.0 : 100.0 * double(right) / double(total); }
    double doubtShare() const { return total == 0 ? 0.0 : 100.0 * double(inDoubt) / double(total); }
};

QString shownAs(const QByteArray &bytes, const QString &code)
{
    common::NonCodeClass codes;
    return codes.ToVbUnicode(code, bytes) + QStringLiteral(" (UTF-8 ") + QString::fromUtf8(bytes) + u')';
}

// Whether Shift-JIS or EUC reads every one of `bytes`.
bool legacyReads(const QByteArray &bytes)
{
    common::NonCodeClass codes;
    codes.SJIS_To_VbUnicode(bytes);
    if (codes.lastConversionClean())
        return true;
    codes.EUC_To_VbUnicode(bytes);
    return codes.lastConversionClean();
}

void BM_JudgeRates(benchmark::State &state)
{
    const Material &made = material();
    Tally catalog;
    Tally enumerated;
    Tally ambiguousUtf8;
    Tally shortUtf8;
    Tally files;
    for (auto _ : state) {
        catalog = enumerated = ambiguousUtf8 = shortUtf8 = files = Tally();
        std::printf("Japanese pieces of the catalogs in Shift-JIS and EUC:\n");
        for (const auto &[bytes, code] : made.catalogLegacy)
            catalog.count(bytes, code, shownAs(bytes, code));
        std::printf("JIS X 0208 characters, kanji with kana, kanji pairs in Shift-JIS and EUC:\n");
        for (const auto &[bytes, code] : made.enumeratedLegacy)
            enumerated.count(bytes, code, shownAs(bytes, code));
        std::printf("Short UTF-8 texts that Shift-JIS or EUC reads too:\n");
        for (const QByteArray &bytes : made.shortUtf8) {
            if (legacyReads(bytes))
                ambiguousUtf8.count(bytes, QStringLiteral("UTF8"), QString::fromUtf8(bytes));
        }
        std::printf("All short UTF-8 texts:\n");
        for (const QByteArray &bytes : made.shortUtf8)
            shortUtf8.count(bytes, QStringLiteral("UTF8"), QString::fromUtf8(bytes));
        std::printf("UTF-8 files under /usr/share:\n");
        for (const auto &[path, bytes] : made.utf8Files)
            files.count(bytes, QStringLiteral("UTF8"), path);
    }
    const auto report = [&state](const char *name, const Tally &tally) {
        state.counters[std::string(name) + " texts"] = double(tally.total);
        state.counters[std::string(name) + " right %"] = tally.rightShare();
        state.counters[std::string(name) + " in doubt %"] = tally.doubtShare();
        std::printf("%-28s %8lld texts, %7.3f %% right, %6.3f %% in doubt\n", name, tally.total, tally.rightShare(),
                    tally.doubtShare());
    };
    report("catalog legacy", catalog);
    report("enumerated legacy", enumerated);
    report("short UTF-8 read by both", ambiguousUtf8);
    report("short UTF-8", shortUtf8);
    report("UTF-8 files", files);
}

BENCHMARK(BM_JudgeRates)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
