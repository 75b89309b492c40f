#pragma once

#include <QListWidget>

namespace quorlink::app {

// One of the window's card lists. The list never changes its selection by
// itself: a click or a key only moves the focus item (ListIndex) and reports
// the event, and the window's handlers decide what becomes selected. The
// focus item and the selection are separate; setting one never touches the
// other.
class CardList final : public QListWidget
{
    Q_OBJECT

public:
    CardList(int index, QWidget* parent);

    int index() const { return m_index; }

    int listCount() const { return count(); }
    // The focus item, -1 for none.
    int listIndex() const { return currentRow(); }
    void setListIndex(int row);

    bool isItemSelected(int row) const;
    void setItemSelected(int row, bool selected);
    int selCount() const;

    QString itemText(int row) const;
    void setItemText(int row, const QString& text);

public slots:
    // Ctrl+A and the like must not select behind the handlers' back.
    void selectAll() override {}

signals:
    // Released mouse button over an item that the press hit; shift carries
    // the classic bits (1 Shift, 2 Ctrl, 4 Alt).
    void mouseUp(int button, int shift, int x, int y);
    // Enter (13) or Space (32).
    void keyPressed(int keyAscii);
    void gotFocus();
    void lostFocus();

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int m_index;
    bool m_pressedOnItem = false;
};

// The classic shift bits of a set of keyboard modifiers.
int shiftBits(Qt::KeyboardModifiers modifiers);

} // namespace quorlink::app
