#pragma once

#include "textcompare/engine/display_table.h"

#include <QDialog>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

namespace textcompare {

// The viewer's colour dialog, "差分背景色の設定", over the five difference colours: the
// changed, added and deleted rows and the two bands of the differences-only view. Each
// box holds hexadecimal digits and takes their colour as its background; a double click
// opens the colour dialog on that colour. "設定" stores the five background colours and
// writes [DSP] DIFFCUPD, DIFFCADD, DIFFCDEL, DIFFCNO1 and DIFFCNO2 at once. There is no
// cancel: the close box keeps the old colours and writes nothing, Esc does nothing. (The
// folder comparison program's dialog of this name edits its four status colours.)
class Frm_Color : public QDialog
{
    Q_OBJECT

public:
    Frm_Color(DiffColors &colors, const QString &iniFile, QWidget *parent = nullptr);

    std::array<QLineEdit *, 5> Txt_Color{};
    std::array<QLabel *, 5> Label1{};
    QPushButton *Btn_Ok = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Txt_Color_Change(int index);
    void Txt_Color_DblClick(int index);
    void Btn_Ok_Click();

    DiffColors &m_colors;
    std::array<quint32, 5> m_backColors{};
    QString m_iniFile;
};

} // namespace textcompare
