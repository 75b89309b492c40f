#include "dialogprompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace quorlink::app {

void DialogPrompts::beep()
{
    QApplication::beep();
}

int DialogPrompts::message(const QString& text, int style, const QString& title)
{
    QMessageBox box(m_owner);
    box.setWindowTitle(title);
    box.setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    switch (style & 0xF0) {
    case MessageStyle::CriticalIcon: box.setIcon(QMessageBox::Critical); break;
    case 0x20: box.setIcon(QMessageBox::Question); break;
    case MessageStyle::ExclamationIcon: box.setIcon(QMessageBox::Warning); break;
    case 0x40: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    const bool yesNo = (style & 0x0F) == MessageStyle::YesNo;
    if (yesNo)
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    else
        box.setStandardButtons(QMessageBox::Ok);
    if (style & MessageStyle::Foreground) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.raise();
        box.activateWindow();
    }
    const int answer = box.exec();
    if (yesNo)
        return answer == QMessageBox::Yes ? MessageResult::Yes : MessageResult::No;
    return MessageResult::Ok;
}

QString DialogPrompts::toQtFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const qsizetype bracket = description.indexOf(QLatin1Char('('));
        if (bracket > 0)
            description = description.left(bracket).trimmed();
        result << description + QStringLiteral(" (") + parts[i + 1].split(QLatin1Char(';')).join(QLatin1Char(' '))
                      + QLatin1Char(')');
    }
    return result.isEmpty() ? filter : result.join(QStringLiteral(";;"));
}

QString DialogPrompts::openFileName(const QString& initialFolder, const QString& filter)
{
    return QFileDialog::getOpenFileName(m_owner, QString(), initialFolder, toQtFilter(filter));
}

} // namespace quorlink::app
