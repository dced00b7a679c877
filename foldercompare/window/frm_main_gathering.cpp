#include "foldercompare/window/frm_main.h"

#include "common/common_module.h"
#include "common/saved_error.h"
#include "foldercompare/listing/folder_services.h"
#include "foldercompare/listing/side_gathering.h"
#include "platform/user_dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QThread>

namespace foldercompare {

namespace {

const QString MissingText = QStringLiteral("フォルダまたはファイルが存在しません　");
const QString DownloadQuestion = QStringLiteral("指定のFTPフォルダまたはFTPファイルをダウンロードします。　\r\n"
                                                "宜しいですか？ (次回からは差分ダウンロードなので少し速いです)　\r\n\r\n"
                                                "(注意)FTPファイル名の漢字コード指定は宜しいですか？");

// The path text as gathering uses it: without line breaks and without blanks around it.
QString cleanedPath(QString text)
{
    text.remove(u'\r');
    text.remove(u'\n');
    qsizetype start = 0;
    while (start < text.size() && text[start] == u' ')
        ++start;
    qsizetype end = text.size();
    while (end > start && text[end - 1] == u' ')
        --end;
    return text.mid(start, end - start);
}

// A message's heading, an empty line, and each path printable on its own line.
QString headedPathList(const QString &heading, const QStringList &paths)
{
    QString text = heading + QStringLiteral("\r\n\r\n");
    for (const QString &path : paths)
        text += common::PrintablePath(path) + QStringLiteral("\r\n");
    return text;
}

QString seconds(qint64 milliseconds)
{
    return QString::number(double(milliseconds) / 1000.0, 'f', 1);
}

} // namespace

void Frm_Main::Btn_GetFileInfo_Sub(int side)
{
    QElapsedTimer timer;
    timer.start();
    gatherSide(side, timer, nullptr);
}

void Frm_Main::gatherSide(int side, const QElapsedTimer &timer, const listing::LocalSideResult *gatheredAtOnce)
{
    // A listing already written is taken even when an abort was asked for since.
    if (AbortFlag && !gatheredAtOnce)
        return;
    const int other = 1 - side;
    BusyFlag = true;
    auto endStep = [this] {
        GatherOnly = false;
        CompareWithoutAsking = false;
    };
    try {
        const QString text = cleanedPath(Txt_FolderPath[side]->text());
        Txt_FolderPath[side]->setText(text);
        if (text.isEmpty()) {
            common::ShowMsg(QStringLiteral("フォルダを指定してください。　"));
            endStep();
            return;
        }
        if (side == 0 && !Txt_FileInfoDate[0]->text().isEmpty() && Txt_FolderPath[1]->text() == text
            && common::ShowMsg(QStringLiteral("フォルダ１（旧）のファイル情報を取得します。　\r\n宜しいですか？"),
                               platform::MessageStyle::YesNo)
                   == platform::MessageAnswer::No) {
            endStep();
            return;
        }
        QCoreApplication::processEvents();
        const bool ftp = text.startsWith(QLatin1String("ftp://"));
        QString gathered = text;
        listing::GatherOutcome outcome;
        QStringList refusedFiles;
        if (ftp) {
            // A new address starts a new mirror; the same address downloads only what changed.
            if (text != GatheredPath[side] && InstanceNumber == 1) {
                if (common::ShowMsg(DownloadQuestion, platform::MessageStyle::YesNo) == platform::MessageAnswer::No) {
                    endStep();
                    return;
                }
                QCoreApplication::processEvents();
                listing::DeleteFolderIfExists(FtpCacheFolder[side]);
            }
            LockControls(true);
            bool created = false;
            listing::CreateFolder(FtpCacheFolder[side], 0, created);
            listing::FtpGathering gathering{.host = *this,
                                            .proxy = Server_FTP,
                                            .folderNum = FolderNum,
                                            .wait = [](int milliseconds) { QThread::msleep(milliseconds); }};
            outcome = listing::GatherFtpSide(gathered, FileInfoLog[side], FtpCacheFolder[side], SideFileNameCode[side],
                                             gathering);
            if (outcome.kind == listing::GatherOutcome::Kind::RootUnreadable) {
                setWindowTitle(BaseCaption);
                LockControls(false);
                // The server's reason follows on the next line.
                common::ShowMsg(gathering.failure.isEmpty() ? MissingText
                                                            : MissingText + QStringLiteral("\r\n") + gathering.failure);
                endStep();
                return;
            }
            refusedFiles = gathering.refusedFiles;
            SideFileNameCode[side] = outcome.fileNameCode;
            Txt_FolderPath[side]->setText(gathered);
        } else if (gatheredAtOnce) {
            if (gatheredAtOnce->failure)
                std::rethrow_exception(gatheredAtOnce->failure);
            outcome = gatheredAtOnce->outcome;
        } else {
            if (!QFileInfo::exists(text)) {
                common::ShowMsg(MissingText);
                endStep();
                return;
            }
            LockControls(true);
            outcome = listing::GatherLocalSide(text, FileInfoLog[side], FolderNum, *this);
        }
        setWindowTitle(BaseCaption);
        if (outcome.kind != listing::GatherOutcome::Kind::Written) {
            LockControls(false);
            endStep();
            return;
        }
        if (!outcome.excludedPaths.isEmpty())
            common::ShowMsg(headedPathList(QStringLiteral("未対応のファイル名(UNICODE？)を一覧から除外します。ごめんなさい。　　"),
                                           outcome.excludedPaths));
        if (!outcome.linksLeadingNowhere.isEmpty())
            common::ShowMsg(headedPathList(QStringLiteral("リンク先がないリンクを一覧から除外します。　"),
                                           outcome.linksLeadingNowhere));
        if (!refusedFiles.isEmpty()) {
            // Their rows carry the listed values without a copy to compare: an unattended
            // run has not done all its work.
            if (common::BatchMode)
                common::BatchFailed = true;
            common::ShowMsg(headedPathList(
                QStringLiteral("サーバーが送らなかったファイルがあります。一覧の日時とサイズで表示します。　"), refusedFiles));
        }

        // The path and its side's root change only now that its listing is complete.
        if (!Txt_FileInfoDate[side]->text().isEmpty())
            CompareWithoutAsking = true;
        GatheredPath[side] = gathered;
        m_gathered[side] = outcome.facts;
        SetFileInfoDate(side);
        SideRoot[side] = sideRootFor(side);

        const QString number = QString::number(side + 1);
        setStatus(side + 1, QStringLiteral("フォルダ") + number + QStringLiteral("件数:") + QString::number(outcome.writtenCount));
        setStatusTip(side + 1, QStringLiteral("フォルダ") + number + QStringLiteral("取得時間:") + seconds(timer.elapsed())
                                   + QStringLiteral("秒"));
        if (Txt_FileInfoDate[other]->text().isEmpty()) {
            const QString otherNumber = QString::number(other + 1);
            setStatus(other + 1, QStringLiteral("フォルダ") + otherNumber + QStringLiteral("件数:0"));
            setStatusTip(other + 1, QStringLiteral("フォルダ") + otherNumber + QStringLiteral("取得時間:0.0秒"));
        }

        if (InputEventsOn && !GatherOnly && !AbortFlag) {
            if (!Txt_FileInfoDate[other]->text().isEmpty()) {
                if (CompareWithoutAsking) {
                    Btn_Compare_Sub();
                } else if (common::ShowMsg(QStringLiteral("比較表示します。宜しいですか？　"), platform::MessageStyle::YesNo)
                           == platform::MessageAnswer::Yes) {
                    Btn_Compare_Sub();
                    QCoreApplication::processEvents();
                }
            } else {
                Btn_Compare_Sub();
            }
        }
        LockControls(false);
        endStep();
    } catch (...) {
        common::SaveErr();
        endStep();
        LockControls(false);
        setWindowTitle(BaseCaption);
        common::ReportSavedErr(QStringLiteral("Btn_GetFileInfo_Sub"));
    }
}

void Frm_Main::Btn_GetFileInfo_Click(int side)
{
    openBusyBracket();
    try {
        Btn_GetFileInfo_Sub(side);
    } catch (...) {
        // The gathering reports its own failures; the button ends quietly.
    }
    closeBusyBracket();
}

void Frm_Main::Btn_GetFileInfoAll_Click()
{
    openBusyBracket();
    try {
        if (!Txt_FolderPath[0]->text().isEmpty()) {
            GatherOnly = true;
            Btn_GetFileInfo_Sub(0);
        }
        if (!Txt_FolderPath[1]->text().isEmpty()) {
            GatherOnly = true;
            Btn_GetFileInfo_Sub(1);
        }
        Btn_Compare_Sub();
    } catch (...) {
        // Failures end the command quietly.
    }
    closeBusyBracket();
}

void Frm_Main::Mnu_GetFileInfoAll_Click()
{
    Btn_GetFileInfoAll_Click();
}

void Frm_Main::Mnu_DiffClear_Click()
{
    try {
        if (common::ShowMsg(QStringLiteral("クリアします。宜しいですか？　"), platform::MessageStyle::YesNo)
            == platform::MessageAnswer::No)
            return;
        for (int side = 0; side < 2; ++side) {
            Txt_FolderPath[side]->clear();
            SideRoot[side].clear();
        }
        GridInit();
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("Mnu_DiffClear_Click"));
    }
}

