#include "comportdialog.h"

#include "formlayout.h"
#include "logging.h"

#include "link/protocol.h"
#include "platform/commport.h"
#include "platform/runtimeerror.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>

namespace quorlink::app {

namespace {

// Each step of reopening the port may fail on its own; a port that cannot
// be opened is left closed, and the next command reports it.
template <typename Step> void ignoringFailure(const char* what, Step step)
{
    try {
        step();
    } catch (const RuntimeError& error) {
        qCInfo(lcApp) << what << error.message();
    }
}

} // namespace

Qt::WindowFlags fixedDialogFlags()
{
    return Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
           Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
}

ComPortDialog::ComPortDialog(CommPort& port, int& comPortNumber,
                             const std::array<bool, PortCount>& portBusy, QWidget* owner,
                             const PortTips& busyReasons)
    : QDialog(owner, fixedDialogFlags()), m_port(port), m_comPortNumber(comPortNumber)
{
    setObjectName(QStringLiteral("ComPort"));
    setWindowTitle(QStringLiteral("Communication Port"));
    setFixedSize(pixelRectFromTwips(0, 0, 3135, 3375).size());

    auto* frame = new QGroupBox(QStringLiteral("Com Port No."), this);
    frame->setGeometry(pixelRectFromTwips(960, 240, 1335, 2295));
    frame->setStyleSheet(classicFrameStyleSheet());
    for (int i = 0; i < PortCount; ++i) {
        auto* button = new QRadioButton(QStringLiteral("COM%1").arg(i + 1), frame);
        button->setObjectName(QStringLiteral("Option1_%1").arg(i));
        button->setGeometry(pixelRectFromTwips(240, 240 + 480 * i, 855, 375));
        m_options[static_cast<std::size_t>(i)] = button;
    }
    m_options[0]->setChecked(true); // the design's choice, before the port is known
    for (int i = 0; i < PortCount; ++i) {
        connect(m_options[static_cast<std::size_t>(i)], &QRadioButton::toggled, this,
                [this, i](bool checked) {
                    if (checked)
                        Option1_Click(i);
                });
    }

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setGeometry(pixelRectFromTwips(240, 2760, 1215, 375));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &ComPortDialog::Command1_Click);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setGeometry(pixelRectFromTwips(1680, 2760, 1215, 375));
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &ComPortDialog::Command2_Click);

    Form_Load(portBusy, busyReasons);
}

void ComPortDialog::Form_Load(const std::array<bool, PortCount>& portBusy,
                              const PortTips& tips)
{
    for (int i = 0; i < PortCount; ++i) {
        QRadioButton* button = option(i);
        const auto index = static_cast<std::size_t>(i);
        button->setToolTip(tips[index]);
        if (portBusy[index])
            button->setEnabled(false);
        else if (i == m_comPortNumber - 1)
            button->setChecked(true);
    }
}

void ComPortDialog::Option1_Click(int index)
{
    m_comPortNumber = index + 1;
}

void ComPortDialog::reopen()
{
    ignoringFailure("settings", [this] { m_port.setSettings(link::protocol::DataSettings); });
    ignoringFailure("open", [this] {
        if (!m_port.portOpen())
            m_port.setPortOpen(true);
    });
}

void ComPortDialog::Command1_Click()
{
    ignoringFailure("close", [this] {
        if (m_port.portOpen())
            m_port.setPortOpen(false);
    });
    ignoringFailure("port number", [this] { m_port.setCommPort(m_comPortNumber); });
    reopen();
    accept();
}

void ComPortDialog::Command2_Click()
{
    ignoringFailure("close", [this] {
        if (m_port.portOpen())
            m_port.setPortOpen(false);
    });
    m_comPortNumber = m_port.commPort();
    reopen();
    reject();
}

// Esc is the Cancel button, not the close box.
void ComPortDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        m_cancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace quorlink::app
