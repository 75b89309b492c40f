#include "mainform.h"

#include "splash.h"
#include "twips.h"

#include <QMenuBar>
#include <QStatusBar>

namespace quorlink::app {

MainForm::MainForm(const MainFormServices& services, QWidget* parent)
    : QMainWindow(parent),
      MSComm1(services.devices),
      Timer1(services.time.createTimer()),
      Timer2(services.time.createTimer()),
      link(MSComm1, *Timer1, *Timer2, services.time, services.prompts),
      m_services(services)
{
    setWindowTitle(QStringLiteral("Varnex Quorlink Update"));
    createControls();
    createMenus();
}

MainForm::~MainForm() = default;

QString MainForm::remoteItemText(int card)
{
    return QString::number(card) + QStringLiteral(". Computer ") + QString::number(card);
}

void MainForm::createControls()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);
    const auto placeTwips = [](QWidget* widget, double left, double top, double width,
                               double height) {
        widget->setGeometry(pixelsFromTwipsX(left), pixelsFromTwipsY(top), pixelsFromTwipsX(width),
                            pixelsFromTwipsY(height));
    };
    Frame1[0] = new QGroupBox(QStringLiteral("Varnex Quorlink Management Card"), central);
    Frame1[1] = new QGroupBox(QStringLiteral("Varnex Quorlink Remote Cards"), central);
    placeTwips(Frame1[0], 1680, 0, 5900, 860);
    placeTwips(Frame1[1], 120, 840, 9150, 3400);
    for (int index = 0; index < 4; ++index) {
        List1[index] = new QListWidget(Frame1[index < 2 ? 0 : 1]);
        List1[index]->setObjectName(QStringLiteral("List1_%1").arg(index));
        if (index > 0)
            List1[index]->setSelectionMode(QAbstractItemView::MultiSelection);
    }
    List1[0]->addItem(QStringLiteral(" Quorlink OSD"));
    List1[0]->setEnabled(false);
    placeTwips(List1[0], 120, 240, 5655, 285);
    placeTwips(List1[1], 120, 480, 5655, 285);
    placeTwips(List1[2], 240, 240, 4280, 2960);
    placeTwips(List1[3], 4630, 240, 4280, 2960);
    statusBar();
    resize(pixelsFromTwipsX(9510), pixelsFromTwipsY(6030));
}

void MainForm::createMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile = file->menuAction();
    mnuOpen = file->addAction(QStringLiteral("&Open"));
    file->addSeparator();
    mnuExit = file->addAction(QStringLiteral("&Exit"));
    connect(mnuExit, &QAction::triggered, this, &QWidget::close);
    QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
    mnuOptions = options->menuAction();
    mnuPort = options->addAction(QStringLiteral("&Com Port"));
    mnuAdvanced = options->addAction(QStringLiteral("&Advanced"));
    mnuAdvanced->setCheckable(true);
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp = help->menuAction();
    mnuAbout = help->addAction(QStringLiteral("&About"));
}

} // namespace quorlink::app
