#include "foldercompare/operations/result_list_export.h"

#include "common/common_module.h"

namespace foldercompare {

std::array<QString, 2> ResultListExport::shownFolderPaths() const
{
    return {common::PasswordHidden(rows.folderPath[0]), common::PasswordHidden(rows.folderPath[1])};
}

bool SkipsExportWithoutDifference(qint32 diffRowCount)
{
    const QVariant &noSame = common::CommandLineOptions[1];
    return common::BatchMode && !noSame.isNull() && noSame.toBool() && diffRowCount < 1;
}

void RunPerRowOutputs(const ResultListExport &source, ReportKind kind, const QString &reportPath,
                      const QString &separator)
{
    if (!source.perRow.on())
        return;
    RunPerRowDiffs(source.rows, kind, reportPath, source.perRow.differencesOnly, source.perRow.automaticFactor,
                   separator);
}

} // namespace foldercompare
