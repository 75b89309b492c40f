#pragma once

#include "platform/prompts.h"

#include <QPointer>
#include <QWidget>

namespace quorlink::app {

// Prompts shown as real Qt dialogs, owned by the main window.
class DialogPrompts final : public Prompts
{
public:
    void setOwner(QWidget* owner) { m_owner = owner; }

    void beep() override;
    int message(const QString& text, int style, const QString& title) override;
    QString openFileName(const QString& initialFolder, const QString& filter) override;

    // "Hex Files (*.hex)|qdx_mgt*e.hex" becomes "Hex Files (qdx_mgt*e.hex)".
    static QString toQtFilter(const QString& filter);

private:
    QPointer<QWidget> m_owner;
};

} // namespace quorlink::app
