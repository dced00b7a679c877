// Gathering and comparing two trees of 100,000 files in 1,000 folders (1% changed, 1%
// date-only, 0.5% only on each side), differences only, row limit raised, side by side
// with listing both trees with find, sorting the lists and joining them, in one run and
// with a warm cache: the gathering of both sides alone, gathering and comparing, and an
// unattended run of the built program that gathers, compares and writes the differences
// as CSV. A further run lists every row into a grid with a view attached and reports the
// longest stretch without letting window events run. The last two write the full list
// (about 101,500 rows) as HTML, CSV and a workbook: the writers alone, and unattended
// runs of the built program that gather, compare and export.

#include "bench/tree_generator.h"
#include "foldercompare/listing/content_compare.h"
#include "foldercompare/listing/listing_compare.h"
#include "foldercompare/listing/side_gathering.h"
#include "foldercompare/operations/result_list_csv.h"
#include "foldercompare/operations/result_list_excel.h"
#include "foldercompare/operations/result_list_html.h"
#include "platform/flex_grid.h"
#include "platform/widgets/flex_grid_view.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <optional>
#include <cstdio>

namespace {

using namespace foldercompare::listing;

QString treeFolder()
{
    static const QString folder = bench::EnsureTreePair(
        QStandardPaths::writableLocation(QStandardPaths::TempLocation) + QStringLiteral("/dirgleam-bench-trees"),
        bench::TreePairShape{});
    return folder;
}

QTemporaryDir &workFolder()
{
    static QTemporaryDir folder;
    return folder;
}

// The window's way of hosting long work: window events run at most every 30 ms.
class BenchHost : public CompareHost
{
public:
    explicit BenchHost(platform::FlexGrid &grid)
        : m_grid(grid)
    {
    }
    bool abortRequested() const override { return false; }
    void pumpEvents() override
    {
        if (!m_sincePump.isValid() || m_sincePump.elapsed() >= 30) {
            QCoreApplication::processEvents();
            m_sincePump.start();
        }
    }
    void showProgress(const QString &) override {}
    void reportFailure(const QString &procedure, const QString &description) override
    {
        qFatal("%s: %s", qPrintable(procedure), qPrintable(description));
    }
    void resetGrid() override
    {
        m_grid.clear();
        m_grid.setRows(2);
        m_grid.setCols(5);
        m_grid.setFixedRows(1);
        m_grid.setFixedCols(1);
        m_grid.setRowTexts(0, {"No.", "状態", "フォルダ１", "フォルダ２", "ファイル/フォルダの相対パス"});
        m_grid.setCurrentCell(1, 1);
    }

private:
    platform::FlexGrid &m_grid;
    QElapsedTimer m_sincePump;
};

// The same host that also keeps the longest time between two calls (the window's worst
// wait for its events) and the longest time the events took in one call.
class WatchingHost : public BenchHost
{
public:
    using BenchHost::BenchHost;
    void pumpEvents() override
    {
        if (m_sinceCall.isValid())
            longestGapMs = std::max(longestGapMs, m_sinceCall.elapsed());
        QElapsedTimer events;
        events.start();
        BenchHost::pumpEvents();
        longestEventsMs = std::max(longestEventsMs, events.elapsed());
        m_sinceCall.start();
    }

