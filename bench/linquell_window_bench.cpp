// The viewer's window on a large pair against the unattended run of the same pair.
//
// BM_WindowAgainstUnattendedRun: two files of a million lines with 1% changed. The built
// Linquell runs unattended (`Linquell a b -C/dev/null`) as a child process; then this
// program runs itself as a second child that opens the window (offscreen) with LineMax
// raised to 2,000,000, presses "差分解析" and repaints the grid, then pages down and
// clicks the difference bar. Counters: window_s (from the press to the painted grid) and
// unattended_s (the whole unattended run, process start included), time_ratio; peak_mb
// of both processes and peak_ratio; page_down_ms and bar_click_ms, the mean time from the
// key or click to the repainted grid, with their largest single times.
//
// BM_DiffBar: the difference bar of a table of 2,000,000 rows with one block of
// difference rows in every hundred: the runs of equal colour (runs_ms), the boxes to paint
// (boxes), and the paint of the bar (the iteration time).

#include "bench/child_run.h"
#include "bench/text_pair_generator.h"
#include "platform/flex_grid.h"
#include "platform/profile.h"
#include "platform/widgets/flex_grid_view.h"
#include "textcompare/engine/display_table.h"
#include "textcompare/window/diff_bar.h"
#include "textcompare/window/frm_linquell.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTextStream>

#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

constexpr int ShowRows = 2000000;
constexpr int StepCount = 50;

const char WindowRunSwitch[] = "--window-run";

QTemporaryDir &fileFolder()
{
    static QTemporaryDir folder;
    return folder;
}

// A program folder of its own, whose settings raise LineMax for the window.
QTemporaryDir &programFolder()
{
    static QTemporaryDir folder;
    return folder;
}


// Runs `program` with `arguments` in the bench's program folder, its standard output
// thrown away, and waits for it.
std::optional<bench::ChildRun> runChild(const QString &program, const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DIRGLEAM_SUITE_FOLDER"), programFolder().path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return bench::runChild(program, arguments, environment);
}

