#pragma once

#include "cardlist.h"
#include "statusbar.h"
#include "toolbar.h"

#include "firmware/firmwarereader.h"
#include "link/link.h"
#include "link/operationevents.h"
#include "link/resetrun.h"
#include "link/session.h"
#include "link/versionrun.h"
#include "platform/commport.h"
#include "platform/timesource.h"

#include <QAction>
#include <QGroupBox>
#include <QList>
#include <QMainWindow>
#include <QPointF>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace quorlink::link {
struct UpdatePlan;
} // namespace quorlink::link

namespace quorlink::progbar {
class ProgBar;
}

namespace quorlink::app {

class Splash;

// What the window needs from outside: the session on the switch (with its
// devices, time and the way it asks the user) and the folder of its settings.
// The programs pass real ones, the tests simulated ones.
struct MainFormServices
{
    link::Session& session;
    QString systemDirectory;
};

// The toolbar's buttons, numbered from 1; the caption of each is also its key.
namespace ToolbarButton {
inline constexpr int SelectAll = 1;
inline constexpr int UnselectAll = 2;
inline constexpr int Start = 3;
inline constexpr int FirmwareVersion = 4;
inline constexpr int HardwareVersion = 5;
inline constexpr int Cancel = 6;
inline constexpr int Reset = 7;
} // namespace ToolbarButton

// Colours as the progress bar takes them: 0x00BBGGRR.
namespace Colour {
inline constexpr std::uint32_t Black = 0x000000;
inline constexpr std::uint32_t White = 0xFFFFFF;
inline constexpr std::uint32_t Red = 0x0000FF;
inline constexpr std::uint32_t Yellow = 0x00FFFF;
inline constexpr std::uint32_t Blue = 0xFF0000;
} // namespace Colour

// The status panel's text when no operation runs.
inline const QString IdleStatusText = QStringLiteral("Status:");

namespace ToolbarKey {
inline const QString SelectAll = QStringLiteral("&Select All");
inline const QString UnselectAll = QStringLiteral("&Unselect All");
inline const QString Start = QStringLiteral("S&tart");
inline const QString FirmwareVersion = QStringLiteral("F/W &Version");
inline const QString HardwareVersion = QStringLiteral("H/&W Version");
inline const QString Cancel = QStringLiteral("&Cancel");
inline const QString Reset = QStringLiteral("&Reset");
} // namespace ToolbarKey

// The main window. It owns the card lists and all shared state of the
// program and works the session's port, link timers and link; the link and
// firmware modules work on what it hands them.
class MainForm : public QMainWindow, public link::OperationEvents
{
    Q_OBJECT

public:
    static constexpr int PortCount = 4;
    static constexpr int RemoteCardSlots = 64; // index card number - 2
    // The card lists, List1(0) to List1(3).
    static constexpr int OsdList = 0;
    static constexpr int ManagerList = 1;
    static constexpr int FirstRemoteList = 2;
    static constexpr int SecondRemoteList = 3;

    explicit MainForm(const MainFormServices& services, QWidget* parent = nullptr);
    ~MainForm() override;

    // Start-up, in this order; then show().
    void Form_Initialize();
    void Form_Load();

    // The window's position in twips (the settings file keeps it so).
    double leftTwips() const;
    double topTwips() const;
    void setLeftTwips(double twips);
    void setTopTwips(double twips);

    // The outer size in twips the layout works with (see FormLayout).
    double outerWidthTwips() const;
    double outerHeightTwips() const;
    void setOuterSizeTwips(double width, double height);

    // --- Card lists and selection --------------------------------------------
    void List1_MouseUp(int index, int button, int shift, int x, int y);
    void List1_KeyPress(int index, int keyAscii);
    void List1_GotFocus(int index);
    void List1_LostFocus(int index);
    void SelectAllRemoteCards();
    void UnselectAllRemoteCards();
    // What a command works on. A remote selection wins over the management card.
    link::Scope selectionScope() const;

