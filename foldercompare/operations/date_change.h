#pragma once

#include "foldercompare/operations/operation_frame.h"

namespace foldercompare::operations {

// The date dialog's message and the caption of its box for the other side's dates, for
// a date change on side `side`.
QString DateChangeMessage(int side);
QString DateCopyCaption(int side);

// DateChange(p): gives the files of the selected rows on side p one typed date, or with
// "COPY" the date that the other side's column shows for the row. Folders, missing
// files and rows without a valid date are passed over; a read-only file that the user
// lets be changed keeps its attribute.
class DateChangeOperation final : public FileOperation
{
public:
    // `dateChgDtm`: "COPY" or "yyyy/mm/dd hh:mm:ss".
    DateChangeOperation(int side, QString dateChgDtm);

    const OperationWords &words() const override { return m_words; }
    QList<int> rootsToCheck() const override { return {m_side}; }
    int remoteSide() const override { return -1; }
    int refreshSide() const override { return m_side; }
    void handleRow(OperationFrame &frame, const OperationRow &row) override;
    QString resultText(const RunOutcome &outcome) const override;

    int filesChanged() const { return m_filesChanged; }

private:
    int m_side;
    QString m_dateChgDtm;
    OperationWords m_words;
    int m_filesChanged = 0;
};

} // namespace foldercompare::operations
