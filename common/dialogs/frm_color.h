#pragma once

#include <QDialog>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

namespace common::dialogs {

// Edits the row colours of the comparison statuses, blue-green-red values in the order
// 変更, 追加, 削除, 日時 (the program's ColorUpd, ColorAdd, ColorDel, ColorDtm). Each box
// holds hexadecimal digits and takes their colour as its background; a double click
// opens the colour dialog. The button stores the four background colours in `colors`
// and writes [DSP] DIFFCUPD, DIFFCADD, DIFFCDEL, DIFFCDTM; closing the dialog otherwise
// changes nothing.
class Frm_Color : public QDialog
{
    Q_OBJECT

public:
    Frm_Color(std::array<quint32, 4> &colors, const QString &iniFile, QWidget *parent = nullptr);

    std::array<QLineEdit *, 4> Txt_Color{};
    std::array<QLabel *, 4> Label1{};
    QPushButton *Btn_Ok = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Txt_Color_Change(int index);
    void Txt_Color_DblClick(int index);
    void Btn_Ok_Click();

    std::array<quint32, 4> &m_colors;
    std::array<quint32, 4> m_backColors{};
    QString m_iniFile;
};

} // namespace common::dialogs
