#pragma once

#include <QWidget>

namespace quorlink::app {

// The start-up window: a small fixed window without title bar buttons with a
// 300 x 56 picture and two labels. It has no behaviour of its own.
class Splash final : public QWidget
{
    Q_OBJECT

public:
    explicit Splash(QWidget* parent = nullptr);

    // Centres the window on the primary screen.
    void centreOnScreen();

    static QPixmap picture();
};

} // namespace quorlink::app
