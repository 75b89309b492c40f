#pragma once

#include <QString>
#include <QWidget>

#include <array>

class QToolButton;

namespace quorlink::app {

// The window's command bar: text buttons addressed by index from 1, each
// with a caption and a key (here always the same text). A click reports the
// button's index and key. The buttons take no keyboard focus and carry no
// shortcuts of their own: the window's key handler runs the Alt+letter
// commands, so one key press runs its command once.
class Toolbar final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int ButtonCount = 7;

    explicit Toolbar(QWidget* parent = nullptr);

    // Appends a button; returns its index.
    int addButton(const QString& captionAndKey, bool enabled = true);

    QString key(int index) const;
    QString caption(int index) const;
    void setButtonEnabled(int index, bool enabled);
    bool isButtonEnabled(int index) const;
    QToolButton* button(int index) const;

    // Redraws the buttons after their enabled states changed.
    void refresh();

signals:
    void buttonClick(int index, const QString& key);

private:
    std::array<QToolButton*, ButtonCount> m_buttons{};
    int m_count = 0;
};

} // namespace quorlink::app
