#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <functional>

class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace quorlink::app {

// "F/W Versions": shows the current versions of the cards about to be
// updated and the version found in the file, and asks whether to go on.
// Whatever way it closes, the card version texts it showed are emptied.
class VersionDialog final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int RemoteCardSlots = 64;

    // The window's state the dialog reads and writes.
    struct State
    {
        int lastVersionList; // 1 the management card, 2 or 3 remote cards
        QString& managerVersionText;
        std::array<QString, RemoteCardSlots>& remoteVersionTexts;
        const QString& fileVersionText;
        bool& updateConfirmed;
    };

    VersionDialog(const State& state, std::function<void()> yield, QWidget* owner);

    QGroupBox* frame() const { return m_frame; }
    QListWidget* list() const { return m_list; }
    QLabel* questionLabel() const { return m_label1; }
    QLabel* fileVersionLabel() const { return m_label2; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

    void Command1_Click();
    void Command2_Click();

    // Every way of closing ends here.
    void done(int result) override;

private:
    void Form_Load();
    void Form_Unload();
    void makeRoomForTheQuestion();

    State m_state;
    std::function<void()> m_yield;
    QGroupBox* m_frame = nullptr;
    QListWidget* m_list = nullptr;
    QLabel* m_label1 = nullptr;
    QLabel* m_label2 = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace quorlink::app
