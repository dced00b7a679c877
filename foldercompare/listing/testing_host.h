#pragma once

#include "foldercompare/listing/listing_compare.h"
#include "platform/flex_grid.h"
#include "platform/testing/deep_chain.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace foldercompare::listing::testing {

// A host for the listing's long work in tests: counts the event pumps, records captions
// and failures, and asks to abort once a set number of pumps has passed.
class RecordingHost : public CompareHost
{
public:
    explicit RecordingHost(platform::FlexGrid *grid = nullptr)
        : m_grid(grid)
    {
    }

    bool abortRequested() const override { return abortAfterPumps >= 0 && pumps >= abortAfterPumps; }
    void pumpEvents() override { ++pumps; }
    void showProgress(const QString &caption) override { captions.append(caption); }
    void reportFailure(const QString &procedure, const QString &description) override
    {
        failures.append(procedure + QStringLiteral(": ") + description);
    }
    void resetGrid() override
    {
        platform::FlexGrid &grid = *m_grid;
        grid.clear();
        grid.setRows(2);
        grid.setCols(5);
        grid.setFixedRows(1);
        grid.setFixedCols(1);
        grid.setRowTexts(0, {"No.", "状態", "フォルダ１", "フォルダ２", "ファイル/フォルダの相対パス"});
        grid.setCurrentCell(1, 1);
    }

    int abortAfterPumps = -1;
    int pumps = 0;
    QStringList captions;
    QStringList failures;

private:
    platform::FlexGrid *m_grid;
};

// Sets the modification (and access) time of `path` without following a last link.
inline void setModified(const QString &path, qint64 seconds)
{
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    utimensat(AT_FDCWD, path.toUtf8().constData(), times, AT_SYMLINK_NOFOLLOW);
}

using platform::testing::DeepChain;

} // namespace foldercompare::listing::testing