    qint64 longestGapMs = 0;
    qint64 longestEventsMs = 0;

private:
    QElapsedTimer m_sinceCall;
};

QString sideRoot(int side)
{
    return treeFolder() + (side == 0 ? QStringLiteral("/one") : QStringLiteral("/two"));
}

QString listingPath(int side)
{
    return workFolder().filePath(QStringLiteral("%1.log").arg(side));
}

// Gathers both trees at once into their listing files; returns what each walk saw.
std::array<std::optional<GatheringFacts>, 2> gatherBoth(WorkHost &host)
{
    const std::vector<LocalSideResult> gathered
        = GatherLocalSides({{sideRoot(0), listingPath(0)}, {sideRoot(1), listingPath(1)}}, 999, host);
    std::array<std::optional<GatheringFacts>, 2> facts;
    for (int side = 0; side < 2; ++side) {
        if (gathered[size_t(side)].failure || gathered[size_t(side)].outcome.kind != GatherOutcome::Kind::Written)
            qFatal("gathering failed");
        facts[side] = gathered[size_t(side)].outcome.facts;
    }
    return facts;
}

// Gathers both trees and compares them into `grid`; returns the outcome.
CompareOutcome gatherAndCompare(platform::FlexGrid &grid, CompareHost &host, bool differencesOnly)
{
    CompareRequest request;
    const std::array<std::optional<GatheringFacts>, 2> facts = gatherBoth(host);
    for (int side = 0; side < 2; ++side) {
        request.gathered[side] = facts[side];
        request.hasInformation[side] = true;
        request.listingFile[side] = listingPath(side);
        request.sideRoot[side] = sideRoot(side);
        request.pathText[side] = sideRoot(side);
    }
    request.differencesOnly = differencesOnly;
    request.compareContents = false;
    request.listSubfolders = true;
    request.lineMax = 1000000;
    ContentComparer content({}, host);
    RowTipTable tips;
    return CompareListings(request, grid, tips, host, content);
}

// A program folder whose settings file raises the row limit and lists every row, as the
// unattended runs use it.
QTemporaryDir &programFolder()
{
    static QTemporaryDir folder;
    static const bool written = [] {
        QFile settings(folder.filePath(QStringLiteral("Dirgleam.ini")));
        return settings.open(QIODevice::WriteOnly) && settings.write("[DSP]\nLineMax=1000000\nNomi=0\nData=0\n") > 0;
    }();
    if (!written)
        qFatal("cannot write the settings file");
    return folder;
}

// Runs the built program unattended on the two trees with `switches` added; returns its
// exit status (-1 when it did not end).
int runUnattended(const QStringList &switches)
{
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DIRGLEAM_SUITE_FOLDER"), programFolder().path());
    run.setProcessEnvironment(environment);
    run.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/Dirgleam"),
              QStringList{sideRoot(0), sideRoot(1)} + switches);
    if (!run.waitForFinished(600000))
        return -1;
    return run.exitStatus() == QProcess::NormalExit ? run.exitCode() : -1;
}

