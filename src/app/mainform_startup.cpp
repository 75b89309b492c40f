// Start-up and exit of the main window: single instance is checked by the
// program before the window exists; here the splash, the settings file, the
// window position, the port probe, the opening of the port, and the saving
// of the settings at exit.
#include "mainform.h"


#include "logging.h"
#include "link/portprobe.h"
#include "platform/adapterlatency.h"
#include "platform/settingsfile.h"
#include "splash.h"
#include "twips.h"

#include "link/protocol.h"
#include "platform/prompts.h"
#include "platform/runtimeerror.h"

#include <QCloseEvent>

namespace quorlink::app {

namespace {

// Where the window goes when the settings file gives no usable position.
constexpr double DesignLeftTwips = 100;
constexpr double DesignTopTwips = 100;

double positionInScreen(double value, double screenExtent)
{
    return (value < 0 || value > screenExtent) ? SettingsFile::DefaultPosition : value;
}

} // namespace

QString MainForm::settingsFilePath() const
{
    return SettingsFile::pathIn(m_services.systemDirectory);
}

// Twips are finer than pixels: the value last set is kept as long as the
// window has not been moved since, so an unmoved window saves what it read.
double MainForm::leftTwips() const
{
    if (m_positionTwips && pixelsFromTwipsX(m_positionTwips->x()) == x())
        return m_positionTwips->x();
    return twipsFromPixelsX(x());
}

double MainForm::topTwips() const
{
    if (m_positionTwips && pixelsFromTwipsY(m_positionTwips->y()) == y())
        return m_positionTwips->y();
    return twipsFromPixelsY(y());
}

void MainForm::setLeftTwips(double twips)
{
    m_positionTwips = QPointF(twips, topTwips());
    move(pixelsFromTwipsX(twips), y());
}

void MainForm::setTopTwips(double twips)
{
    m_positionTwips = QPointF(leftTwips(), twips);
    move(x(), pixelsFromTwipsY(twips));
}

void MainForm::Form_Initialize()
{
    m_splash = std::make_unique<Splash>();
    m_splash->centreOnScreen();
    m_splash->show();
    time().yield();  // let it paint; start-up goes on at once

    const QString path = settingsFilePath();
    SettingsFile::ensureExists(path);
    const SettingsFile::Lines lines = SettingsFile::readLines(path);
    m_comSetting = lines.com;

    setLeftTwips(SettingsFile::leftValue(lines.left).value_or(DesignLeftTwips));
    setTopTwips(SettingsFile::topValue(lines.top).value_or(DesignTopTwips));
    // A window saved while minimised or off screen comes back where it can be seen.
    setLeftTwips(positionInScreen(leftTwips(), screenWidthTwips()));
    setTopTwips(positionInScreen(topTwips(), screenHeightTwips()));
}

void MainForm::Form_Load()
{
    for (int port = 1; port <= PortCount; ++port) {
        const link::PortDiagnosis diagnosis = link::diagnosePort(link, port);
        m_ports.busy[port - 1] = diagnosis.busy();
        m_ports.tips[port - 1] =
            diagnosis.busy()
                ? diagnosis.reason
                : slowAdapterAdvice(diagnosis.device, adapterLatencyMs(diagnosis.device));
    }

    int firstFree = 0;
    for (int port = PortCount; port >= 1; --port) {
        if (!m_ports.busy[port - 1])
            firstFree = port;
    }

    if (firstFree == 0) {
        prompts().beep();
        prompts().message(QStringLiteral("There are no free Com Ports available in the system!"),
                          MessageStyle::CriticalOk, QStringLiteral("System Error"));
        m_ports.number = 1;
    } else {
        m_ports.number = SettingsFile::comPortValue(m_comSetting);
        if (m_ports.busy[m_ports.number - 1])
            m_ports.number = firstFree;
        openChosenPort();
    }

    fillCardLists();

    m_listEventsSuppressed = true;
    m_ui.List1[0]->setListIndex(-1);
    m_ui.List1[1]->setListIndex(0);
    m_ui.List1[2]->setListIndex(-1);
    m_ui.List1[3]->setListIndex(-1);
    m_lastListIndex[0] = 0;
    m_lastListIndex[1] = 0;
    m_listEventsSuppressed = false;

    m_ui.mnuOpen->setEnabled(false);

    if (m_splash) {
        m_splash->close();
        m_splash.reset();
    }
}

void MainForm::openChosenPort()
{
    // A failure from here on leaves the port closed; the first command then
    // reports the communication error.
    try {
        MSComm1.setSettings(link::protocol::DataSettings);
    } catch (const RuntimeError& error) {
        qCWarning(lcApp) << "settings:" << error.message();
    }
    try {
        MSComm1.setCommPort(m_ports.number);
        if (!MSComm1.portOpen())
            MSComm1.setPortOpen(true);
    } catch (const RuntimeError& error) {
        qCWarning(lcApp) << "cannot open" << MSComm1.deviceName() << error.message();
    }
}

void MainForm::fillCardLists()
{
    m_ui.List1[ManagerList]->addItem(managerItemText());
    for (int card = link::protocol::FirstRemoteCard; card <= 32; ++card)
        m_ui.List1[FirstRemoteList]->addItem(remoteItemText(card));
    for (int card = 33; card <= link::protocol::LastRemoteCard; ++card)
        m_ui.List1[SecondRemoteList]->addItem(remoteItemText(card));
}

void MainForm::closeEvent(QCloseEvent* event)
{
    // No closing while cards are being written, nor under any other
    // operation's wait: it would close the port the wait is polling.
    if (link.operationRunning()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void MainForm::Form_Unload()
{
    MSComm1.setPortOpen(false);
    const double left = positionInScreen(leftTwips(), screenWidthTwips());
    const double top = positionInScreen(topTwips(), screenHeightTwips());
    if (m_ports.number < 1)
        m_ports.number = 1;
    if (!SettingsFile::write(settingsFilePath(), static_cast<float>(left), static_cast<float>(top),
                             m_ports.number))
        qCWarning(lcApp) << "cannot write" << settingsFilePath();
}

} // namespace quorlink::app
