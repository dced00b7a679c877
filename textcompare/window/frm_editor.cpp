#include "textcompare/window/frm_editor.h"

#include "common/dialogs/dialog_support.h"
#include "textcompare/window/linquell_settings.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace textcompare {

using common::dialogs::placeTwips;

QStringList EditorCommandPresets(const QString &associatedProgram)
{
    QStringList presets;
    for (const EditorPreset &preset : EditorPresets())
        presets.append(QStringLiteral("/usr/bin/") + preset.executable + u' ' + preset.arguments);
    const QString program = associatedProgram.isEmpty() ? QStringLiteral("xdg-open") : associatedProgram;
    presets.append(CommandWord(program) + QStringLiteral(" %F%"));
    return presets;
}

Frm_Editor::Frm_Editor(QString &Editor, const QStringList &presets, QWidget *parent)
    : QDialog(parent)
    , m_editor(Editor)
{
    setWindowTitle(QStringLiteral("テキストエディタのPATHとオプションの設定"));
    common::dialogs::setClientTwips(this, 7920, 3600);
    Label1 = new QLabel(QStringLiteral("テキストエディタのＰＡＴＨとオプション"), this);
    placeTwips(Label1, 120, 120, 6000, 255);
    Cmb_Editor = new QComboBox(this);
    Cmb_Editor->setEditable(true);
    Cmb_Editor->addItems(presets);
    placeTwips(Cmb_Editor, 120, 420, 6480, 330);
    Btn_Ok = new QPushButton(QStringLiteral("設定"), this);
    placeTwips(Btn_Ok, 6720, 390, 1080, 375);
    connect(Btn_Ok, &QPushButton::clicked, this, &Frm_Editor::Btn_Ok_Click);

    QStringList help{QStringLiteral("(例)")};
    help.append(presets);
    help << QString() << QStringLiteral("(説明)") << QStringLiteral("%F% ⇒ ファイル名")
         << QStringLiteral("%L% ⇒ 起動時の行指定オプション");
    auto *helpLabel = new QLabel(help.join(u'\n'), this);
    helpLabel->setTextFormat(Qt::PlainText);
    placeTwips(helpLabel, 240, 900, 7560, 2580);

    Cmb_Editor->setCurrentText(m_editor);
}

void Frm_Editor::Btn_Ok_Click()
{
    m_editor = Cmb_Editor->currentText();
    accept();
}

} // namespace textcompare
