// The main window's controls, menus, layout and key preview.
#include "mainform.h"

#include "formlayout.h"
#include "splash.h"
#include "twips.h"

#include "mainformdesign.h"
#include "progbar/progbar.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QResizeEvent>

namespace quorlink::app {

namespace {

// The classic key code of a released key, 0 for keys the window ignores.
int classicKeyCode(int qtKey)
{
    if (qtKey == Qt::Key_Tab || qtKey == Qt::Key_Backtab)
        return 9;
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return qtKey; // the upper-case ASCII code in both systems
    return 0;
}

int menuBarHeightOf(QMainWindow& window)
{
    QMenuBar* bar = window.menuBar();
    const int forWidth = bar->heightForWidth(window.width());
    return forWidth > 0 ? forWidth : bar->sizeHint().height();
}

} // namespace

MainForm::MainForm(const MainFormServices& services, QWidget* parent)
    : QMainWindow(parent), m_services(services), MSComm1(services.session.port()),
      Timer1(services.session.timer1()), Timer2(services.session.timer2()),
      link(services.session.link())
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Varnex Quorlink Update"));
    createControls();
    createMenus();
    setOuterSizeTwips(FormLayout::DesignClientWidth + FormLayout::FrameWidth,
                      FormLayout::DesignClientHeight + FormLayout::FrameHeight);
    Form_Resize();
    // Key preview: the window sees every key released inside it first.
    qApp->installEventFilter(this);
}

MainForm::~MainForm() = default;

QString MainForm::remoteItemText(int card)
{
    return QString::number(card) + QStringLiteral(". Computer ") + QString::number(card);
}

void MainForm::createControls()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("client"));
    setCentralWidget(central);

    m_ui.Frame1[0] = new QGroupBox(QStringLiteral("Varnex Quorlink Management Card"), central);
    m_ui.Frame1[1] = new QGroupBox(QStringLiteral("Varnex Quorlink Remote Cards"), central);
    for (int index = 0; index < 2; ++index) {
        m_ui.Frame1[index]->setObjectName(QStringLiteral("Frame1_%1").arg(index));
        m_ui.Frame1[index]->setStyleSheet(classicFrameStyleSheet());
    }
    for (int index = 0; index < 4; ++index)
        m_ui.List1[index] = new CardList(index, m_ui.Frame1[index < 2 ? 0 : 1]);
    m_ui.List1[0]->addItem(QStringLiteral(" Quorlink OSD"));
    m_ui.List1[0]->setEnabled(false);
    // One-item lists: no scroll bar over the item's text.
    for (int index = 0; index < 2; ++index) {
        m_ui.List1[index]->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_ui.List1[index]->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    connectCardLists();

    m_ui.ProgBar1 = new progbar::ProgBar(central);
    m_ui.ProgBar1->setObjectName(QStringLiteral("ProgBar1"));
    applyMainFormDesign(*m_ui.ProgBar1);

    createToolbar();

    m_ui.StatusBar1 = new StatusPanels(this);
    setStatusBar(m_ui.StatusBar1);
    m_ui.StatusBar1->setPanelText(1, QStringLiteral("File Name:"));
    m_ui.StatusBar1->setPanelText(2, IdleStatusText);
}

void MainForm::createToolbar()
{
    m_ui.asxToolbar1 = new Toolbar(centralWidget());
    for (const QString& key :
         {ToolbarKey::SelectAll, ToolbarKey::UnselectAll, ToolbarKey::Start,
          ToolbarKey::FirmwareVersion, ToolbarKey::HardwareVersion, ToolbarKey::Cancel})
        m_ui.asxToolbar1->addButton(key);
    m_ui.asxToolbar1->addButton(ToolbarKey::Reset, false);
    connect(m_ui.asxToolbar1, &Toolbar::buttonClick, this, &MainForm::asxToolbar1_ButtonClick);
}

void MainForm::connectCardLists()
{
    for (CardList* list : m_ui.List1) {
        const int index = list->index();
        connect(list, &CardList::mouseUp, this, [this, index](int button, int shift, int x, int y) {
            List1_MouseUp(index, button, shift, x, y);
        });
        connect(list, &CardList::keyPressed, this,
                [this, index](int keyAscii) { List1_KeyPress(index, keyAscii); });
        connect(list, &CardList::gotFocus, this, [this, index] { List1_GotFocus(index); });
        connect(list, &CardList::lostFocus, this, [this, index] { List1_LostFocus(index); });
    }
}

