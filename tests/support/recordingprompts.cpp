#include "recordingprompts.h"

namespace quorlink::test {

void RecordingPrompts::beep()
{
    m_entries.push_back({Entry::Beep, {}, 0, {}, {}});
}

int RecordingPrompts::message(const QString& text, int style, const QString& title)
{
    m_entries.push_back({Entry::Message, text, style, title, {}});
    if (m_hook)
        m_hook(m_entries.back());
    if (m_answers.empty())
        return (style & MessageStyle::YesNo) ? MessageResult::Yes : MessageResult::Ok;
    const int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

QString RecordingPrompts::openFileName(const QString& initialFolder, const QString& filter)
{
    m_entries.push_back({Entry::OpenFile, initialFolder, 0, {}, filter});
    if (m_files.empty())
        return {};
    QString file = m_files.front();
    m_files.pop_front();
    return file;
}

std::vector<RecordingPrompts::Entry> RecordingPrompts::messages() const
{
    std::vector<Entry> result;
    for (const Entry& entry : m_entries) {
        if (entry.kind == Entry::Message)
            result.push_back(entry);
    }
    return result;
}

QStringList RecordingPrompts::log() const
{
    QStringList result;
    for (const Entry& entry : m_entries) {
        switch (entry.kind) {
        case Entry::Beep: result << QStringLiteral("beep"); break;
        case Entry::Message: result << QStringLiteral("message:") + entry.title; break;
        case Entry::OpenFile: result << QStringLiteral("open:") + entry.text; break;
        }
    }
    return result;
}

} // namespace quorlink::test
