#include "platform/widgets/widget_dialogs.h"

#include "platform/widgets/bgr_qcolor.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

namespace platform::widgets {

namespace {

QWidget *owner()
{
    return QApplication::activeWindow();
}

QString windowTitle(const QString &title)
{
    return title.isEmpty() ? QCoreApplication::applicationName() : title;
}

// The buttons of each style in their order on the box, with their answers.
QList<std::pair<QMessageBox::StandardButton, int>> buttonsOf(int style)
{
    using Box = QMessageBox;
    switch (style & 7) {
    case MessageStyle::OkCancel:
        return {{Box::Ok, MessageAnswer::Ok}, {Box::Cancel, MessageAnswer::Cancel}};
    case MessageStyle::AbortRetryIgnore:
        return {{Box::Abort, MessageAnswer::Abort}, {Box::Retry, MessageAnswer::Retry}, {Box::Ignore, MessageAnswer::Ignore}};
    case MessageStyle::YesNoCancel:
        return {{Box::Yes, MessageAnswer::Yes}, {Box::No, MessageAnswer::No}, {Box::Cancel, MessageAnswer::Cancel}};
    case MessageStyle::YesNo:
        return {{Box::Yes, MessageAnswer::Yes}, {Box::No, MessageAnswer::No}};
    case MessageStyle::RetryCancel:
        return {{Box::Retry, MessageAnswer::Retry}, {Box::Cancel, MessageAnswer::Cancel}};
    default:
        return {{Box::Ok, MessageAnswer::Ok}};
    }
}

QMessageBox::Icon iconOf(int style)
{
    switch (style & 0x70) {
    case MessageStyle::IconCritical: return QMessageBox::Critical;
    case MessageStyle::IconQuestion: return QMessageBox::Question;
    case MessageStyle::IconExclamation: return QMessageBox::Warning;
    case MessageStyle::IconInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

// "Text (*.txt *.csv)" for each file type.
QStringList nameFilters(const QList<FileFilter> &filters)
{
    QStringList result;
    for (const FileFilter &filter : filters)
        result.append(QStringLiteral("%1 (%2)").arg(filter.caption, filter.patterns.join(u' ')));
    return result;
}

std::optional<ChosenFile> runFileDialog(QFileDialog::AcceptMode mode, const QString &title, const QString &initialPath,
                                        const QList<FileFilter> &filters, int initialFilter)
{
    QFileDialog dialog(owner(), windowTitle(title));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const QStringList names = nameFilters(filters);
    if (!names.isEmpty()) {
        dialog.setNameFilters(names);
        dialog.selectNameFilter(names.value(initialFilter, names.first()));
    }
    if (!initialPath.isEmpty()) {
        const QFileInfo info(initialPath);
        if (info.isDir())
            dialog.setDirectory(initialPath);
        else
            dialog.selectFile(initialPath);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return ChosenFile{dialog.selectedFiles().first(), std::max(0, int(names.indexOf(dialog.selectedNameFilter())))};
}

} // namespace

WidgetDialogs::WidgetDialogs()
{
    installDialogs(this);
}

WidgetDialogs::~WidgetDialogs()
{
    if (&dialogs() == this)
        installDialogs(nullptr);
}

int WidgetDialogs::messageBox(const QString &prompt, int style, const QString &title)
{
    QString text = prompt;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QMessageBox box(iconOf(style), windowTitle(title), text, QMessageBox::NoButton, owner());
    box.setTextFormat(Qt::PlainText);
    const auto buttons = buttonsOf(style);
    QList<QAbstractButton *> added;
    for (const auto &[button, answer] : buttons)
        added.append(box.addButton(button));
    const int defaultIndex = (style & MessageStyle::DefaultButton3) ? 2 : (style & MessageStyle::DefaultButton2) ? 1 : 0;
    box.setDefaultButton(static_cast<QPushButton *>(added.value(defaultIndex, added.first())));
    box.exec();
    const QAbstractButton *clicked = box.clickedButton();
    for (qsizetype i = 0; i < added.size(); ++i) {
        if (added[i] == clicked)
            return buttons[i].second;
    }
    // Closed without a button: the answer of the box's way out.
    for (const auto &[button, answer] : buttons) {
        if (answer == MessageAnswer::Cancel || answer == MessageAnswer::No)
            return answer;
    }
    return buttons.first().second;
}

std::optional<ChosenFile> WidgetDialogs::openFile(const QString &title, const QString &initialPath,
                                                  const QList<FileFilter> &filters, int initialFilter)
{
    return runFileDialog(QFileDialog::AcceptOpen, title, initialPath, filters, initialFilter);
}

std::optional<ChosenFile> WidgetDialogs::saveFile(const QString &title, const QString &initialPath,
                                                  const QList<FileFilter> &filters, int initialFilter)
{
    return runFileDialog(QFileDialog::AcceptSave, title, initialPath, filters, initialFilter);
}

std::optional<quint32> WidgetDialogs::chooseColor(quint32 initialColor)
{
    const QColor chosen = QColorDialog::getColor(colorFromBgr(initialColor), owner());
    if (!chosen.isValid())
        return std::nullopt;
    return bgrFromColor(chosen);
}

QString WidgetDialogs::browseFolder(const QString &title, const QString &initialFolder)
{
    return QFileDialog::getExistingDirectory(owner(), windowTitle(title), initialFolder);
}

} // namespace platform::widgets