void Frm_Main::SetFileInfoDate(int side)
{
    try {
        const QFileInfo listing(FileInfoLog[side]);
        if (listing.exists())
            Txt_FileInfoDate[side]->setText(listing.lastModified().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("SetFileInfoDate"));
    }
}

bool Frm_Main::gatherGivenPaths()
{
    for (int side = 0; side < 2; ++side) {
        Txt_FileInfoDate[side]->clear();
        listing::DeleteFolderIfExists(FtpCacheFolder[side]);
    }
    if (InstanceNumber != 1) {
        for (int side = 0; side < 2; ++side) {
            const QString handedOver = HandOverFolder + u'/' + QString::number(side) + QStringLiteral(".ftp");
            if (QFileInfo(handedOver).isDir())
                QDir().rename(handedOver, FtpCacheFolder[side]);
        }
    }
    // Two local sides are read at once; otherwise (an FTP side, a side left empty or
    // missing) each side is gathered in its turn.
    if (!gatherLocalSidesAtOnce()) {
        if (!Txt_FolderPath[0]->text().isEmpty())
            Btn_GetFileInfo_Sub(0);
        if (!Txt_FolderPath[1]->text().isEmpty())
            Btn_GetFileInfo_Sub(1);
    }
    return !Txt_FileInfoDate[0]->text().isEmpty() || !Txt_FileInfoDate[1]->text().isEmpty();
}

bool Frm_Main::gatherLocalSidesAtOnce()
{
    if (AbortFlag)
        return false;
    std::array<QString, 2> texts;
    for (int side = 0; side < 2; ++side) {
        texts[side] = cleanedPath(Txt_FolderPath[side]->text());
        if (texts[side].isEmpty() || texts[side].startsWith(QLatin1String("ftp://")) || !QFileInfo::exists(texts[side]))
            return false;
    }
    BusyFlag = true;
    QElapsedTimer timer;
    timer.start();
    std::vector<listing::LocalSideResult> results;
    try {
        LockControls(true);
        results = listing::GatherLocalSides({{texts[0], FileInfoLog[0]}, {texts[1], FileInfoLog[1]}}, FolderNum, *this);
    } catch (...) {
        common::SaveErr();
        LockControls(false);
        setWindowTitle(BaseCaption);
        common::ReportSavedErr(QStringLiteral("Btn_GetFileInfo_Sub"));
        return true;
    }
    // Each side then takes its listing in its turn, as a side gathered alone does: its
    // messages, its failure, its status panel.
    for (int side = 0; side < 2; ++side)
        gatherSide(side, timer, &results[size_t(side)]);
    return true;
}

} // namespace foldercompare
