#pragma once

#include <QDialog>
#include <QString>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

namespace textcompare {

// Sizes of the one-line comparison window in pixels: the design's client area is 762 by
// 73 pixels (11430 by 1095 twips); it can be made wider but not narrower than 200 pixels
// (3000 twips), and its height stays 73.
struct LineTextLayout
{
    static constexpr int MinimumWidth = 200;
    static constexpr int Height = 73;

    // For a client area `clientWidth` pixels wide: the width of the four line and marker
    // boxes, and the left of the two "更新" buttons, both in pixels.
    int boxWidth = 0;
    int buttonLeft = 0;
    static LineTextLayout forWidth(int clientWidth);
};

// "１行文字列比較/編集": the two lines of one grid row, file 1 above file 2, each in an
// editable box, with a marker line above the first and below the second that marks byte
// by byte where the lines differ (LineMarkers, computed once on opening). Selecting in
// one box selects the same character range in the other. A line is handed back with its
// "更新" button: its text goes to LineTextDt1 or LineTextDt2, its flag LineTextSv1 or
// LineTextSv2 becomes true, and the window closes; Esc and the close box hand nothing
// back. The opener may disable a button before the window is shown.
class Frm_LineText : public QDialog
{
    Q_OBJECT

public:
    // Takes its lines from the members, clears both flags, and takes the position and
    // width of `mainWindow`.
    Frm_LineText(QString &LineTextDt1, QString &LineTextDt2, bool &LineTextSv1, bool &LineTextSv2,
                 QWidget *mainWindow);

    std::array<QLabel *, 2> Label1{};
    std::array<QLineEdit *, 2> Txt_ChrJudge{};
    std::array<QLineEdit *, 2> Txt_LineText{};
    std::array<QPushButton *, 2> Btn_SaveText{};

    // Fits the boxes and buttons to the window's width (LineTextLayout).
    void Form_Resize();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void Btn_SaveText_Click(int index);
    // Gives the other line box the selection of line box `index`.
    void mirrorSelection(int index);

    std::array<QString *, 2> m_lines;
    std::array<bool *, 2> m_saved;
};

} // namespace textcompare
