#include "foldercompare/window/frm_main.h"

#include "common/associated_program.h"
#include "common/common_module.h"
#include "common/dialogs/clipboard_drop_files.h"
#include "common/saved_error.h"
#include "foldercompare/listing/compare_item.h"
#include "foldercompare/listing/result_rows.h"
#include "platform/flex_grid.h"
#include "platform/process_starter.h"
#include "platform/shell_services.h"
#include "platform/user_dialogs.h"
#include "platform/widgets/flex_grid_view.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLineEdit>
#include <QUrl>

namespace foldercompare {

using listing::ResultColumn::Path;
using listing::ResultColumn::Side1;
using listing::ResultColumn::Side2;

namespace {

constexpr int PointerDefault = 0;
constexpr int PointerHourglass = 11;

const QString MissingFolder = QStringLiteral("フォルダが存在しません。　\r\n\r\n");
const QString MissingFile = QStringLiteral("ファイルが存在しません。　\r\n\r\n");

bool exists(const QString &path)
{
    return QFileInfo::exists(path);
}

bool isFolderPath(const QString &path)
{
    return path.endsWith(u'/');
}

// The small properties box shown when no file manager shows its own.
QString propertiesText(const QString &path)
{
    const QFileInfo info(path);
    const QString format = QStringLiteral("yyyy/MM/dd HH:mm:ss");
    QString text = QStringLiteral("名前 : ") + info.fileName() + QStringLiteral("\r\n場所 : ") + info.absolutePath()
                   + QStringLiteral("\r\n種類 : ") + (info.isDir() ? QStringLiteral("フォルダ") : QStringLiteral("ファイル"));
    if (!info.isDir())
        text += QStringLiteral("\r\nサイズ : ") + QString::number(info.size()) + QStringLiteral(" バイト");
    text += QStringLiteral("\r\n更新日時 : ") + info.lastModified().toString(format);
    text += QStringLiteral("\r\nアクセス日時 : ") + info.lastRead().toString(format);
    text += QStringLiteral("\r\n所有者 : ") + info.owner();
    text += QStringLiteral("\r\n読み取り専用 : ")
            + (info.permission(QFileDevice::WriteOwner) ? QStringLiteral("いいえ") : QStringLiteral("はい"));
    return text;
}

} // namespace

void Frm_Main::ClipBoardFOld_Click()
{
    try {
        ClipDropFile(0);
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("ClipBoardFOld_Click"));
    }
}

void Frm_Main::ClipBoardFNew_Click()
{
    try {
        ClipDropFile(1);
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("ClipBoardFNew_Click"));
    }
}

void Frm_Main::ClipDropFile(int side)
{
    const QString root = SideRoot[side];
    if (!exists(root)) {
        common::ShowMsg(MissingFolder + root);
        return;
    }
    try {
        MousePointer = PointerHourglass;
        setCursor(Qt::WaitCursor);
        const platform::FlexGrid &grid = *Grd_Compare;
        QString base = QFileInfo(root).isFile() ? QFileInfo(root).path() : root;
        if (base.endsWith(u'/'))
            base.chop(1);
        QStringList candidates;
        const std::array<int, 4> selection = GetSelection();
        for (int row = selection[0]; row <= selection[2]; ++row) {
            const QString relative = grid.textMatrix(row, Path);
            const QString path = relative.isEmpty() ? root : base + u'/' + relative;
            if (exists(path))
                candidates.append(path);
        }
        if (candidates.size() >= 2)
            listing::QuickSort(candidates, 0, candidates.size() - 1, 0, -1);
        QStringList kept;
        for (const QString &candidate : std::as_const(candidates)) {
            const bool below = std::any_of(kept.cbegin(), kept.cend(), [&candidate](const QString &folder) {
                return isFolderPath(folder) && candidate.startsWith(folder);
            });
            if (!below)
                kept.append(candidate);
        }
        for (QString &entry : kept)
            if (entry.endsWith(u'/') && entry.size() > 1)
                entry.chop(1);
        common::dialogs::ClipboardDropFiles(kept.isEmpty() ? QStringList{QString()} : kept);
        MousePointer = PointerDefault;
        unsetCursor();
    } catch (...) {
        common::SaveErr();
        MousePointer = PointerDefault;
        unsetCursor();
        common::ReportSavedErr(QStringLiteral("ClipDropFile"));
    }
}

QString Frm_Main::currentEntryPath() const
{
    const platform::FlexGrid &grid = *Grd_Compare;
    const int row = grid.row();
    const bool has1 = !grid.textMatrix(row, Side1).isEmpty();
    const bool has2 = !grid.textMatrix(row, Side2).isEmpty();
    int side = -1;
    if (grid.col() == Side1 && has1)
        side = 0;
    else if (grid.col() == Side2 && has2)
        side = 1;
    else if (has2)
        side = 1;
    else if (has1)
        side = 0;
    if (side < 0)
        return QString();
    QString path = SideRoot[side];
    if (!path.isEmpty() && QFileInfo(path).isDir()) {
        if (!path.endsWith(u'/'))
            path += u'/';
        path += grid.textMatrix(row, Path);
    }
    return path;
}

