#include "splash.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace quorlink::app {

namespace {

QFont labelFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(18);
    return font;
}

} // namespace

Splash::Splash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    auto* image = new QLabel(this);
    image->setPixmap(picture());
    image->setAlignment(Qt::AlignCenter);
    auto* title = new QLabel(QStringLiteral("Varnex Quorlink Update"), this);
    auto* wait = new QLabel(QStringLiteral("Please Wait ..."), this);
    for (QLabel* label : {title, wait}) {
        label->setFont(labelFont());
        label->setAlignment(Qt::AlignCenter);
    }
    layout->addWidget(image);
    layout->addWidget(title);
    layout->addWidget(wait);
    setStyleSheet(QStringLiteral("Splash { background: #f0f0f0; border: 1px solid #404040; }"));
    setAttribute(Qt::WA_StyledBackground);
    adjustSize();
    setFixedSize(size());
}

void Splash::centreOnScreen()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

// A switch front panel drawn in code: a dark chassis with a row of port
// lights, one lit per card.
QPixmap Splash::picture()
{
    QPixmap pixmap(300, 56);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient chassis(0, 0, 0, 56);
    chassis.setColorAt(0, QColor(70, 78, 92));
    chassis.setColorAt(1, QColor(28, 32, 40));
    painter.setBrush(chassis);
    painter.setPen(QPen(QColor(12, 14, 18), 1));
    painter.drawRoundedRect(QRectF(0.5, 0.5, 299, 55), 6, 6);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 120, 215));
    painter.drawRoundedRect(QRectF(10, 12, 46, 32), 3, 3);  // management card
    for (int port = 0; port < 16; ++port) {
        const qreal x = 68 + port * 14;
        painter.setBrush(QColor(18, 20, 26));
        painter.drawRect(QRectF(x, 14, 11, 20));
        painter.setBrush(port % 3 == 0 ? QColor(60, 220, 90) : QColor(40, 90, 50));
        painter.drawEllipse(QRectF(x + 3, 38, 5, 5));
    }
    return pixmap;
}

} // namespace quorlink::app
