#include "cardlist.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

namespace quorlink::app {

namespace {

// Focus that comes and goes with the whole window (another program, a menu
// opening) is not a change of the focused control.
bool isControlFocusChange(const QFocusEvent* event)
{
    return event->reason() != Qt::ActiveWindowFocusReason &&
           event->reason() != Qt::PopupFocusReason;
}

int buttonNumber(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

} // namespace

int shiftBits(Qt::KeyboardModifiers modifiers)
{
    int bits = 0;
    if (modifiers & Qt::ShiftModifier)
        bits |= 1;
    if (modifiers & Qt::ControlModifier)
        bits |= 2;
    if (modifiers & Qt::AltModifier)
        bits |= 4;
    return bits;
}

CardList::CardList(int index, QWidget* parent) : QListWidget(parent), m_index(index)
{
    setObjectName(QStringLiteral("List1_%1").arg(index));
    setSelectionMode(QAbstractItemView::MultiSelection);
    setDragEnabled(false);
    setUniformItemSizes(true);
}

void CardList::setListIndex(int row)
{
    const QModelIndex target = (row >= 0 && row < count()) ? model()->index(row, 0) : QModelIndex();
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    if (target.isValid())
        scrollTo(target);
}

bool CardList::isItemSelected(int row) const
{
    const QListWidgetItem* entry = item(row);
    return entry && entry->isSelected();
}

void CardList::setItemSelected(int row, bool selected)
{
    if (QListWidgetItem* entry = item(row))
        entry->setSelected(selected);
}

int CardList::selCount() const
{
    return static_cast<int>(selectedItems().size());
}

QString CardList::itemText(int row) const
{
    const QListWidgetItem* entry = item(row);
    return entry ? entry->text() : QString();
}

void CardList::setItemText(int row, const QString& text)
{
    if (QListWidgetItem* entry = item(row))
        entry->setText(text);
}

QItemSelectionModel::SelectionFlags CardList::selectionCommand(const QModelIndex&,
                                                               const QEvent*) const
{
    return QItemSelectionModel::NoUpdate;
}

void CardList::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex hit = indexAt(event->position().toPoint());
    m_pressedOnItem = hit.isValid() && (hit.flags() & Qt::ItemIsEnabled);
    if (m_pressedOnItem && event->button() == Qt::LeftButton)
        setListIndex(hit.row());
    event->accept();
}

// The second press of a double click is a click of its own.
void CardList::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

// No drag selection: only clicks count.
void CardList::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

void CardList::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    // A click that pointed at no card changes no card, whatever the focus item.
    if (!m_pressedOnItem)
        return;
    m_pressedOnItem = false;
    const QPoint at = event->position().toPoint();
    emit mouseUp(buttonNumber(event->button()), shiftBits(event->modifiers()), at.x(), at.y());
}

void CardList::keyPressEvent(QKeyEvent* event)
{
    const bool plain = !(event->modifiers() & (Qt::AltModifier | Qt::ControlModifier));
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->accept();
        emit keyPressed(13);
        return;
    }
    if (plain && event->key() == Qt::Key_Space) {
        // The list's own Space handling is left out: the handler toggles.
        event->accept();
        emit keyPressed(32);
        return;
    }
    QListWidget::keyPressEvent(event);
}

void CardList::focusInEvent(QFocusEvent* event)
{
    // The view's own habit of making the first item current is left out; the
    // window's focus rule decides.
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
    if (!isControlFocusChange(event))
        return;
    if (event->reason() != Qt::MouseFocusReason) {
        emit gotFocus();
        return;
    }
    // Focus by mouse arrives before the press, which is then mapped to the
    // row under the pointer: the focus rule may pick a focus item out of
    // view, but must not scroll the clicked row away.
    const int vertical = verticalScrollBar()->value();
    const int horizontal = horizontalScrollBar()->value();
    emit gotFocus();
    verticalScrollBar()->setValue(vertical);
    horizontalScrollBar()->setValue(horizontal);
}

void CardList::focusOutEvent(QFocusEvent* event)
{
    QListWidget::focusOutEvent(event);
    if (isControlFocusChange(event))
        emit lostFocus();
}

} // namespace quorlink::app
