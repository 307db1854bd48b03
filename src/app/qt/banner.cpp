#include "app/qt/banner.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace velkor {
namespace {

QString u8(const char* s) {
    return QString::fromUtf8(s);
}

}  // namespace

QPixmap banner_picture() {
    constexpr int w = 400, h = 150;
    QPixmap picture(w, h);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, w, h);
    sky.setColorAt(0.0, QColor(18, 32, 64));
    sky.setColorAt(0.55, QColor(22, 78, 118));
    sky.setColorAt(1.0, QColor(14, 130, 138));
    p.fillRect(0, 0, w, h, sky);

    // Light diagonal streaks.
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i) {
        QPainterPath streak;
        const int x = 170 + i * 42;
        streak.moveTo(x, 0);
        streak.lineTo(x + 18, 0);
        streak.lineTo(x - 42, h);
        streak.lineTo(x - 60, h);
        streak.closeSubpath();
        p.fillPath(streak, QColor(255, 255, 255, 10 + i * 3));
    }

    // Emblem: a shield with a chevron.
    QPainterPath shield;
    const QPointF c(62, 74);
    shield.moveTo(c.x(), c.y() - 44);
    shield.cubicTo(c.x() + 22, c.y() - 34, c.x() + 34, c.y() - 34, c.x() + 38, c.y() - 34);
    shield.cubicTo(c.x() + 38, c.y() + 2, c.x() + 26, c.y() + 30, c.x(), c.y() + 46);
    shield.cubicTo(c.x() - 26, c.y() + 30, c.x() - 38, c.y() + 2, c.x() - 38, c.y() - 34);
    shield.cubicTo(c.x() - 34, c.y() - 34, c.x() - 22, c.y() - 34, c.x(), c.y() - 44);
    QLinearGradient metal(c.x(), c.y() - 44, c.x(), c.y() + 46);
    metal.setColorAt(0, QColor(255, 200, 80));
    metal.setColorAt(1, QColor(226, 120, 32));
    p.setBrush(metal);
    p.setPen(QPen(QColor(255, 236, 190), 2));
    p.drawPath(shield);
    QPainterPath chevron;
    chevron.moveTo(c.x() - 20, c.y() - 16);
    chevron.lineTo(c.x(), c.y() + 16);
    chevron.lineTo(c.x() + 20, c.y() - 16);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(30, 40, 70), 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(chevron);

    // Product name and what it does.
    QFont name_font(u8("微软雅黑"));
    name_font.setPixelSize(44);
    name_font.setBold(true);
    p.setFont(name_font);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(QRect(122, 30, 270, 56), Qt::AlignLeft | Qt::AlignVCenter, u8("Velkor"));
    p.setPen(QColor(250, 250, 252));
    p.drawText(QRect(120, 28, 270, 56), Qt::AlignLeft | Qt::AlignVCenter, u8("Velkor"));
    QFont line_font(u8("微软雅黑"));
    line_font.setPixelSize(14);
    p.setFont(line_font);
    p.setPen(QColor(200, 228, 240));
    p.drawText(QRect(122, 84, 270, 22), Qt::AlignLeft | Qt::AlignVCenter, u8("CF 活动助手"));
    line_font.setPixelSize(12);
    p.setFont(line_font);
    p.setPen(QColor(160, 200, 214));
    p.drawText(QRect(122, 106, 270, 20), Qt::AlignLeft | Qt::AlignVCenter,
               u8("登录 · 采集 · 绑定 · 领取 · 定时"));
    return picture;
}

}  // namespace velkor
