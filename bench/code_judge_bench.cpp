// Judging and decoding speed of each character code, on Japanese text with ASCII mixed
// in, for a 100 KB and a 10 MB sample, and on mostly ASCII text (source code with a
// Japanese comment now and then, "ascii-" rows). Bytes processed per second are reported
// as bytes_per_second (MB/s in the tabular output).

#include "common/judge_code.h"
#include "common/non_code_class.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QString>

#include <map>
#include <tuple>

namespace {

// Lines of kanji, kana, half-width katakana, punctuation and ASCII, chosen by a fixed
// pseudo-random walk so that the sample does not repeat in short cycles.
QString sampleText(qsizetype characters)
{
    static const QString words[] = {
        u"比較"_qs,  u"フォルダ"_qs,  u"ファイル"_qs, u"の"_qs,     u"を"_qs,      u"表示します"_qs, u"、"_qs,
        u"。"_qs,    u"設定"_qs,      u"文字コード"_qs, u"ｶﾀｶﾅ"_qs, u" backup "_qs, u"2024年"_qs,   u"差分"_qs,
        u"日時"_qs,  u"変更"_qs,      u"追加"_qs,     u"削除"_qs,   u" README.txt "_qs, u"①"_qs,     u"は"_qs,
    };
    constexpr int wordCount = sizeof words / sizeof words[0];
    QString text;
    text.reserve(characters + 32);
    quint32 state = 12345;
    int onLine = 0;
    while (text.size() < characters) {
        state = state * 1103515245u + 12345u;
        text += words[(state >> 16) % wordCount];
        if (++onLine == 12) {
            text += u"\r\n"_qs;
            onLine = 0;
        }
    }
    text.truncate(characters);
    return text;
}

// Lines of program source, one in eight with a Japanese comment: a few per cent of the
// characters are not ASCII.
QString mostlyAsciiText(qsizetype characters)
{
    static const QString lines[] = {
        u"    for (int index = 0; index < count; ++index) {\r\n"_qs,
        u"        total += values[index] * weight;\r\n"_qs,
        u"    }\r\n"_qs,
        u"    if (total > limit)\r\n"_qs,
        u"        return QString::fromLatin1(\"over the limit\");\r\n"_qs,
        u"    const QString name = folder.absoluteFilePath(entry);\r\n"_qs,
        u"    // 比較結果をファイルに書き出します\r\n"_qs,
        u"    list.append(name);\r\n"_qs,
    };
    constexpr int lineCount = sizeof lines / sizeof lines[0];
    QString text;
    text.reserve(characters + 64);
    quint32 state = 54321;
    while (text.size() < characters) {
        state = state * 1103515245u + 12345u;
        text += lines[(state >> 16) % lineCount];
    }
    text.truncate(characters);
    return text;
}

enum class Sample { Japanese, MostlyAscii };

QByteArray encode(const char *code, const QString &text)
{
    common::NonCodeClass codes;
    const std::string name = code;
    if (name == "SJIS")
        return codes.VbUnicode_To_SJIS(text);
    if (name == "EUC")
        return codes.VbUnicode_To_EUC(text);
    if (name == "JIS")
        return codes.VbUnicode_To_JIS(text);
    if (name == "UTF8")
        return codes.VbUnicode_To_UTF8(text, false);
    if (name == "UTF7")
        return codes.VbUnicode_To_UTF7(text);
    return codes.VbUnicode_To_UNICODE(text, false);
}

// The sample in `code` of about `targetBytes` bytes.
QByteArray encoded(const char *code, qsizetype targetBytes, Sample sample = Sample::Japanese)
{
    static std::map<std::tuple<std::string, qsizetype, Sample>, QByteArray> cache;
    QByteArray &bytes = cache[{code, targetBytes, sample}];
    if (bytes.isEmpty()) {
        const auto text = sample == Sample::Japanese ? sampleText : mostlyAsciiText;
        constexpr qsizetype probe = 10000;
        const double bytesPerCharacter = double(encode(code, text(probe)).size()) / probe;
        bytes = encode(code, text(qsizetype(double(targetBytes) / bytesPerCharacter)));
    }
    return bytes;
}

constexpr qsizetype SmallSample = 100 * 1000;
constexpr qsizetype LargeSample = 10 * 1000 * 1000;

void judge(benchmark::State &state, const char *code, qsizetype targetBytes, Sample sample)
{
    const QByteArray bytes = encoded(code, targetBytes, sample);
    if (common::JudgeCode(bytes, true) != QString::fromLatin1(code))
        state.SkipWithError("sample judged as another code");
    for (auto _ : state)
        benchmark::DoNotOptimize(common::JudgeCode(bytes, true));
    state.SetBytesProcessed(state.iterations() * std::min(bytes.size(), common::JudgeWindowSize));
    state.counters["sample_bytes"] = double(bytes.size());
}

void decodeAll(benchmark::State &state, const char *code, qsizetype targetBytes, Sample sample)
{
    const QByteArray bytes = encoded(code, targetBytes, sample);
    const QString name = QString::fromLatin1(code);
    common::NonCodeClass codes;
    for (auto _ : state) {
        const QString text = codes.ToVbUnicode(name, bytes);
        benchmark::DoNotOptimize(text.constData());
    }
    if (!codes.lastConversionClean())
        state.SkipWithError("sample did not decode cleanly");
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.counters["sample_bytes"] = double(bytes.size());
}

void encodeAll(benchmark::State &state, const char *code, qsizetype targetBytes)
{
    common::NonCodeClass codes;
    const QString text = codes.ToVbUnicode(QString::fromLatin1(code), encoded(code, targetBytes));
    qsizetype size = 0;
    for (auto _ : state) {
        const QByteArray bytes = encode(code, text);
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.constData());
    }
    state.SetBytesProcessed(state.iterations() * size);
}

void registerAll()
{
    const char *codes[] = {"SJIS", "EUC", "JIS", "UTF8", "UTF7", "UNICODE"};
    const struct
    {
        const char *label;
        qsizetype targetBytes;
        Sample sample;
    } sizes[] = {
        {"100KB", SmallSample, Sample::Japanese},
        {"10MB", LargeSample, Sample::Japanese},
        {"ascii-100KB", SmallSample, Sample::MostlyAscii},
        {"ascii-10MB", LargeSample, Sample::MostlyAscii},
    };
    for (const char *code : codes) {
        for (const auto &size : sizes) {
            const std::string suffix = std::string(code) + "/" + size.label;
            benchmark::RegisterBenchmark(("Judge/" + suffix).c_str(), judge, code, size.targetBytes, size.sample)
                ->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark(("Decode/" + suffix).c_str(), decodeAll, code, size.targetBytes, size.sample)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    for (const char *code : codes) {
        benchmark::RegisterBenchmark((std::string("Encode/") + code + "/10MB").c_str(), encodeAll, code, LargeSample)
            ->Unit(benchmark::kMicrosecond);
    }
}

} // namespace

int main(int argc, char **argv)
{
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
