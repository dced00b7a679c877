#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace platform {

// Button styles and answers of message boxes, with the values that the programs store
// and compare (the classic message-box codes).
namespace MessageStyle {
inline constexpr int OkOnly = 0;
inline constexpr int OkCancel = 1;
inline constexpr int AbortRetryIgnore = 2;
inline constexpr int YesNoCancel = 3;
inline constexpr int YesNo = 4;
inline constexpr int RetryCancel = 5;
inline constexpr int IconCritical = 16;
inline constexpr int IconQuestion = 32;
inline constexpr int IconExclamation = 48;
inline constexpr int IconInformation = 64;
inline constexpr int DefaultButton2 = 256;
inline constexpr int DefaultButton3 = 512;
} // namespace MessageStyle

namespace MessageAnswer {
inline constexpr int Ok = 1;
inline constexpr int Cancel = 2;
inline constexpr int Abort = 3;
inline constexpr int Retry = 4;
inline constexpr int Ignore = 5;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
} // namespace MessageAnswer

// A file type offered by an open or save dialog: its caption and its name patterns.
struct FileFilter
{
    QString caption;
    QStringList patterns; // "*.html", "*.*"
};

// Result of an open or save dialog: the chosen path and the index of the file type that
// was selected when the user confirmed.
struct ChosenFile
{
    QString path;
    int filterIndex = 0;
};

// Every message box and common dialog of the programs goes through this interface. The
// windows install a widget implementation; tests install a scripted one; with none
// installed (unattended runs, logic used without a window) no box is ever shown: the
// message goes to standard error and the first button's answer comes back.
class UserDialogs
{
public:
    virtual ~UserDialogs() = default;

    // Shows `prompt` with the button style `style` and returns the answer code.
    virtual int messageBox(const QString &prompt, int style, const QString &title) = 0;

    // Open and save dialogs; nullopt when cancelled.
    virtual std::optional<ChosenFile> openFile(const QString &title, const QString &initialPath,
                                               const QList<FileFilter> &filters, int initialFilter) = 0;
    virtual std::optional<ChosenFile> saveFile(const QString &title, const QString &initialPath,
                                               const QList<FileFilter> &filters, int initialFilter) = 0;

    // Colour dialog over blue-green-red colour values; nullopt when cancelled.
    virtual std::optional<quint32> chooseColor(quint32 initialColor) = 0;

    // Folder-browse dialog; empty when cancelled.
    virtual QString browseFolder(const QString &title, const QString &initialFolder) = 0;
};

// The answer that a message box with this style gives when nobody is asked: OK for the
// OK styles, Yes for the Yes/No styles, Cancel for Retry/Cancel, 0 for every other value
// (a style with an icon or default-button flag added counts as another value).
int automaticAnswer(int style);

// `text` with every control character written out, so that it stays on one line: CR,
// LF and TAB as "\r", "\n", "\t", any other as "\xNN" (a backslash itself stays as it
// is). Names taken from disks, servers and command lines go through it before they
// appear in a message.
QString escapeControlCharacters(const QString &text);

// Writes a message to standard error as an unattended run reports it: the message's own
// line breaks (CR LF or LF) as line ends, every other control character written out as
// escapeControlCharacters does, in the locale's encoding.
void writeMessageToStandardError(const QString &message);

// The dialogs in use. Never null: without an installed implementation it is the silent
// one described above.
UserDialogs &dialogs();

// Installs `implementation` (not owned) until it is replaced; nullptr restores the
// silent one.
void installDialogs(UserDialogs *implementation);

} // namespace platform
