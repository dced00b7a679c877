#pragma once

#include "foldercompare/listing/side_gathering.h"
#include "foldercompare/listing/testing_host.h"
#include "foldercompare/operations/operation_frame.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/testing/temporary_folder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace foldercompare::operations::testing {

// The temporary files in `folder`.
inline QStringList temporaries(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral(".*.tmp")}, QDir::Files | QDir::Hidden);
}

// Waits up to 30 seconds until `done` holds.
inline bool waitFor(const std::function<bool()> &done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 30000)
        QThread::msleep(10);
    return done();
}

// Answers every box with Yes, running `onQuestion` first at a Yes/No question.
class QuestionHook final : public platform::UserDialogs
{
public:
    explicit QuestionHook(std::function<void()> onQuestion)
        : m_onQuestion(std::move(onQuestion))
    {
        platform::installDialogs(this);
    }
    ~QuestionHook() override { platform::installDialogs(nullptr); }
    int messageBox(const QString &prompt, int style, const QString &) override
    {
        prompts.append(prompt);
        if (style == platform::MessageStyle::YesNo && m_onQuestion)
            std::exchange(m_onQuestion, nullptr)();
        return platform::automaticAnswer(style);
    }
    std::optional<platform::ChosenFile> openFile(const QString &, const QString &, const QList<platform::FileFilter> &,
                                                 int) override
    {
        return std::nullopt;
    }
    std::optional<platform::ChosenFile> saveFile(const QString &, const QString &, const QList<platform::FileFilter> &,
                                                 int) override
    {
        return std::nullopt;
    }
    std::optional<quint32> chooseColor(quint32) override { return std::nullopt; }
    QString browseFolder(const QString &, const QString &) override { return {}; }

    QStringList prompts;

private:
    std::function<void()> m_onQuestion;
};

// The window as a test plays it: it records the busy state, the progress calls and the
// refreshes, can ask to abort or cancel, and runs `onRow` at each row's progress step.
class RecordingHost final : public OperationHost
{
public:
    bool abortRequested() const override { return abort; }
    void setBusy(bool busy) override { busyChanges.append(busy); }
    void progressStart(const QString &message) override { progressMessages.append(message); }
    void progressUpdate(double percent) override
    {
        percents.append(percent);
        if (onRow)
            onRow(int(percents.size()) - 1);
    }
    void progressEnd() override { ++progressEnds; }
    bool progressCancelled() const override { return cancelled; }
    void progressVisible(bool visible) override { visibility.append(visible); }
    void pumpEvents() override { ++pumps; }
    void refreshSide(int side) override { refreshed.append(side); }

    bool abort = false;
    bool cancelled = false;
    int progressEnds = 0;
    int pumps = 0;
    QList<bool> busyChanges;
    QStringList progressMessages;
    QList<double> percents;
    QList<bool> visibility;
    QList<int> refreshed;
    std::function<void(int row)> onRow;
};

// Two local sides "one" and "two" in a temporary folder, scripted boxes, and the
// desktop's trash in a folder of the test.
class OperationsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_savedDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", m_home.filePath("data").toUtf8());
        m_trees.makeFolder("one");
        m_trees.makeFolder("two");
    }
    void TearDown() override
    {
        if (m_savedDataHome.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", m_savedDataHome);
    }

    OperationSides localSides(bool recyclerBackup = false) const
    {
        OperationSides sides;
        sides.sideRoot = {tree("one"), tree("two")};
        sides.pathBox = sides.sideRoot;
        sides.recyclerBackup = recyclerBackup;
        sides.binJdExt = {QStringLiteral("exe"), QStringLiteral("png")};
        return sides;
    }
    // `sides` with each side that no comparison has read yet (listing::ComparedListing)
    // read as a comparison right now would read it: a local side gathered into a listing
    // of the test, with the facts of its gathering; an FTP side's server gathered into a
    // mirror of the test's own, so that the side's mirror stays as the test left it.
    OperationSides compared(OperationSides sides) const
    {
        for (int side = 0; side < 2; ++side) {
            const QString &root = sides.sideRoot[side];
            if (root.isEmpty() || !sides.compared[side].root().isEmpty())
                continue;
            const QString listingFile = m_listings.filePath(QStringLiteral("%1.log").arg(side));
            listing::testing::RecordingHost host;
            if (sides.pathBox[side].startsWith(QStringLiteral("ftp://"))) {
                listing::FtpGathering gathering{.host = host, .proxy = sides.proxy,
                                                .wait = [](int milliseconds) { QThread::msleep(milliseconds); }};
                QString address = sides.pathBox[side];
                const QString mirror = m_listings.filePath(QStringLiteral("mirror%1").arg(side));
                QDir(mirror).removeRecursively();
                QDir().mkpath(mirror);
                if (listing::GatherFtpSide(address, listingFile, mirror, sides.fileNameCode[side], gathering).kind
                    == listing::GatherOutcome::Kind::Written)
                    sides.compared[side] = listing::ComparedListing(root, !QFileInfo(root).isDir(), read(listingFile),
                                                                    std::nullopt);
                continue;
            }
            const listing::GatherOutcome outcome = listing::GatherLocalSide(root, listingFile, sides.folderNum, host);
            sides.compared[side] = listing::ComparedListing(root, !QFileInfo(root).isDir(), read(listingFile), outcome.facts);
        }
        return sides;
    }
    // Runs `operation` over `rows` of `sides`, compared just before unless the test
    // compared them itself (compared()).
    bool run(FileOperation &operation, const QList<OperationRow> &rows, const OperationSides &sides)
    {
        OperationFrame frame(m_host, compared(sides), rows);
        const bool ran = frame.run(operation);
        m_readOnlyList = frame.readOnlyList();
        m_errorList = frame.errorList();
        return ran;
    }
    static QList<OperationRow> rows(const QStringList &paths)
    {
        QList<OperationRow> result;
        for (const QString &path : paths)
            result.append({QString(), QString(), path});
        return result;
    }
    // The same rows as the list shows them where both sides had the file at the comparison.
    static QList<OperationRow> rowsOnBoth(const QStringList &paths)
    {
        const QString date = QStringLiteral(" 2020/01/01 00:00:00 ");
        QList<OperationRow> result;
        for (const QString &path : paths)
            result.append({date, date, path});
        return result;
    }
    QString tree(const QString &relative) const { return m_trees.filePath(relative); }
    QString file(const QString &relative, const QByteArray &content) const
    {
        return m_trees.writeFile(relative, content);
    }
    static QByteArray read(const QString &path) { return platform::testing::TemporaryFolder::readFile(path); }
    QStringList trashed() const
    {
        return QDir(m_home.filePath("data/Trash/files")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }
    // The records of the items in the trash.
    QStringList trashRecords() const
    {
        return QDir(m_home.filePath("data/Trash/info")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }
    // The last box's prompt.
    QString lastPrompt() const { return m_dialogs.prompts().value(m_dialogs.prompts().size() - 1); }

    platform::testing::TemporaryFolder m_trees;
    platform::testing::TemporaryFolder m_home;
    platform::testing::TemporaryFolder m_listings;
    platform::testing::ScriptedDialogs m_dialogs;
    RecordingHost m_host;
    QString m_readOnlyList;
    QString m_errorList;
    QByteArray m_savedDataHome;
};

} // namespace foldercompare::operations::testing
