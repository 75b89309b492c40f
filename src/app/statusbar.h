#pragma once

#include <QStatusBar>
#include <QString>

#include <array>

class QLabel;
class QTimer;

namespace quorlink::app {

// The window's status bar: panel 1 the firmware file, panel 2 the status
// text, panel 3 a clock. The clock has its own one-second timer, apart from
// the link's timers.
class StatusPanels final : public QStatusBar
{
    Q_OBJECT

public:
    static constexpr int PanelCount = 3;

    explicit StatusPanels(QWidget* parent = nullptr);

    // Panels are numbered from 1.
    QString panelText(int panel) const;
    void setPanelText(int panel, const QString& text);
    // Panel 1 gets this width; the rest, less the clock, goes to panel 2.
    void setFileNamePanelWidth(int pixels);
    int fileNamePanelWidth() const;

    // Shows the time now; the timer calls it every second.
    void updateClock();
    QTimer* clockTimer() const { return m_clock; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* panel(int number) const;
    void showElided(int number);
    void applyFileNamePanelWidth();

    std::array<QLabel*, PanelCount> m_panels{};
    // The full texts; a panel too narrow shows its text shortened in the middle.
    std::array<QString, PanelCount> m_texts;
    QTimer* m_clock = nullptr;
    int m_fileNameWidth = 0;
};

} // namespace quorlink::app
