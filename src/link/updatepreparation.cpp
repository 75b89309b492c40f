#include "updatepreparation.h"

#include "link.h"

#include "firmware/firmwarereader.h"
#include "firmware/language.h"
#include "platform/commport.h"
#include "platform/prompts.h"

#include <QFileInfo>

namespace quorlink::link {

namespace {

using firmware::CardKind;
using firmware::FileOutcome;
using Outcome = UpdatePreparation::Outcome;

} // namespace

UpdatePreparation::UpdatePreparation(PreparationFace& face, Prompts& prompts, TimeSource& time,
                                     firmware::FirmwareReader& file)
    : m_face(face), m_prompts(prompts), m_time(time), m_file(file)
{
}

void UpdatePreparation::warn(const QString& text)
{
    m_prompts.beep();
    m_prompts.message(text, MessageStyle::ExclamationOk, QStringLiteral("Warning"));
}

Outcome UpdatePreparation::prepare(const UpdateChoice& choice)
{
    m_plan = {};
    m_plan.scope = choice.scope;
    if (choice.path.isEmpty()) {
        warn(QStringLiteral("You must choose file for update"));
        return Outcome::Ended;
    }
    if (const Outcome file = checkFile(choice); file != Outcome::Run)
        return file;
    // The file is read and tested before a missing selection is reported.
    if (choice.scope == Scope::None) {
        warn(QStringLiteral("You must choose card(s) for update"));
        return Outcome::Ended;
    }
    if (!m_face.stillWanted())
        return Outcome::Ended;
    Link* link = m_face.openLink();
    if (!link)
        return Outcome::NoLink;
    // Before the version query: nothing goes to the cards of a real switch
    // on behalf of a sample file.
    if (const FileOutcome destination = m_file.checkDestination(link->port().deviceReach());
        !destination.ok()) {
        m_prompts.beep();
        m_prompts.message(destination.text, destination.style, destination.title);
        return Outcome::FileRefused;
    }
    link->linkOk = false;
    m_face.readVersions(choice.scope);
    if (!m_face.stillWanted())
        return Outcome::Ended;
    // A port that went away during the query has been reported once; with
    // no line to the cards there is nothing to ask about and nothing to send.
    if (!link->port().portOpen())
        return Outcome::NoAnswer;
    return askAndPlan(choice, *link);
}

Outcome UpdatePreparation::checkFile(const UpdateChoice& choice)
{
    const CardKind kind =
        choice.scope == Scope::ManagementCard ? CardKind::Manager : CardKind::Remote;
    FileOutcome outcome = choice.scope == Scope::None
                              ? FileOutcome::good()
                              : firmware::checkFileName(choice.path, kind);
    if (outcome.ok() && choice.reportMissingFile && !QFileInfo::exists(choice.path))
        outcome = FileOutcome::notFound(choice.path);
    // As at Open, a file that is not there or not named for the cards is
    // reported without a beep.
    if (!outcome.ok()) {
        m_prompts.message(outcome.text, outcome.style, outcome.title);
        return Outcome::FileRefused;
    }
    outcome = m_file.readAndCheck(choice.path, kind, m_time);
    if (!outcome.ok()) {
        m_prompts.beep();
        m_prompts.message(outcome.text, outcome.style, outcome.title);
        return Outcome::FileRefused;
    }
    return Outcome::Run;
}

Outcome UpdatePreparation::askAndPlan(const UpdateChoice& choice, Link& link)
{
    const bool manager = choice.scope == Scope::ManagementCard;
    if (manager) {
        if (const Outcome language = askLanguage(); language != Outcome::Run)
            return language;
    }
    if (link.linkOk) {
        if (!m_face.confirmUpdate())
            return Outcome::NotConfirmed;
    } else if (!manager) {
        // A remote card that did not answer: the communication error has
        // been shown, nothing is sent.
        return Outcome::NoAnswer;
    }
    // A silent management card is updated after the language question alone:
    // it may be silent because its firmware is broken.
    m_plan.fileLength = m_file.fileLength;
    if (manager) {
        m_plan.firstImage = m_file.firstImage;
        m_plan.secondImage = m_file.secondImage;
    } else {
        m_plan.records = m_file.fileRecords;
        m_plan.remoteCards = m_face.remoteCards();
        m_plan.remoteCardCount = choice.remoteCardCount;
    }
    return Outcome::Run;
}

Outcome UpdatePreparation::askLanguage()
{
    const firmware::LanguageCheck check =
        firmware::checkLanguage(m_face.managerVersionText(), m_file.fileVersionText);
    switch (check.outcome) {
    case firmware::LanguageCheck::Outcome::Same:
        return Outcome::Run;
    case firmware::LanguageCheck::Outcome::UnknownFileLanguage: {
        const FileOutcome unknown = FileOutcome::unknownLanguage();
        m_prompts.beep();
        m_prompts.message(unknown.text, unknown.style, unknown.title);
        return Outcome::FileRefused;
    }
    case firmware::LanguageCheck::Outcome::Question:
        break;
    }
    m_plan.languageChange = m_prompts.message(check.question, MessageStyle::YesNoExclamation,
                                              QStringLiteral("Warning")) == MessageResult::Yes;
    return m_plan.languageChange ? Outcome::Run : Outcome::LanguageDeclined;
}

} // namespace quorlink::link