void Frm_Main::OpenExt_Click()
{
    try {
        const QString path = currentEntryPath();
        if (path.isEmpty())
            return;
        if (common::ShowMsg(QStringLiteral("関連づけられたプログラムを起動します。宜しいですか？　\r\n\r\n") + common::PrintablePath(path),
                            platform::MessageStyle::YesNo)
            != platform::MessageAnswer::Yes)
            return;
        const QFileInfo info(path);
        if (isFolderPath(path)) {
            if (!info.isDir()) {
                common::ShowMsg(MissingFolder + common::PrintablePath(path));
                return;
            }
        } else if (!info.isFile()) {
            common::ShowMsg(MissingFile + common::PrintablePath(path));
            return;
        }
        if (isFolderPath(path) || !info.suffix().isEmpty()) {
            if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
                throw common::Failure(53, QCoreApplication::applicationName(),
                                      QStringLiteral("関連づけられたプログラムを起動できません。 ") + common::PrintablePath(path));
            return;
        }
        // A file without an extension opens as a text.
        const QString program = common::GetAssociatedExe(QStringLiteral("txt"));
        if (program.isEmpty() || !platform::processStarter().startDetached(program, {path}))
            throw common::Failure(53, QCoreApplication::applicationName(),
                                  QStringLiteral("プログラムを起動できません。 ") + program + QStringLiteral(" \"")
                                      + common::PrintablePath(path) + u'"');
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("OpenExt_Click"));
    }
}

void Frm_Main::Properties_Click()
{
    try {
        const QString path = currentEntryPath();
        if (path.isEmpty())
            return;
        if (isFolderPath(path) ? !QFileInfo(path).isDir() : !QFileInfo(path).isFile()) {
            common::ShowMsg((isFolderPath(path) ? MissingFolder : MissingFile) + common::PrintablePath(path));
            return;
        }
        if (platform::ShowFileProperties(path) <= 32)
            common::ShowMsg(propertiesText(path), platform::MessageStyle::OkOnly, QStringLiteral("プロパティ"));
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("Properties_Click"));
    }
}

void Frm_Main::OpenText_Click()
{
    try {
        const QString path = currentEntryPath();
        if (path.isEmpty())
            return;
        if (isFolderPath(path)) {
            if (QFileInfo(path).isDir())
                common::ShowMsg(QStringLiteral("テキストエディタでフォルダを開く事は出来ません。　\r\n\r\n") + common::PrintablePath(path));
            else
                common::ShowMsg(MissingFolder + common::PrintablePath(path));
            return;
        }
        if (!QFileInfo(path).isFile()) {
            common::ShowMsg(MissingFile + common::PrintablePath(path));
            return;
        }
        const QString program = common::GetAssociatedExe(QStringLiteral("txt"));
        QString commandLine = program + QStringLiteral(" %F%");
        commandLine.replace(QStringLiteral("%F%"), u'"' + path + u'"');
        if (program.isEmpty() || !platform::processStarter().startDetached(program, {path}))
            common::ShowMsg(QStringLiteral("テキストエディタを起動出来ませんでした。　\r\n\r\n") + commandLine);
    } catch (...) {
        common::SaveErr();
        common::ReportSavedErr(QStringLiteral("OpenText_Click"));
    }
}

void Frm_Main::AllRowSelect_Click()
{
    QWidget *active = focusWidget();
    if (active == m_gridView) {
        try {
            platform::FlexGrid &grid = *Grd_Compare;
            if (grid.textMatrix(grid.fixedRows(), 0).isEmpty())
                return;
            grid.setSelection(grid.fixedRows(), grid.fixedCols(), grid.rows() - 1, grid.cols() - 1);
        } catch (...) {
            common::SaveErr();
            common::ReportSavedErr(QStringLiteral("AllRowSelect_Click"));
        }
        return;
    }
    if (auto *box = qobject_cast<QLineEdit *>(active))
        box->selectAll();
}

void Frm_Main::ClipBoardCopy_Click()
{
    try {
        const std::array<int, 4> selection = GetSelection();
        QWidget *active = focusWidget();
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (active == m_gridView) {
            LockControls(true);
            const platform::FlexGrid &grid = *Grd_Compare;
            QString text;
            for (int row = selection[0]; row <= selection[2]; ++row) {
                for (int col = selection[1]; col <= selection[3]; ++col) {
                    if (col > selection[1])
                        text += u'\t';
                    text += grid.textMatrix(row, col);
                }
                text += QStringLiteral("\r\n");
                QCoreApplication::processEvents();
            }
            clipboard->clear();
            clipboard->setText(text);
            LockControls(false);
        } else if (auto *box = qobject_cast<QLineEdit *>(active)) {
            clipboard->clear();
            clipboard->setText(box->selectedText());
        }
    } catch (...) {
        common::SaveErr();
        LockControls(false);
        common::ReportSavedErr(QStringLiteral("ClipBoardCopy_Click"));
    }
}

} // namespace foldercompare
