#pragma once
// The small sponsor window: an advertising note that parks itself in the
// bottom-right corner of the screen.
#include <QPoint>
#include <QSize>
#include <QWidget>

class QLabel;

namespace velkor {

// Top-left corner of a window of the given outer size in the bottom-right
// corner of a screen: 20 px from the right edge, 80 px from the bottom.
QPoint sponsor_position(QSize screen, QSize outer);

class SponsorWindow final : public QWidget {
    Q_OBJECT

  public:
    static constexpr int outer_width = 239, outer_height = 166;

    SponsorWindow();

    // Moves to sponsor_position on the window's screen.
    void place();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* text_ = nullptr;
};

}  // namespace velkor
