#pragma once

#include "platform/user_dialogs.h"

#include <QList>
#include <QQueue>

#include <functional>

namespace platform::testing {

// UserDialogs for tests: records every message box and file dialog and answers from a
// script. It
// installs itself on construction and restores the silent dialogs when destroyed.
class ScriptedDialogs final : public UserDialogs
{
public:
    struct Shown
    {
        QString prompt;
        int style = 0;
        QString title;
    };

    // An open or save dialog as it was asked for.
    struct FileDialog
    {
        bool save = false;
        QString title;
        QString initialPath;
        QList<FileFilter> filters;
        int initialFilter = 0;
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;

    // Answers for the next message boxes, in order; when the queue is empty a box gets
    // the automatic answer of its style.
    void answerNext(int answer) { m_answers.enqueue(answer); }
    void chooseNextFile(const ChosenFile &file) { m_files.enqueue(file); }
    void chooseNextColor(quint32 color) { m_colors.enqueue(color); }
    void chooseNextFolder(const QString &folder) { m_folders.enqueue(folder); }

    const QList<Shown> &shown() const { return m_shown; }
    const QList<FileDialog> &fileDialogs() const { return m_fileDialogs; }
    QStringList prompts() const;
    void clear() { m_shown.clear(); }

    int messageBox(const QString &prompt, int style, const QString &title) override;
    std::optional<ChosenFile> openFile(const QString &title, const QString &initialPath,
                                       const QList<FileFilter> &filters, int initialFilter) override;
    std::optional<ChosenFile> saveFile(const QString &title, const QString &initialPath,
                                       const QList<FileFilter> &filters, int initialFilter) override;
    std::optional<quint32> chooseColor(quint32 initialColor) override;
    QString browseFolder(const QString &title, const QString &initialFolder) override;

private:
    QQueue<int> m_answers;
    QQueue<ChosenFile> m_files;
    QQueue<quint32> m_colors;
    QQueue<QString> m_folders;
    QList<Shown> m_shown;
    QList<FileDialog> m_fileDialogs;
};

} // namespace platform::testing