void MainForm::createMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    m_ui.mnuFile = file->menuAction();
    m_ui.mnuOpen = file->addAction(QStringLiteral("&Open"));
    connect(m_ui.mnuOpen, &QAction::triggered, this, &MainForm::mnuOpen_Click);
    file->addSeparator();
    m_ui.mnuExit = file->addAction(QStringLiteral("&Exit"));
    connect(m_ui.mnuExit, &QAction::triggered, this, &QWidget::close);
    QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
    m_ui.mnuOptions = options->menuAction();
    m_ui.mnuPort = options->addAction(QStringLiteral("&Com Port"));
    connect(m_ui.mnuPort, &QAction::triggered, this, &MainForm::mnuPort_Click);
    m_ui.mnuAdvanced = options->addAction(QStringLiteral("&Advanced"));
    m_ui.mnuAdvanced->setCheckable(true);
    connect(m_ui.mnuAdvanced, &QAction::triggered, this, &MainForm::mnuAdvanced_Click);
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    m_ui.mnuHelp = help->menuAction();
    m_ui.mnuAbout = help->addAction(QStringLiteral("&About"));
    connect(m_ui.mnuAbout, &QAction::triggered, this, &MainForm::mnuAbout_Click);
}

// --- Size and layout ----------------------------------------------------------

double MainForm::outerWidthTwips() const
{
    return twipsFromPixelsX(width()) + FormLayout::FrameWidth;
}

double MainForm::outerHeightTwips() const
{
    auto& self = const_cast<MainForm&>(*this);
    return twipsFromPixelsY(height() - menuBarHeightOf(self)) + FormLayout::FrameHeight;
}

void MainForm::setOuterSizeTwips(double width, double height)
{
    resize(pixelsFromTwipsX(width - FormLayout::FrameWidth),
           menuBarHeightOf(*this) + pixelsFromTwipsY(height - FormLayout::FrameHeight));
}

void MainForm::Form_Resize()
{
    if (isMinimized())
        return;
    // The size the layout needs at least; a window manager that honours it
    // never lets the window get smaller, and the snap below covers the rest.
    const QSize minimum(pixelsFromTwipsX(FormLayout::MinimumOuterWidth - FormLayout::FrameWidth),
                        menuBarHeightOf(*this) + pixelsFromTwipsY(FormLayout::MinimumOuterHeight -
                                                                  FormLayout::FrameHeight));
    if (minimumSize() != minimum)
        setMinimumSize(minimum);
    double w = outerWidthTwips();
    double h = outerHeightTwips();
    if (h < FormLayout::MinimumOuterHeight || w < FormLayout::MinimumOuterWidth) {
        h = std::max(h, FormLayout::MinimumOuterHeight);
        w = std::max(w, FormLayout::MinimumOuterWidth);
        setOuterSizeTwips(w, h);
    }

    const FormLayout layout = FormLayout::compute(w, h);
    m_ui.Frame1[0]->setGeometry(pixelRectFromTwips(layout.managementFrame));
    m_ui.List1[0]->setGeometry(pixelRectFromTwips(layout.osdList));
    m_ui.List1[1]->setGeometry(pixelRectFromTwips(layout.managerList));
    m_ui.Frame1[1]->setGeometry(pixelRectFromTwips(layout.remoteFrame));
    m_ui.List1[2]->setGeometry(pixelRectFromTwips(layout.firstRemoteList));
    m_ui.List1[3]->setGeometry(pixelRectFromTwips(layout.secondRemoteList));
    m_ui.ProgBar1->setGeometry(pixelRectFromTwips(layout.progBar));

    // The toolbar sits on the status bar, across the whole window.
    QWidget* client = centralWidget();
    const int toolbarHeight = m_ui.asxToolbar1->sizeHint().height();
    m_ui.asxToolbar1->setGeometry(0, client->height() - toolbarHeight, client->width(),
                                  toolbarHeight);
    m_ui.StatusBar1->setFileNamePanelWidth(pixelsFromTwipsX(layout.statusPanel1Width));
    update();
}

void MainForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

// Coming back from the minimised state is a resize like any other.
void MainForm::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        Form_Resize();
}

// --- Key preview --------------------------------------------------------------

bool MainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease && handleKeyPreview(watched, event))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

// A released key is seen once, by the window, before the control it went to;
// the keys the window acts on go no further, so that the same release,
// passed on to the parents, is not handled again.
bool MainForm::handleKeyPreview(QObject* watched, QEvent* event)
{
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this || !isEnabled())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->isAutoRepeat())
        return false;
    const int code = classicKeyCode(key->key());
    if (code != 9 && buttonOfCommandKey(code) == 0)
        return false;
    Form_KeyUp(code, shiftBits(key->modifiers()));
    return true;
}

} // namespace quorlink::app
