// Times the line difference engine against GNU diff on generated files, side by side in
// one run. Each iteration runs `diff a b` (output to /dev/null) as a child process, then
// reads and decodes the same two files (UTF-8) and runs DiffTexts with blanks ignored and
// case kept, as the viewer does by default, with judgement line count 7 (its default) and 1.
// The reported time is reading plus engine; the counters give the two apart, GNU diff's time
// (process start included) and the ratios: ratio_to_diff = (read + engine) / diff,
// engine_to_diff = engine / diff.

#include "textcompare/engine/diff_texts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <random>

namespace {

using textcompare::DiffTexts;

class LineMaker
{
public:
    explicit LineMaker(quint64 seed)
        : m_random(seed)
    {
    }

    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(m_random); }
    bool chance(double probability) { return std::uniform_real_distribution<double>(0, 1)(m_random) < probability; }

    // An indented line of two to eight identifiers, like a line of source code.
    QByteArray codeLine()
    {
        static const char *const words[] = {"int",   "return", "if",   "else", "for",  "while", "value",
                                            "count", "index",  "name", "data", "node", "size",  "item",
                                            "list",  "map",    "text", "line", "buf",  "result"};
        QByteArray line(4 * pick(4), ' ');
        const int wordCount = 2 + pick(7);
        for (int k = 0; k < wordCount; ++k) {
            if (k)
                line += ' ';
            line += words[pick(int(std::size(words)))];
            line += QByteArray::number(pick(1000));
        }
        return line + ';';
    }

    // A line that is blank or "}" with the given probability, else a code line.
    QByteArray sparseLine(double blankOrBrace)
    {
        if (chance(blankOrBrace))
            return pick(2) ? QByteArray() : QByteArrayLiteral("}");
        return codeLine();
    }

    // A copy with about `share` of its lines replaced, deleted or followed by a new line.
    QList<QByteArray> edited(const QList<QByteArray> &lines, double share)
    {
        QList<QByteArray> result;
        result.reserve(lines.size() + lines.size() / 50);
        for (const QByteArray &line : lines) {
            if (!chance(share)) {
                result.append(line);
                continue;
            }
            switch (pick(3)) {
            case 0:
                result.append(codeLine());
                break;
            case 1:
                break;
            default:
                result.append(line);
                result.append(codeLine());
                break;
            }
        }
        return result;
    }

private:
    std::mt19937_64 m_random;
};

struct Scenario
{
    const char *name;
    QList<QByteArray> (*makeFirst)(LineMaker &);
    QList<QByteArray> (*makeSecond)(LineMaker &, const QList<QByteArray> &);
};

QList<QByteArray> codeLines(LineMaker &maker, int count, double blankOrBrace)
{
    QList<QByteArray> lines;
    lines.reserve(count);
    for (int k = 0; k < count; ++k)
        lines.append(maker.sparseLine(blankOrBrace));
    return lines;
}

const Scenario Scenarios[] = {
    {"million_lines_1pct_changed", [](LineMaker &maker) { return codeLines(maker, 1000000, 0); },
     [](LineMaker &maker, const QList<QByteArray> &first) { return maker.edited(first, 0.01); }},
    {"unrelated_100k_lines", [](LineMaker &maker) { return codeLines(maker, 100000, 0); },
     [](LineMaker &maker, const QList<QByteArray> &) { return codeLines(maker, 100000, 0); }},
    {"200k_lines_third_blank_or_brace", [](LineMaker &maker) { return codeLines(maker, 200000, 1.0 / 3); },
     [](LineMaker &maker, const QList<QByteArray> &first) { return maker.edited(first, 0.01); }},
};

QTemporaryDir &fileFolder()
{
    static QTemporaryDir folder;
    return folder;
}

bool writeLines(const QString &path, const QList<QByteArray> &lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const QByteArray &line : lines) {
        if (file.write(line + '\n') != line.size() + 1)
            return false;
    }
    return true;
}

// Writes the scenario's two files once; returns their paths, empty on failure.
std::array<QString, 2> scenarioFiles(const Scenario &scenario)
{
    const std::array<QString, 2> paths{fileFolder().filePath(QString(scenario.name) + "_1.txt"),
                                       fileFolder().filePath(QString(scenario.name) + "_2.txt")};
    if (!QFile::exists(paths[1])) {
        LineMaker maker(20240611);
        const QList<QByteArray> first = scenario.makeFirst(maker);
        if (!writeLines(paths[0], first) || !writeLines(paths[1], scenario.makeSecond(maker, first)))
            return {};
    }
    return paths;
}

double gnuDiffSeconds(const QString &diffProgram, const std::array<QString, 2> &paths)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(diffProgram, {paths[0], paths[1]});
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() > 1)
        return -1;
    return double(timer.nsecsElapsed()) / 1e9;
}

// Decodes the file straight from its mapping, sparing a copy of the bytes.
QString readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const uchar *bytes = file.map(0, file.size());
    if (!bytes)
        return QString::fromUtf8(file.readAll());
    return QString::fromUtf8(reinterpret_cast<const char *>(bytes), file.size());
}

void BM_DiffTextsAgainstGnuDiff(benchmark::State &state, const Scenario &scenario, int judgementLineCount)
{
    const QString diffProgram = QStandardPaths::findExecutable("diff");
    const std::array<QString, 2> paths = scenarioFiles(scenario);
    if (diffProgram.isEmpty() || paths[0].isEmpty()) {
        state.SkipWithError("no diff program or the files could not be written");
        return;
    }
    double diffTotal = 0;
    double readTotal = 0;
    double engineTotal = 0;
    int rows = 0;
    for (auto _ : state) {
        const double diffSeconds = gnuDiffSeconds(diffProgram, paths);
        if (diffSeconds < 0) {
            state.SkipWithError("diff failed");
            return;
        }
        QElapsedTimer timer;
        timer.start();
        const QString text1 = readText(paths[0]);
        const QString text2 = readText(paths[1]);
        const qint64 readNanoseconds = timer.nsecsElapsed();
        const textcompare::DiffResultTable table =
            DiffTexts(text1, text2, true, false, judgementLineCount, 1, 1, "file0PATH", "file1PATH");
        const double totalSeconds = double(timer.nsecsElapsed()) / 1e9;
        benchmark::DoNotOptimize(table.lastRow());
        rows = table.lastRow();
        state.SetIterationTime(totalSeconds);
        diffTotal += diffSeconds;
        readTotal += double(readNanoseconds) / 1e9;
        engineTotal += totalSeconds - double(readNanoseconds) / 1e9;
    }
    const double iterations = double(state.iterations());
    state.counters["diff_ms"] = 1000 * diffTotal / iterations;
    state.counters["read_ms"] = 1000 * readTotal / iterations;
    state.counters["engine_ms"] = 1000 * engineTotal / iterations;
    state.counters["ratio_to_diff"] = (readTotal + engineTotal) / diffTotal;
    state.counters["engine_to_diff"] = engineTotal / diffTotal;
    state.counters["rows"] = rows;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    for (const Scenario &scenario : Scenarios) {
        for (const int judgementLineCount : {7, 1}) {
            benchmark::RegisterBenchmark(
                (QByteArray(scenario.name) + "/J" + QByteArray::number(judgementLineCount)).constData(),
                [&scenario, judgementLineCount](benchmark::State &state) {
                    BM_DiffTextsAgainstGnuDiff(state, scenario, judgementLineCount);
                })
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond)
                ->Iterations(5);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
