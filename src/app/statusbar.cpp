#include "statusbar.h"

#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QResizeEvent>
#include <QTime>
#include <QTimer>

namespace quorlink::app {

namespace {

QLabel* makePanel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setIndent(3);
    label->setTextFormat(Qt::PlainText);
    label->setMinimumWidth(1);
    return label;
}

} // namespace

StatusPanels::StatusPanels(QWidget* parent) : QStatusBar(parent)
{
    setObjectName(QStringLiteral("StatusBar1"));
    // No size grip: the panels' widths are worked out from the bar's width.
    setSizeGripEnabled(false);
    for (QLabel*& label : m_panels) {
        label = makePanel(this);
        label->installEventFilter(this);
    }
    addWidget(m_panels[0]);
    addWidget(m_panels[1], 1);
    addPermanentWidget(m_panels[2]);
    m_panels[2]->setAlignment(Qt::AlignCenter);

    m_clock = new QTimer(this);
    m_clock->setInterval(1000);
    connect(m_clock, &QTimer::timeout, this, &StatusPanels::updateClock);
    m_clock->start();
    updateClock();
}

QLabel* StatusPanels::panel(int number) const
{
    if (number < 1 || number > PanelCount)
        return nullptr;
    return m_panels[static_cast<std::size_t>(number - 1)];
}

QString StatusPanels::panelText(int number) const
{
    return panel(number) ? m_texts[static_cast<std::size_t>(number - 1)] : QString();
}

void StatusPanels::setPanelText(int number, const QString& text)
{
    if (!panel(number))
        return;
    m_texts[static_cast<std::size_t>(number - 1)] = text;
    showElided(number);
}

// A long firmware path keeps its beginning and its file name visible.
void StatusPanels::showElided(int number)
{
    QLabel* label = panel(number);
    const QString& text = m_texts[static_cast<std::size_t>(number - 1)];
    const int room = label->contentsRect().width() - 2 * label->indent();
    // A path keeps its file name; a status text keeps its beginning.
    const Qt::TextElideMode mode = number == 1 ? Qt::ElideMiddle : Qt::ElideRight;
    const QString shown = room > 0 ? label->fontMetrics().elidedText(text, mode, room) : text;
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
}

bool StatusPanels::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        for (int number = 1; number <= PanelCount; ++number) {
            if (watched == panel(number))
                showElided(number);
        }
    }
    return QStatusBar::eventFilter(watched, event);
}

void StatusPanels::setFileNamePanelWidth(int pixels)
{
    m_fileNameWidth = pixels;
    applyFileNamePanelWidth();
}

int StatusPanels::fileNamePanelWidth() const
{
    return m_panels[0]->width();
}

void StatusPanels::applyFileNamePanelWidth()
{
    // Measured here, with the font the panels are drawn in.
    int timeWidth = 0;
    for (const QTime& wide : {QTime(10, 58, 58), QTime(23, 58, 58)}) {
        const QString text = QLocale::system().toString(wide, QLocale::ShortFormat);
        timeWidth = qMax(timeWidth, m_panels[2]->fontMetrics().horizontalAdvance(text));
    }
    m_panels[2]->setFixedWidth(timeWidth + 16);

    // Panels 1 and 2 share what the clock and the spacing leave; panel 2
    // keeps at least a sliver, and shows a long status text shortened.
    if (QLayout* panels = layout())
        panels->activate();
    const int shared = m_panels[0]->width() + m_panels[1]->width();
    m_panels[0]->setFixedWidth(qMax(1, qMin(m_fileNameWidth, shared - 1)));
}

void StatusPanels::resizeEvent(QResizeEvent* event)
{
    QStatusBar::resizeEvent(event);
    applyFileNamePanelWidth();
}

void StatusPanels::updateClock()
{
    setPanelText(3, QLocale::system().toString(QTime::currentTime(), QLocale::ShortFormat));
}

} // namespace quorlink::app
