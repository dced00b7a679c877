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
#include "foldercompare/operations/code_change.h"

#include <benchmark/benchmark.h>

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
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

// Every message of `messages` that is short (up to 16 characters) and holds a character
// beyond ASCII, and every piece of one to four characters of the runs of non-ASCII
// characters in any of them.
QSet<QString> japanesePieces(const QStringList &messages)
{
    QSet<QString> pieces;
    for (const QString &message : messages) {
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
    return pieces;
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
        const QSet<QString> pieces = japanesePieces(messages[QStringLiteral("ja")]);
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
        inDoubt += judgement.inDoubt() ? 1 : 0;
        if (judgement.codes.constFirst() == expected) {
            ++right;
        } else if (shown++ < 12) {
            std::printf("  %s: %s judged %s%s\n", qPrintable(name), qPrintable(expected),
                        qPrintable(judgement.codes.constFirst()), judgement.inDoubt() ? " (in doubt)" : "");
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

// What a conversion with the code left to judging does with Japanese texts in Shift-JIS
// and EUC, to UTF-8: converts them right, refuses them as in doubt, converts them wrong,
// or refuses them otherwise. The sets:
// - half-width katakana words: the katakana words of the "ja" catalogs written in
//   half-width forms (ﾌｧｲﾙ), in Shift-JIS and in EUC;
// - half-width notes in Shift-JIS: the one-line messages of the catalogs without kanji,
//   their kana all written in half-width katakana, as older systems wrote them;
// - the Japanese pieces of the catalogs (japanesePieces) in EUC and in Shift-JIS;
// - one-line notes: the messages of one line of up to 60 characters, in both codes;
// - documents: the Japanese manual pages of this machine whole, and each of their pieces
//   of five lines that holds Japanese, in both codes.
// Each set also counts the texts that Shift-JIS and EUC both read whole.

// `text` with its katakana, hiragana and Japanese punctuation in half-width forms, as
// NFKC reads them back (ガ becomes ｶﾞ); characters that have none stay.
QString halfWidth(const QString &text)
{
    static const QHash<QChar, QString> forms = [] {
        QHash<QChar, QString> made;
        for (char16_t unit = 0xFF61; unit <= 0xFF9F; ++unit) {
            const QString single(QChar{unit});
            for (const QString &form : {single, single + QChar(0xFF9E), single + QChar(0xFF9F)}) {
                const QString full = form.normalized(QString::NormalizationForm_KC);
                if (full.size() == 1 && !made.contains(full[0]))
                    made.insert(full[0], form);
            }
        }
        return made;
    }();
    QString written;
    for (QChar character : text) {
        if (character.unicode() >= 0x3041 && character.unicode() <= 0x3096)
            character = QChar(character.unicode() + 0x60);
        written += forms.value(character, QString(character));
    }
    return written;
}

bool hasKanji(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar character) {
        return character.unicode() >= 0x4E00 && character.unicode() <= 0x9FFF;
    });
}

// The text of a manual page, gzip-compressed or not.
QString manualPage(const QString &path)
{
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-dcf"), path});
    gzip.waitForFinished(-1);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(gzip.readAllStandardOutput());
    return decoder.hasError() ? QString() : text;
}

// Sets of Japanese texts, each with the code it is written in.
struct JapaneseSet
{
    const char *name;
    QList<std::pair<QString, QString>> texts;
};

const QList<JapaneseSet> &japaneseSets()
{
    static const QList<JapaneseSet> built = [] {
        QStringList messages;
        QDirIterator catalogs(QStringLiteral("/usr/share/locale/ja"), {QStringLiteral("*.mo")}, QDir::Files,
                              QDirIterator::Subdirectories);
        while (catalogs.hasNext())
            messages += catalogMessages(catalogs.next());
        QSet<QString> katakanaWords;
        QSet<QString> halfWidthNotes;
        QSet<QString> notes;
        static const QRegularExpression katakanaWord(QStringLiteral("[\\x{30A1}-\\x{30FA}\\x{30FC}]{2,}"));
        for (const QString &message : std::as_const(messages)) {
            for (const QRegularExpressionMatch &match : katakanaWord.globalMatch(message))
                katakanaWords.insert(halfWidth(match.captured()));
            if (message.size() > 60 || message.contains(u'\n') || message.contains(u'\r') || !beyondAscii(message))
                continue;
            notes.insert(message);
            if (!hasKanji(message))
                halfWidthNotes.insert(halfWidth(message));
        }
        QStringList documents;
        QDirIterator pages(QStringLiteral("/usr/share/man/ja"), QDir::Files, QDirIterator::Subdirectories);
        while (pages.hasNext()) {
            const QString page = manualPage(pages.next());
            if (beyondAscii(page))
                documents.append(page);
        }
        QStringList documentPieces;
        for (const QString &document : std::as_const(documents)) {
            const QStringList lines = document.split(u'\n');
            for (qsizetype first = 0; first + 5 <= lines.size(); first += 5) {
                const QString piece = lines.mid(first, 5).join(u'\n') + u'\n';
                if (beyondAscii(piece))
                    documentPieces.append(piece);
            }
        }
        const auto inCode = [](const auto &texts, const char *code) {
            QList<std::pair<QString, QString>> written;
            for (const QString &text : texts)
                written.append({text, QString::fromLatin1(code)});
            return written;
        };
        const auto inBoth = [&inCode](const auto &texts) { return inCode(texts, "SJIS") + inCode(texts, "EUC"); };
        const QSet<QString> pieces = japanesePieces(messages);
        return QList<JapaneseSet>{
            {"half-width katakana words", inCode(katakanaWords, "SJIS")},
            {"half-width words, EUC", inCode(katakanaWords, "EUC")},
            {"half-width notes", inCode(halfWidthNotes, "SJIS")},
            {"pieces, EUC", inCode(pieces, "EUC")},
            {"pieces, SJIS", inCode(pieces, "SJIS")},
            {"one-line notes", inBoth(notes)},
            {"manual pages", inBoth(documents)},
            {"manual page pieces", inBoth(documentPieces)},
        };
    }();
    return built;
}

struct Outcomes
{
    qint64 total = 0;
    qint64 bothRead = 0;
    qint64 right = 0;
    qint64 inDoubt = 0;
    qint64 wrong = 0;
    qint64 refused = 0;
    qint64 shownWrong = 0;
    qint64 shownInDoubt = 0;

    void count(const QString &text, const QString &code)
    {
        common::NonCodeClass codes;
        const QByteArray bytes = code == u"SJIS" ? codes.VbUnicode_To_SJIS(text) : codes.VbUnicode_To_EUC(text);
        if (!codes.lastConversionClean())
            return;
        ++total;
        codes.SJIS_To_VbUnicode(bytes);
        const bool sjisReads = codes.lastConversionClean();
        codes.EUC_To_VbUnicode(bytes);
        bothRead += sjisReads && codes.lastConversionClean() ? 1 : 0;
        // What the text's own code reads, which is the text up to look-alikes that the code
        // tables write with the same bytes ("−" and "－").
        const QByteArray expected = codes.ToVbUnicode(code, bytes).toUtf8();
        const foldercompare::operations::FileConversion conversion = foldercompare::operations::ConvertBytes(
            QStringLiteral("text.txt"), bytes, QString(), QStringLiteral("UTF8"), QStringLiteral("\n"), QStringList());
        const bool doubted = conversion.refusal.startsWith(QStringLiteral("文字コードを判別できない"));
        const bool converted = conversion.ok && conversion.bytes == expected;
        right += converted ? 1 : 0;
        inDoubt += doubted ? 1 : 0;
        wrong += conversion.ok && !converted ? 1 : 0;
        refused += !conversion.ok && !doubted ? 1 : 0;
        if (conversion.ok && !converted && shownWrong++ < 8)
            std::printf("  %s in %s converted as %s\n", qPrintable(text.simplified().left(60)), qPrintable(code),
                        qPrintable(QString::fromUtf8(conversion.bytes).simplified().left(60)));
        if (doubted && shownInDoubt++ < 8)
            std::printf("  %s in %s refused: %s\n", qPrintable(text.simplified().left(60)), qPrintable(code),
                        qPrintable(conversion.refusal));
    }
};

void BM_ConversionOutcomes(benchmark::State &state)
{
    const QList<JapaneseSet> &sets = japaneseSets();
    QList<Outcomes> outcomes(sets.size());
    for (auto _ : state) {
        for (qsizetype index = 0; index < sets.size(); ++index) {
            std::printf("%s:\n", sets[index].name);
            outcomes[index] = Outcomes();
            for (const auto &[text, code] : sets[index].texts)
                outcomes[index].count(text, code);
        }
    }
    for (qsizetype index = 0; index < sets.size(); ++index) {
        const Outcomes &tally = outcomes[index];
        const std::string name = sets[index].name;
        state.counters[name + " texts"] = double(tally.total);
        state.counters[name + " right"] = double(tally.right);
        state.counters[name + " in doubt"] = double(tally.inDoubt);
        state.counters[name + " wrong"] = double(tally.wrong);
        std::printf("%-26s %6lld texts (%6lld read by both): %6lld right, %6lld refused in doubt, %5lld wrong, %5lld "
                    "refused otherwise\n",
                    name.c_str(), tally.total, tally.bothRead, tally.right, tally.inDoubt, tally.wrong, tally.refused);
    }
}

BENCHMARK(BM_ConversionOutcomes)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
