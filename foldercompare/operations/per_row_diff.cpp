#include "foldercompare/operations/per_row_diff.h"

#include "common/common_module.h"
#include "common/ftp_password_handover.h"
#include "common/saved_error.h"
#include "foldercompare/listing/result_rows.h"
#include "platform/flex_grid.h"
#include "platform/process_starter.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>

namespace foldercompare {

namespace {

constexpr int WaitSliceMilliseconds = 100;
constexpr qint32 ViewerFailure = 9998;

QString rowDigits(int row)
{
    return QStringLiteral("%1").arg(row, 8, 10, QLatin1Char('0'));
}

// The report's file name without its last extension, and that extension.
std::pair<QString, QString> baseAndExtension(const QString &reportPath)
{
    const QString name = QFileInfo(reportPath).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return {name, QString()};
    return {name.left(dot), name.mid(dot + 1)};
}

[[noreturn]] void fail(const QString &description)
{
    throw common::Failure(ViewerFailure, QStringLiteral("Dirgleam"), description);
}

} // namespace

QString DiffPageFolder(const QString &reportPath)
{
    return QFileInfo(reportPath).path() + u'/' + baseAndExtension(reportPath).first + QStringLiteral(".dir");
}

QString PerRowFilePath(const QString &reportPath, int row)
{
    return DiffPageFolder(reportPath) + u'/' + rowDigits(row) + u'.' + baseAndExtension(reportPath).second;
}

QString PerRowLinkName(const QString &reportPath, int row)
{
    const auto [base, extension] = baseAndExtension(reportPath);
    return base + QStringLiteral(".dir/") + rowDigits(row) + u'.' + extension;
}

QStringList PerRowOptions(ReportKind kind, const QString &perRowFile, bool differencesOnly, bool automaticFactor,
                          const QString &separator)
{
    const QString kindSwitch = kind == ReportKind::Html  ? QStringLiteral("-H")
                               : kind == ReportKind::Csv ? QStringLiteral("-C")
                                                         : QStringLiteral("-E");
    QStringList options{kindSwitch + perRowFile};
    if (differencesOnly)
        options.append(QStringLiteral("-N"));
    if (automaticFactor)
        options.append(QStringLiteral("-K"));
    if (kind == ReportKind::Csv) {
        if (separator == u"\t")
            options.append(QStringLiteral("-STAB"));
        else if (separator != u",")
            options.append(QStringLiteral("-S") + separator);
    }
    return options;
}

bool IsPerRowEligible(const platform::FlexGrid &grid, int row)
{
    return row >= 1 && listing::IsDifferenceStatus(grid.textMatrix(row, listing::ResultColumn::Status))
           && !grid.textMatrix(row, listing::ResultColumn::Path).endsWith(u'/');
}

QString PerRowSideFile(const PerRowDiffSource &source, int row, int side)
{
    if (source.grid.textMatrix(row, listing::ResultColumn::Side1 + side).isEmpty())
        return {};
    return listing::RowEntryPath(source.sideRoot[size_t(side)], source.folderPath[size_t(side)],
                                 source.grid.textMatrix(row, listing::ResultColumn::Path));
}

void WaitUntilEnded(QProcess &process, int sliceMilliseconds, const std::function<void()> &letEventsRun)
{
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(sliceMilliseconds))
        letEventsRun();
}

void TxtDifAuto_File(const PerRowDiffSource &source, int row, const QStringList &options)
{
    try {
        QString handOver;
        const QStringList arguments = common::ArgumentsWithoutFtpPasswords(
            {PerRowSideFile(source, row, 0), PerRowSideFile(source, row, 1)}, options, handOver);
        // The viewer removes the file once it read it; this removes it in any case.
        const auto removeHandOver = qScopeGuard([&handOver] {
            if (!handOver.isEmpty())
                QFile::remove(handOver);
        });
        if (const QString refusal = platform::siblingStartRefusal(source.viewerExePath); !refusal.isEmpty())
            fail(refusal);
        QProcess viewer;
        viewer.start(source.viewerExePath, arguments);
        if (!viewer.waitForStarted())
            fail(QStringLiteral("テキスト差分表示ツールを起動できません。 ") + source.viewerExePath + QStringLiteral(" (")
                 + viewer.errorString() + u')');
        WaitUntilEnded(viewer, WaitSliceMilliseconds, [] { QCoreApplication::processEvents(); });
        if (viewer.exitStatus() != QProcess::NormalExit || viewer.exitCode() != 0) {
            const QString message = QString::fromLocal8Bit(viewer.readAllStandardError()).trimmed();
            fail(QStringLiteral("テキスト差分ファイルを書けませんでした。 ") + options.value(0).mid(2)
                 + (message.isEmpty() ? QString() : QStringLiteral("\r\n") + message));
        }
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("TxtDifAuto_File"));
    }
}

void RunPerRowDiffs(const PerRowDiffSource &source, ReportKind kind, const QString &reportPath,
                    bool differencesOnly, bool automaticFactor, const QString &separator)
{
    for (int row = 1; row < source.grid.rows(); ++row) {
        if (IsPerRowEligible(source.grid, row))
            TxtDifAuto_File(source, row,
                            PerRowOptions(kind, PerRowFilePath(reportPath, row), differencesOnly, automaticFactor,
                                          separator));
        QCoreApplication::processEvents();
    }
}

} // namespace foldercompare
