#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QPushButton;

namespace textcompare {

// "テキストエディタのPATHとオプションの設定": the editor command `Editor`, in which "%F%"
// stands for the file and "%L%" for the line. The list offers `presets` and shows
// Editor; "設定" stores the list's text as it stands into Editor (the window writes it at
// exit); the close box keeps the old value.
class Frm_Editor : public QDialog
{
    Q_OBJECT

public:
    Frm_Editor(QString &Editor, const QStringList &presets, QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QComboBox *Cmb_Editor = nullptr;
    QPushButton *Btn_Ok = nullptr;

private:
    void Btn_Ok_Click();

    QString &m_editor;
};

// The editor commands that the dialog offers: gedit, kate and mousepad, each with its
// line option, and the desktop's default text editor `associatedProgram` with the file
// alone ("xdg-open" when the desktop names none).
QStringList EditorCommandPresets(const QString &associatedProgram);

} // namespace textcompare