    // --- Commands --------------------------------------------------------------
    void asxToolbar1_ButtonClick(int index, const QString& key);
    // keyCode as the classic key codes (letters = upper-case ASCII, Tab = 9);
    // shift bits 1 Shift, 2 Ctrl, 4 Alt.
    void Form_KeyUp(int keyCode, int shift);
    void mnuAdvanced_Click();
    void mnuPort_Click();
    void mnuAbout_Click();
    void CancelOperation();
    void RestoreIdleState();
    void Form_Resize();

    // Entry points of the operations started from the window.
    void CheckVersionSelection(bool hardware = false);
    void CheckResetSelection();
    void StartUpdate();
    void mnuOpen_Click();
    // The folder File > Open starts in: the sample files while the port is
    // the built-in simulated switch, else the folder of real firmware.
    QString openFolder() const;

    // --- Version run -------------------------------------------------------------
    // The version query over the chosen cards (the management card or the
    // selected remote cards). In update mode the answers are kept
    // for the version confirmation instead of shown in the lists. The caller
    // holds link::Link::Operation.
    void GetVersions(link::Scope scope, link::VersionRun::Options options = {});
    // The selected remote cards of List1(2) and List1(3), card numbers ascending.
    QList<int> selectedRemoteCards() const;

    // Where card `card` is listed: List1(1) row 0 for the management card;
    // the remote cards from 2 on down List1(2), then on in List1(3).
    struct CardItem
    {
        int list;
        int row;
    };
    CardItem itemOfCard(int card) const;
    // The card listed at `row` of List1(list), `list` 1 to 3.
    int cardOfItem(int list, int row) const;

    // --- Reset ---------------------------------------------------------------------
    // Restarts the chosen cards: the management card or the selected remote
    // cards. The caller holds link::Link::Operation.
    void ResetCards(link::ResetMode mode);

    // Shows the version confirmation at the window's top-left corner, modal;
    // returns whether the user confirmed.
    bool ShowVersionDialog();

    // The chosen firmware file and status panel 1 together.
    void setFirmwareFile(const QString& path);
    void clearFirmwareFile();
    // Status panel 2.
    void setStatusText(const QString& text);
    QString statusText() const;

    // The window's controls. Only the window changes them; others may look
    // and act as a user would (click, trigger).
    struct Controls
    {
        std::array<QGroupBox*, 2> Frame1{};
        std::array<CardList*, 4> List1{};
        progbar::ProgBar* ProgBar1 = nullptr;
        Toolbar* asxToolbar1 = nullptr;
        StatusPanels* StatusBar1 = nullptr;
        QAction* mnuFile = nullptr;
        QAction* mnuOpen = nullptr;
        QAction* mnuExit = nullptr;
        QAction* mnuOptions = nullptr;
        QAction* mnuPort = nullptr;
        QAction* mnuAdvanced = nullptr;
        QAction* mnuHelp = nullptr;
        QAction* mnuAbout = nullptr;
    };
    const Controls& controls() const { return m_ui; }

    // The ports found at start-up and the one remembered; the COM port
    // dialog reads them and moves the number.
    struct Ports
    {
        int number = 1;
        std::array<bool, PortCount> busy{};
        // The dialog's tooltips: why a busy port is unusable, with its
        // device; for a free port behind a slow USB adapter, how to speed it up.
        std::array<QString, PortCount> tips{};
    };
    const Ports& ports() const { return m_ports; }

    // Reset is offered (Options > Advanced); the version queries and Start are not.
    bool advancedMode() const { return m_advancedMode; }
    // While set, the list handlers leave the selection alone.
    bool listEventsSuppressed() const { return m_listEventsSuppressed; }

    Prompts& prompts() { return m_services.session.prompts(); }
    TimeSource& time() { return m_services.session.time(); }
    QString settingsFilePath() const;

    // The plain item text of remote card `card`: "5. Computer 5".
    static QString remoteItemText(int card);
    static QString managerItemText() { return QStringLiteral(" Quorlink Manager"); }