// find, sort and join as one would script it: both lists sorted bytewise, then joined
// with the unpaired lines of each side kept.
bool findSortJoin()
{
    static const QString script = QStringLiteral(
        "set -e; export LC_ALL=C; cd \"$1\"; "
        "find one -printf '%P %T@ %s\\n' | sort > \"$2/one.txt\"; "
        "find two -printf '%P %T@ %s\\n' | sort > \"$2/two.txt\"; "
        "join -a 1 -a 2 \"$2/one.txt\" \"$2/two.txt\" > /dev/null");
    return QProcess::execute(QStringLiteral("bash"), {QStringLiteral("-c"), script, QStringLiteral("find-sort-join"),
                                                       treeFolder(), workFolder().path()})
           == 0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Each iteration runs all of them, one after the other, so that all meet the same machine.
void BM_SideBySide(benchmark::State &state)
{
    platform::FlexGrid grid;
    BenchHost host(grid);
    std::vector<double> gathering;
    std::vector<double> dirgleam;
    std::vector<double> unattended;
    std::vector<double> reference;
    CompareOutcome outcome;
    QElapsedTimer timer;
    const QStringList differencesAsCsv{QStringLiteral("-NT"),
                                       QStringLiteral("-C") + workFolder().filePath(QStringLiteral("differences.csv"))};
    for (auto _ : state) {
        timer.start();
        gatherBoth(host);
        gathering.push_back(double(timer.nsecsElapsed()) / 1e6);
        timer.start();
        outcome = gatherAndCompare(grid, host, true);
        dirgleam.push_back(double(timer.nsecsElapsed()) / 1e6);
        timer.start();
        if (runUnattended(differencesAsCsv) != 0)
            state.SkipWithError("the unattended run failed");
        unattended.push_back(double(timer.nsecsElapsed()) / 1e6);
        timer.start();
        if (!findSortJoin())
            state.SkipWithError("find, sort or join failed");
        reference.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    const double base = median(reference);
    state.counters["gather_ms"] = median(gathering);
    state.counters["dirgleam_ms"] = median(dirgleam);
    state.counters["unattended_ms"] = median(unattended);
    state.counters["find_sort_join_ms"] = base;
    state.counters["gather_ratio"] = median(gathering) / base;
    state.counters["ratio"] = median(dirgleam) / base;
    state.counters["unattended_ratio"] = median(unattended) / base;
    state.counters["rows"] = grid.rows() - 1;
    state.counters["steps"] = outcome.compareCount;
    state.counters["differing"] = outcome.diffRowCount;
    std::printf("Dirgleam / find+sort+join (medians against %.0f ms): gathering %.2f (%.0f ms), gather+compare %.2f "
                "(%.0f ms), unattended run %.2f (%.0f ms)\n",
                base, median(gathering) / base, median(gathering), median(dirgleam) / base, median(dirgleam),
                median(unattended) / base, median(unattended));
}

void BM_DirgleamAllRowsWithView(benchmark::State &state)
{
    platform::widgets::FlexGridView view;
    view.resize(1200, 800);
    view.show();
    QApplication::processEvents();
    WatchingHost host(*view.grid());
    for (auto _ : state)
        gatherAndCompare(*view.grid(), host, false);
    state.counters["rows"] = view.grid()->rows() - 1;
    state.counters["longest_ms_between_pumps"] = double(host.longestGapMs);
    state.counters["longest_ms_in_events"] = double(host.longestEventsMs);
}

// The three writers on the full list, each timed alone (the workbook holds its first
// 65,536 rows).
void BM_ExportFullList(benchmark::State &state)
{
    platform::FlexGrid grid;
    BenchHost host(grid);
    gatherAndCompare(grid, host, false);
    const QString root1 = treeFolder() + QStringLiteral("/one");
    const QString root2 = treeFolder() + QStringLiteral("/two");
    const foldercompare::ResultListExport source{
        {grid, {root1, root2}, {root1, root2}, QString()}, 1, {}, [&host] { host.pumpEvents(); }};
    std::vector<double> html;
    std::vector<double> csv;
    std::vector<double> excel;
    QElapsedTimer timer;
    for (auto _ : state) {
        timer.start();
        foldercompare::BatHtmlSave(source, workFolder().filePath(QStringLiteral("list.html")));
        html.push_back(double(timer.nsecsElapsed()) / 1e6);
        timer.start();
        foldercompare::BatCsvSave(source, foldercompare::CsvOptions{}, workFolder().filePath(QStringLiteral("list.csv")),
                                  QStringLiteral(","));
        csv.push_back(double(timer.nsecsElapsed()) / 1e6);
        timer.start();
        foldercompare::BatExcelSave(source, workFolder().filePath(QStringLiteral("list.xlsx")));
        excel.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    state.counters["rows"] = grid.rows() - 1;
    state.counters["html_ms"] = median(html);
    state.counters["csv_ms"] = median(csv);
    state.counters["workbook_ms"] = median(excel);
}

// Unattended runs of the built program on the two trees with every row listed: gather
// both sides, compare and write one export, as a script would run it. A workbook holds
// its first 65,536 rows, and the run says so with exit status 1.
void BM_UnattendedFullList(benchmark::State &state)
{
    const QString switches[] = {QStringLiteral("-H"), QStringLiteral("-C"), QStringLiteral("-E")};
    const QString names[] = {QStringLiteral("list.html"), QStringLiteral("list.csv"), QStringLiteral("list.xlsx")};
    const int expectedStatus[] = {0, 0, 1};
    const char *counters[] = {"html_run_ms", "csv_run_ms", "workbook_run_ms"};
    std::vector<double> times[3];
    QElapsedTimer timer;
    for (auto _ : state) {
        for (int kind = 0; kind < 3; ++kind) {
            const QString output = workFolder().filePath(names[kind]);
            QFile::remove(output);
            timer.start();
            if (runUnattended({switches[kind] + output}) != expectedStatus[kind] || !QFile::exists(output))
                state.SkipWithError("the unattended run failed");
            times[kind].push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    for (int kind = 0; kind < 3; ++kind)
        state.counters[counters[kind]] = median(times[kind]);
}

BENCHMARK(BM_SideBySide)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_DirgleamAllRowsWithView)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ExportFullList)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_UnattendedFullList)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    // Build the trees and warm the cache before anything is measured.
    std::fprintf(stderr, "trees in %s\n", qPrintable(treeFolder()));
    {
        platform::FlexGrid grid;
        BenchHost host(grid);
        gatherAndCompare(grid, host, true);
    }
    findSortJoin();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
