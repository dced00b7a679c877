#include "platform/testing/scripted_dialogs.h"

namespace platform::testing {

ScriptedDialogs::ScriptedDialogs()
{
    installDialogs(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    installDialogs(nullptr);
}

QStringList ScriptedDialogs::prompts() const
{
    QStringList result;
    for (const Shown &box : m_shown)
        result.append(box.prompt);
    return result;
}

int ScriptedDialogs::messageBox(const QString &prompt, int style, const QString &title)
{
    m_shown.append({prompt, style, title});
    return m_answers.isEmpty() ? automaticAnswer(style) : m_answers.dequeue();
}

std::optional<ChosenFile> ScriptedDialogs::openFile(const QString &title, const QString &initialPath,
                                                    const QList<FileFilter> &filters, int initialFilter)
{
    m_fileDialogs.append({false, title, initialPath, filters, initialFilter});
    if (m_files.isEmpty())
        return std::nullopt;
    return m_files.dequeue();
}

std::optional<ChosenFile> ScriptedDialogs::saveFile(const QString &title, const QString &initialPath,
                                                    const QList<FileFilter> &filters, int initialFilter)
{
    m_fileDialogs.append({true, title, initialPath, filters, initialFilter});
    if (m_files.isEmpty())
        return std::nullopt;
    return m_files.dequeue();
}

std::optional<quint32> ScriptedDialogs::chooseColor(quint32)
{
    if (m_colors.isEmpty())
        return std::nullopt;
    return m_colors.dequeue();
}

QString ScriptedDialogs::browseFolder(const QString &, const QString &)
{
    return m_folders.isEmpty() ? QString() : m_folders.dequeue();
}

} // namespace platform::testing
