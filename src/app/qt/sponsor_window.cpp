#include "app/qt/sponsor_window.h"

#include <QLabel>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include "app/qt/main_window.h"

namespace velkor {

QPoint sponsor_position(QSize screen, QSize outer) {
    return {screen.width() - outer.width() - 20, screen.height() - outer.height() - 80};
}

SponsorWindow::SponsorWindow() {
    setObjectName(QString::fromUtf8("窗口_赞助"));
    setWindowTitle(QString::fromUtf8("赞助商广告："));
    setProperty("skin", "window");
    setAttribute(Qt::WA_StyledBackground);
    resize(outer_width, outer_height);
    move(50, 50);
    text_ = new QLabel(this);
    text_->setObjectName(QString::fromUtf8("标签1"));
    text_->setGeometry(40, 16, 272, 200);
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The label reaches past the window's edge; keep the words in the part
    // that shows.
    text_->setContentsMargins(0, 0, 272 - (outer_width - 40 - 14), 200 - (outer_height - 16 - 10));
    text_->setText(
        QString::fromUtf8("<b>极速网游加速器</b><br>"
                          "CF 专线低延迟，抢活动快人一步。<br>"
                          "新用户首月免费体验，<br>"
                          "老用户续费享八折。<br><br>"
                          "合作热线：010-0000 0000"));
    place();
}

void SponsorWindow::place() {
    const QScreen* s = screen();
    if (!s)
        return;
    const QSize extra = frame_extra(this);
    resize(outer_width - extra.width(), outer_height - extra.height());
    const QRect screen_area = s->geometry();
    move(screen_area.topLeft() + sponsor_position(screen_area.size(), {outer_width, outer_height}));
}

void SponsorWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Once mapped, a window manager's frame is known.
    QTimer::singleShot(0, this, [this] { place(); });
}

}  // namespace velkor
