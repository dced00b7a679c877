#include "platform/user_dialogs.h"

#include <cstdio>

namespace platform {

namespace {

void appendEscaped(QString &out, QChar c)
{
    switch (c.unicode()) {
    case u'\r':
        out += QStringLiteral("\\r");
        return;
    case u'\n':
        out += QStringLiteral("\\n");
        return;
    case u'\t':
        out += QStringLiteral("\\t");
        return;
    default:
        out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    }
}

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() < 0xa0);
}

// Answers without asking anyone; messages go to standard error so that an unattended
// run still tells what happened.
class SilentDialogs final : public UserDialogs
{
public:
    int messageBox(const QString &prompt, int style, const QString &title) override
    {
        writeMessageToStandardError(title.isEmpty() ? prompt : title + QStringLiteral(": ") + prompt);
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

QString escapeControlCharacters(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (isControl(c))
            appendEscaped(out, c);
        else
            out += c;
    }
    return out;
}

void writeMessageToStandardError(const QString &message)
{
    QString text;
    text.reserve(message.size() + 1);
    for (qsizetype i = 0; i < message.size(); ++i) {
        const QChar c = message[i];
        if (c == u'\r' && i + 1 < message.size() && message[i + 1] == u'\n')
            continue;
        if (c == u'\n' || c == u'\t' || !isControl(c))
            text += c;
        else
            appendEscaped(text, c);
    }
    text += u'\n';
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

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
