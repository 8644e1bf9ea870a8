// One picture of a window's toolbar: a label that reports the mouse as the host's image
// control does (move, down, up, click), plus leaving, so the hover frame can go.
#pragma once

#include <QLabel>
#include <QPixmap>
#include <array>

class QFrame;

namespace tavorin {

class ToolImage : public QLabel {
    Q_OBJECT
  public:
    explicit ToolImage(const QPixmap& picture, QWidget* parent = nullptr);

  signals:
    void MouseMove();
    void MouseDown();
    void MouseUp();
    void Click();
    void MouseLeave();

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    bool pressed_ = false;
};

// The four lines of a toolbar's hover frame (HighlightToolButton places them), hidden.
void AddToolFrameLines(QWidget* toolbar, std::array<QFrame*, 4>& lines);

// The pictures of the main window's toolbar (index 0..10), drawn at size x size pixels.
QPixmap ToolPicture(int index, int size = 24);

} // namespace tavorin
