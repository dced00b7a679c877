#include "foldercompare/operations/result_list_export.h"

#include "common/common_module.h"

namespace foldercompare {

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
