#include "common/dialogs/frm_code_chg.h"

#include "common/dialog_values.h"
#include "platform/user_dialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace common::dialogs {

Frm_CodeChg::Frm_CodeChg(HandBack &handBack, ProgramVariant variant, QWidget *parent)
    : QDialog(parent)
    , m_handBack(handBack)
    , m_automaticEntry(variant == ProgramVariant::Dirgleam)
{
    setWindowTitle(QStringLiteral("文字コード変換コード指定"));

    Lbl_Message = new QLabel(this);
    Lbl_Message->setWordWrap(true);
    placeTwips(Lbl_Message, 120, 120, 5760, 480);

    const QString captions[3] = {QStringLiteral("変換前文字コード"), QStringLiteral("変換後文字コード"),
                                 QStringLiteral("変換後改行コード")};
    const int lefts[3] = {120, 2160, 2160};
    const int tops[3] = {720, 720, 1440};
    for (int index = 0; index < 3; ++index) {
        Label1[index] = new QLabel(captions[index], this);
        placeTwips(Label1[index], lefts[index], tops[index], 1800, 240);
        Cmb_Code[index] = new QComboBox(this);
        placeTwips(Cmb_Code[index], lefts[index], tops[index] + 270, 1800, 330);
    }
    Cmb_Code[0]->addItems(CharacterCodeNames());
    if (m_automaticEntry)
        Cmb_Code[0]->addItem(AutomaticCodeEntry());
    Cmb_Code[1]->addItems(CharacterCodeNames());
    Cmb_Code[2]->addItems(LineEndNames());

    const QStringList notes = m_automaticEntry
                                  ? QStringList{QStringLiteral("(注意)選択したファイルのみ変換します(フォルダは無視します)"),
                                                QStringLiteral("(注意)自動判定しない時は選択した全てのファイルを変換します"),
                                                QStringLiteral("(注意)自動判定時にバイナリ判定されたファイルは変換されません"),
                                                QStringLiteral("(注意)変換前文字コードの自動判定は100%完璧ではありません"),
                                                QStringLiteral("(注意)変換前文字コードの指定が誤まっていると文字化けします")}
                                  : QStringList{QStringLiteral("(注意)変換前文字コードの指定が誤まっていると文字化けします"),
                                                QStringLiteral("(注意)文字コード変換前のファイルをごみ箱にバックアップします")};
    for (int index = 0; index < notes.size(); ++index) {
        Lbl_Message2.append(new QLabel(notes[index], this));
        placeTwips(Lbl_Message2.last(), 120, 2190 + index * 270, 5760, 240);
    }

    Btn_OK = new QPushButton(m_automaticEntry ? QStringLiteral("変換開始") : QStringLiteral("変換実行"), this);
    placeTwips(Btn_OK, 4320, 968, 1440, 375);
    Btn_Cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    placeTwips(Btn_Cancel, 4320, 1688, 1440, 375);
    setClientTwips(this, 6000, 2190 + int(notes.size()) * 270 + 120);
    connect(Btn_OK, &QPushButton::clicked, this, &Frm_CodeChg::Btn_OK_Click);
    connect(Btn_Cancel, &QPushButton::clicked, this, &Frm_CodeChg::Btn_Cancel_Click);

    // The presets choose the starting entries; then the members are emptied, so that every
    // way of closing but a confirmed start leaves them empty.
    Cmb_Code[0]->setCurrentIndex(CodeListPosition(m_handBack.CodeChgCd1, m_automaticEntry ? 6 : 0));
    Cmb_Code[1]->setCurrentIndex(CodeListPosition(m_handBack.CodeChgCd2, 0));
    Cmb_Code[2]->setCurrentIndex(LineEndPosition(m_handBack.CodeChgCd3));
    m_handBack.CodeChgCd1.clear();
    m_handBack.CodeChgCd2.clear();
    m_handBack.CodeChgCd3.clear();
}

void Frm_CodeChg::Btn_OK_Click()
{
    if (platform::dialogs().messageBox(QStringLiteral("文字コード変換を実行します。宜しいですか？　"),
                                       platform::MessageStyle::YesNo, QString())
        != platform::MessageAnswer::Yes)
        return;
    m_handBack.CodeChgCd1 = Cmb_Code[0]->currentText() == AutomaticCodeEntry() ? QString() : Cmb_Code[0]->currentText();
    m_handBack.CodeChgCd2 = Cmb_Code[1]->currentText();
    m_handBack.CodeChgCd3 = LineEndCharacters(Cmb_Code[2]->currentText());
    accept();
}

void Frm_CodeChg::Btn_Cancel_Click()
{
    m_handBack.CodeChgCd1.clear();
    m_handBack.CodeChgCd2.clear();
    m_handBack.CodeChgCd3.clear();
    reject();
}

} // namespace common::dialogs
