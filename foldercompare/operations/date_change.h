#pragma once

#include "foldercompare/operations/operation_frame.h"

#include <QDateTime>

namespace foldercompare::operations {

// The date dialog's message and the caption of its box for the other side's dates, for
// a date change on side `side`.
QString DateChangeMessage(int side);
QString DateCopyCaption(int side);

// DateChange(p): gives the files of the selected rows on side p one typed date, or with
// "COPY" the time stamp of the row's file on the other side. Folders, missing files and
// rows without a date on the other side are passed over; a typed time that daylight
// saving skips, and a date that the file system did not keep as asked (read back after
// setting) fail their rows. Such a file gets its previous times back; when even that
// fails, the side counts as changed. A read-only file that the user lets be changed
// keeps its attribute. A local row that is a symbolic
// link, or lies below one, fails: nothing is changed through a link. A file is changed
// only while it is still what the comparison showed (OperationFrame::asCompared): one
// saved since, or gone since, keeps its date, its row is listed and the refresh offered.
// A file re-dated is what the comparison holds from then on.
class DateChangeOperation final : public FileOperation
{
public:
    // `dateChgDtm`: "COPY" or "yyyy/mm/dd hh:mm:ss".
    DateChangeOperation(int side, QString dateChgDtm);

    const OperationWords &words() const override { return m_words; }
    QList<int> rootsToCheck() const override { return {m_side}; }
    QList<int> remoteSides() const override { return {}; }
    int refreshSide() const override { return m_side; }
    void handleRow(OperationFrame &frame, const OperationRow &row) override;
    int rowsDone() const override { return m_filesChanged; }

    int filesChanged() const { return m_filesChanged; }

private:
    int m_side;
    QString m_dateChgDtm;
    // The typed date, read once; invalid for "COPY", for no date and for a time that
    // daylight saving skips.
    QDateTime m_typedDate;
    OperationWords m_words;
    int m_filesChanged = 0;
};

} // namespace foldercompare::operations
