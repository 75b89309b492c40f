#include "toolbar.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QToolButton>

namespace quorlink::app {

Toolbar::Toolbar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("asxToolbar1"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(2);
    layout->addStretch(1);
}

int Toolbar::addButton(const QString& captionAndKey, bool enabled)
{
    Q_ASSERT(m_count < ButtonCount);
    auto* button = new QToolButton(this);
    button->setText(captionAndKey);
    // The caption's "&" still underlines the letter, but the button must not
    // react to Alt+letter itself.
    button->setShortcut(QKeySequence());
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setEnabled(enabled);
    button->setMinimumWidth(76);
    const int index = ++m_count;
    button->setObjectName(QStringLiteral("asxToolbar1_button%1").arg(index));
    connect(button, &QToolButton::clicked, this,
            [this, index] { emit buttonClick(index, key(index)); });
    auto* layout = static_cast<QHBoxLayout*>(this->layout());
    layout->insertWidget(layout->count() - 1, button);
    m_buttons[static_cast<std::size_t>(index - 1)] = button;
    return index;
}

QToolButton* Toolbar::button(int index) const
{
    if (index < 1 || index > m_count)
        return nullptr;
    return m_buttons[static_cast<std::size_t>(index - 1)];
}

QString Toolbar::key(int index) const
{
    const QToolButton* b = button(index);
    return b ? b->text() : QString();
}

QString Toolbar::caption(int index) const
{
    return key(index);
}

void Toolbar::setButtonEnabled(int index, bool enabled)
{
    if (QToolButton* b = button(index))
        b->setEnabled(enabled);
}

bool Toolbar::isButtonEnabled(int index) const
{
    const QToolButton* b = button(index);
    return b && b->isEnabled();
}

void Toolbar::refresh()
{
    for (int index = 1; index <= m_count; ++index)
        button(index)->update();
}

} // namespace quorlink::app
