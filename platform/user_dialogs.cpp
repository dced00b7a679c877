#include "platform/user_dialogs.h"

#include <cstdio>

namespace platform {

namespace {

// Answers without asking anyone; messages go to standard error so that an unattended
// run still tells what happened.
class SilentDialogs final : public UserDialogs
{
public:
    int messageBox(const QString &prompt, int style, const QString &title) override
    {
        QString text = title.isEmpty() ? prompt : title + QStringLiteral(": ") + prompt;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        std::fflush(stderr);
        return automaticAnswer(style);
    }

    std::optional<ChosenFile> openFile(const QString &, const QString &, const QList<FileFilter> &, int) override
    {
        return std::nullopt;
    }

    std::optional<ChosenFile> saveFile(const QString &, const QString &, const QList<FileFilter> &, int) override
    {
        return std::nullopt;
    }

    std::optional<quint32> chooseColor(quint32) override { return std::nullopt; }

    QString browseFolder(const QString &, const QString &) override { return {}; }
};

SilentDialogs &silentDialogs()
{
    static SilentDialogs instance;
    return instance;
}

UserDialogs *installed = nullptr;

} // namespace

int automaticAnswer(int style)
{
    switch (style) {
    case MessageStyle::OkOnly:
    case MessageStyle::OkCancel:
        return MessageAnswer::Ok;
    case MessageStyle::RetryCancel:
        return MessageAnswer::Cancel;
    case MessageStyle::YesNoCancel:
    case MessageStyle::YesNo:
        return MessageAnswer::Yes;
    default:
        return 0;
    }
}

UserDialogs &dialogs()
{
    return installed ? *installed : silentDialogs();
}

void installDialogs(UserDialogs *implementation)
{
    installed = implementation;
}

} // namespace platform
