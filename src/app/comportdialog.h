#pragma once

#include <QDialog>
#include <QString>

#include <array>

class QRadioButton;
class QPushButton;

namespace quorlink {
class CommPort;
}

namespace quorlink::app {

// "Communication Port": chooses COM1..COM4. Ports found busy at start-up
// stay disabled. OK reopens the port on the chosen number, Cancel reopens
// the port in use and takes its number back; the close box changes nothing
// further (the number keeps the last option clicked). A disabled port shows
// its device and why it is unusable as a tooltip.
class ComPortDialog final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int PortCount = 4;

    using PortTips = std::array<QString, PortCount>;

    ComPortDialog(CommPort& port, int& comPortNumber, const std::array<bool, PortCount>& portBusy,
                  QWidget* owner, const PortTips& tips = {});

    QRadioButton* option(int index) const { return m_options[static_cast<std::size_t>(index)]; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

    void Option1_Click(int index);
    void Command1_Click();
    void Command2_Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load(const std::array<bool, PortCount>& portBusy, const PortTips& tips);
    void reopen();

    CommPort& m_port;
    int& m_comPortNumber;
    std::array<QRadioButton*, PortCount> m_options{};
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

// Window flags of the program's dialogs: a fixed border, a title and a close
// box, no minimise or maximise buttons.
Qt::WindowFlags fixedDialogFlags();

} // namespace quorlink::app
