#include "aboutdialog.h"

#include "comportdialog.h"
#include "formlayout.h"

#include "platform/version.h"

#include <QLabel>
#include <QPushButton>

namespace quorlink::app {

AboutDialog::AboutDialog(QWidget* owner) : QDialog(owner, fixedDialogFlags())
{
    setObjectName(QStringLiteral("UpdateHelp"));
    setWindowTitle(QStringLiteral("About Varnex Quorlink Update"));
    setFixedSize(pixelRectFromTwips(0, 0, 5175, 1230).size());

    // The version, so that a technician can quote it.
    auto* name = new QLabel(
        QStringLiteral("Varnex Quorlink Update %1").arg(QLatin1String(ProgramVersion)), this);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    name->setGeometry(pixelRectFromTwips(240, 120, 3360, 300));
    auto* description = new QLabel(
        QStringLiteral("Reads versions of, updates and restarts the cards of a Quorlink switch."),
        this);
    description->setWordWrap(true);
    description->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    description->setGeometry(pixelRectFromTwips(240, 420, 3360, 720));

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setGeometry(pixelRectFromTwips(3840, 120, 1095, 375));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &AboutDialog::Command1_Click);
}

} // namespace quorlink::app