    // --- link::OperationEvents: the window's face of the link operations ----
    void runStarts(link::RunKind kind, const QList<int>& cards) override;
    void cardAsked(int card) override;
    void cardAnswered(int card, link::Answer answer, const QString& reply) override;
    void cardKept(int card, bool kept) override;
    void progress(int value) override;
    void stageReached(link::Stage stage) override;
    void progressTextLight(bool light) override;
    void downloadStage(link::DownloadStage stage, int target) override;
    void runInterrupted() override;
    void runOutcome(link::RunKind kind, bool succeeded) override;
    void runEnds(link::RunKind kind) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Outcome
    {
        None,
        Manager,
        Remote
    };

    void createControls();
    void createMenus();
    void createToolbar();
    void connectCardLists();
    void fillCardLists();
    void openChosenPort();
    void Form_Unload();

    Outcome toggleFocusItem(int index, int focusItem);
    void applyOutcome(Outcome outcome, int clickedIndex);
    void giveFocusItem(int index);
    // The lists' selection is the one record of the chosen cards; a remote
    // selection is the target where both kinds are selected.
    bool managerSelected() const;
    bool remoteSelected() const;
    void enableCardListsWhenNothingSelected();
    void setMenusEnabled(bool enabled);
    static void setMenuEnabled(QAction* menu, bool enabled);
    void setToolbarButtonsEnabled(int first, int last, bool enabled);
    void leaveAdvancedMode();
    void restoreIdleWindow(bool stopLinkTimers);
    void reopenPortSilently();
    bool handleKeyPreview(QObject* watched, QEvent* event);

    // The widget steps of the operations' events.
    void lockForVersionRun();
    void showManagerQueryStarting();
    void showRemoteQueryStarting(int card);
    void showRemoteAnswerArriving(int card);
    void appendVersionText(int card, const QString& answer);
    void storeVersionText(int card, const QString& answer);
    void keepCardSelected(int card);
    void deselectCard(int card);
    void finishManagerVersionRun();
    void finishRemoteVersionRun();
    void endVersionRun();
    void finishReset();
    void downloadBegins();
    void downloadStored(int target);
    void downloadEnds();
    void updateRunBegins();
    void managerRunBegins();
    void remoteRunBegins();
    void remoteDownloadOver();
    void managerRunEnds();
    void remoteRunEnds();
    void updateRunEnds();
    void recoverFromVersionRunError();
    void focusLowestSelectedItem(int list);
    bool passesReadTest(const QString& path);
    void prepareAndRunUpdate();
    // Sends the checked file to the selected cards (the last step of Start).
    void RunUpdate(const link::UpdatePlan& plan);
    // The toolbar button of a command letter (S, U, T, V, W, C, R), else 0.
    static int buttonOfCommandKey(int keyCode);

    // What the events of the running operations are about: which status
    // texts a stage shows, how an answer is shown, how a run finishes.
    enum class Activity
    {
        Versions,
        Reset,
        Download
    };
    Activity m_activity = Activity::Versions;
    link::RunKind m_versionKind = link::RunKind::FirmwareVersions;
    bool m_versionsOfManager = false;
    bool m_updateOfManager = false;
    bool m_programming = false;

    class WindowPreparation;

    MainFormServices m_services;
    // The session's.
    CommPort& MSComm1;
    LinkTimer& Timer1;
    LinkTimer& Timer2;
    // Also holds the link flags WaitingForReply, PauseActive, ReplyReceived,
    // CancelRequested and LinkOk.
    link::Link& link;
    Controls m_ui;

    QString m_comSetting; // the settings file's port line, read at start-up
    Ports m_ports;

    bool m_listEventsSuppressed = false;
    // Per list, the focus item at the last click; Tab brings it back.
    std::array<int, 4> m_lastListIndex{};
    bool m_tabPressed = false; // the last key released in the window was Tab
    bool m_advancedMode = false;

    QString m_firmwareFile;
    // What the version confirmation shows.
    QString m_fileVersionText;
    QString m_managerVersionText;
    std::array<QString, RemoteCardSlots> m_remoteVersionTexts;
    int m_lastVersionList = 0;
    // The firmware file as Start last read it.
    firmware::FirmwareReader m_firmware;

    std::unique_ptr<Splash> m_splash;
    std::optional<QPointF> m_positionTwips;
};

} // namespace quorlink::app
