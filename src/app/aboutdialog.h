#pragma once

#include <QDialog>

class QPushButton;

namespace quorlink::app {

// "About Varnex Quorlink Update": the program's name, what it is for, OK.
class AboutDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* owner);

    QPushButton* okButton() const { return m_ok; }

    void Command1_Click() { accept(); }

private:
    QPushButton* m_ok = nullptr;
};

} // namespace quorlink::app
