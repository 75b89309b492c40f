#pragma once

#include "platform/prompts.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace quorlink::test {

// Prompts for tests: records every beep and message box in order and answers
// from a script (OK when the script is empty).
class RecordingPrompts final : public Prompts
{
public:
    struct Entry
    {
        enum Kind { Beep, Message, OpenFile } kind;
        QString text;
        int style = 0;
        QString title;
        QString filter;
    };

    void beep() override;
    int message(const QString& text, int style, const QString& title) override;
    QString openFileName(const QString& initialFolder, const QString& filter) override;

    void scriptAnswer(int result) { m_answers.push_back(result); }
    void scriptFile(const QString& path) { m_files.push_back(path); }
    // Runs while a message box is "open" (for re-entrancy tests).
    void onMessage(std::function<void(const Entry&)> hook) { m_hook = std::move(hook); }

    const std::vector<Entry>& entries() const { return m_entries; }
    std::vector<Entry> messages() const;
    int messageCount() const { return static_cast<int>(messages().size()); }
    // "beep", "message:<title>" ... in order; handy for order assertions.
    QStringList log() const;
    void clear() { m_entries.clear(); }

private:
    std::vector<Entry> m_entries;
    std::deque<int> m_answers;
    std::deque<QString> m_files;
    std::function<void(const Entry&)> m_hook;
};

} // namespace quorlink::test