// Runs `write` in a child process, so that making the files does not raise this
// process's peak, which the children would take over as their own starting peak.
template <typename Write>
bool writtenApart(Write write)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(write() ? 0 : 1);
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double millisecondsOf(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// The grid's pending change notification reaches the view, then the grid with its
// fixed column and the bar are painted once.
void repaintGrid(textcompare::Frm_Linquell &window)
{
    QCoreApplication::sendPostedEvents(window.Grd_Compare, QEvent::MetaCall);
    window.m_gridView->viewport()->repaint();
    window.m_gridView->verticalHeader()->viewport()->repaint();
    window.Pic_Diff->repaint();
}

// The child: the window's run of the pair, its figures written to `resultPath` as
// "name value" lines.
int windowRun(const QString &path1, const QString &path2, const QString &resultPath)
{
    textcompare::Frm_Linquell window;
    window.resize(1200, 800);
    window.show();
    QApplication::processEvents();
    window.Txt_FilePath[0]->setText(path1);
    window.Txt_FilePath[1]->setText(path2);

    QElapsedTimer timer;
    timer.start();
    window.Btn_DiffList_Click();
    QApplication::processEvents();
    repaintGrid(window);
    const double compareSeconds = double(timer.nsecsElapsed()) / 1e9;
    const int rows = window.Grd_Compare->rows();

    std::vector<double> pageDowns;
    for (int step = 0; step < StepCount; ++step) {
        QKeyEvent pageDown(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        timer.restart();
        QApplication::sendEvent(window.m_gridView, &pageDown);
        repaintGrid(window);
        pageDowns.push_back(millisecondsOf(timer));
        QApplication::processEvents();
    }
    std::vector<double> barClicks;
    const int barHeight = window.Pic_Diff->scaleHeight();
    for (int step = 0; step < StepCount; ++step) {
        timer.restart();
        window.Pic_Diff_MouseDown(1, 0, 0, (step * 7919) % barHeight);
        repaintGrid(window);
        barClicks.push_back(millisecondsOf(timer));
        QApplication::processEvents();
    }
    auto mean = [](const std::vector<double> &values) {
        double sum = 0;
        for (double value : values)
            sum += value;
        return sum / double(values.size());
    };
    QFile result(resultPath);
    if (!result.open(QIODevice::WriteOnly))
        return 1;
    QTextStream out(&result);
    out << "window_s " << compareSeconds << "\nrows " << rows << "\npage_down_ms " << mean(pageDowns)
        << "\npage_down_max_ms " << *std::max_element(pageDowns.begin(), pageDowns.end()) << "\nbar_click_ms "
        << mean(barClicks) << "\nbar_click_max_ms " << *std::max_element(barClicks.begin(), barClicks.end()) << '\n';
    window.Form_Unload();
    return rows > 1 ? 0 : 1;
}

std::array<QString, 2> &pairPaths()
{
    static std::array<QString, 2> paths;
    return paths;
}

void BM_WindowAgainstUnattendedRun(benchmark::State &state)
{
    const QString viewer = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/Linquell");
    const QString resultPath = fileFolder().filePath(QStringLiteral("window.txt"));
    const std::array<QString, 2> &paths = pairPaths();
    bench::ChildRun unattended;
    bench::ChildRun window;
    QMap<QString, double> figures;
    for (auto _ : state) {
        const std::optional<bench::ChildRun> unattendedRun = runChild(viewer, {paths[0], paths[1], QStringLiteral("-C/dev/null")});
        const std::optional<bench::ChildRun> windowRunResult = runChild(
            QCoreApplication::applicationFilePath(), {QString::fromLatin1(WindowRunSwitch), paths[0], paths[1], resultPath});
        if (!unattendedRun || unattendedRun->exitCode != 0 || !windowRunResult || windowRunResult->exitCode != 0) {
            state.SkipWithError("a run failed");
            return;
        }
        unattended = *unattendedRun;
        window = *windowRunResult;
        QFile result(resultPath);
        if (!result.open(QIODevice::ReadOnly)) {
            state.SkipWithError("the window run left no figures");
            return;
        }
        for (const QByteArray &line : result.readAll().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() == 2)
                figures.insert(QString::fromLatin1(parts[0]), parts[1].toDouble());
        }
        state.SetIterationTime(figures.value(QStringLiteral("window_s")));
    }
    for (auto figure = figures.cbegin(); figure != figures.cend(); ++figure)
        state.counters[figure.key().toStdString()] = figure.value();
    state.counters["unattended_s"] = unattended.seconds;
    state.counters["time_ratio"] = figures.value(QStringLiteral("window_s")) / unattended.seconds;
    state.counters["peak_mb"] = window.peakMegabytes;
    state.counters["unattended_peak_mb"] = unattended.peakMegabytes;
    state.counters["peak_ratio"] = window.peakMegabytes / unattended.peakMegabytes;
}

// A display table of `rowCount` rows in which every hundredth row starts a block of three
// changed rows; its lines have no texts (the bar reads no texts).
textcompare::DisplayTable blockTable(int rowCount)
{
    textcompare::DiffRowList rows;
    for (int row = 1; row <= rowCount; ++row) {
        const bool changed = row % 100 < 3;
        rows.append(textcompare::DiffRow{{row, row}, changed ? textcompare::DiffState::Changed : textcompare::DiffState::Same});
    }
    textcompare::DisplayTable table;
    table.append(textcompare::DisplayHeaderRow());
    table.showResult(textcompare::DiffResultTable(QStringLiteral("file0PATH"), QStringLiteral("file1PATH"), {}, std::move(rows)),
                     {true, {}});
    for (int row = 1; row <= rowCount; ++row)
        table.appendResultRow(row, std::nullopt);
    return table;
}

void BM_DiffBar(benchmark::State &state)
{
    const textcompare::DisplayTable table = blockTable(ShowRows);
    textcompare::DiffBar bar;
    bar.resize(13, 700);
    QImage image(bar.size(), QImage::Format_RGB32);
    QElapsedTimer timer;
    timer.start();
    const std::vector<textcompare::BarRun> runs = textcompare::DiffBarRuns(table, 1, ShowRows);
    const double runsMilliseconds = millisecondsOf(timer);
    const std::vector<textcompare::PaintedBox> boxes
        = textcompare::PaintedBoxes(runs, 1, textcompare::BarUnitsPerRow(bar.scaleHeight(), ShowRows));
    bar.setBoxes(boxes);
    for (auto _ : state) {
        bar.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["runs"] = double(runs.size());
    state.counters["runs_ms"] = runsMilliseconds;
    state.counters["boxes"] = double(boxes.size());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 5 && qstrcmp(argv[1], WindowRunSwitch) == 0) {
        QApplication application(argc, argv);
        return windowRun(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]));
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const bench::TextPairScenario &millionLines = bench::TextPairScenarios().front();
    const QString files = fileFolder().path();
    if (!writtenApart([&] { return !bench::EnsureTextPair(files, millionLines)[0].isEmpty(); }))
        qFatal("the files could not be written");
    QApplication application(argc, argv);
    pairPaths() = bench::EnsureTextPair(files, millionLines);
    const QString ini = QDir(programFolder().path()).filePath(QStringLiteral("Linquell.ini"));
    const QString windowIni = QDir(programFolder().path()).filePath(QStringLiteral("linquell_window_bench.ini"));
    for (const QString &file : {ini, windowIni}) {
        if (!platform::writeProfileString(QStringLiteral("DSP"), QStringLiteral("LineMax"), QString::number(ShowRows), file)
            || !platform::writeProfileString(QStringLiteral("ETC"), QStringLiteral("Editor"), QStringLiteral("vi %F%"), file))
            qFatal("the settings could not be written");
    }
    benchmark::RegisterBenchmark("BM_WindowAgainstUnattendedRun", BM_WindowAgainstUnattendedRun)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark("BM_DiffBar/2000000_rows", BM_DiffBar)->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
