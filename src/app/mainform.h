#pragma once

#include "link/link.h"
#include "platform/commport.h"
#include "platform/timesource.h"

#include <QAction>
#include <QGroupBox>
#include <QListWidget>
#include <QMainWindow>
#include <QPointF>
#include <QString>

#include <array>
#include <memory>
#include <optional>

namespace quorlink {
class DeviceProvider;
class Prompts;
} // namespace quorlink

namespace quorlink::app {

class Splash;

// What the window needs from outside: the serial devices, time, and the way
// it asks the user. The programs pass real ones, the tests simulated ones.
struct MainFormServices
{
    DeviceProvider& devices;
    TimeSource& time;
    Prompts& prompts;
    QString systemDirectory;
};

// The main window. It owns the serial port, the two link timers, the card
// lists and all shared state of the program; the link and firmware modules
// work on what it hands them.
class MainForm : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int PortCount = 4;

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

    // --- Shared state --------------------------------------------------------
    CommPort MSComm1;
    std::unique_ptr<LinkTimer> Timer1;
    std::unique_ptr<LinkTimer> Timer2;
    link::Link link;

    QString WindowsDirectory;
    QString ComSetting;
    std::array<bool, PortCount> PortBusy{};
    int ComPortNumber = 1;
    int RemoteCardCount = 0;
    std::array<QString, 7> LanguageCodes;
    std::array<QString, 7> LanguageNames;

    bool Busy = false;
    bool ListEventsSuppressed = false;
    bool ManagerSelected = false;
    bool RemoteSelected = false;
    std::array<int, 4> LastListIndex{};

    // --- Controls ------------------------------------------------------------
    std::array<QGroupBox*, 2> Frame1{};
    std::array<QListWidget*, 4> List1{};
    QAction* mnuFile = nullptr;
    QAction* mnuOpen = nullptr;
    QAction* mnuExit = nullptr;
    QAction* mnuOptions = nullptr;
    QAction* mnuPort = nullptr;
    QAction* mnuAdvanced = nullptr;
    QAction* mnuHelp = nullptr;
    QAction* mnuAbout = nullptr;

    Prompts& prompts() { return m_services.prompts; }
    TimeSource& time() { return m_services.time; }
    QString settingsFilePath() const;

    // The plain item text of remote card `card`: "5. Computer 5".
    static QString remoteItemText(int card);
    static QString managerItemText() { return QStringLiteral(" Quorlink Manager"); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void createMenus();
    void fillCardLists();
    void fillLanguageTable();
    void openChosenPort();
    void Form_Unload();

    MainFormServices m_services;
    std::unique_ptr<Splash> m_splash;
    std::optional<QPointF> m_positionTwips;
};

} // namespace quorlink::app
