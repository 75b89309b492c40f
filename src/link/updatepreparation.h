#pragma once

#include "updaterun.h"

#include <QList>
#include <QString>

namespace quorlink {
class Prompts;
class TimeSource;
namespace firmware {
class FirmwareReader;
}
} // namespace quorlink

namespace quorlink::link {

class Link;

// What the preparation of an update needs of the program that runs it (the
// window or the tool): the link, the version query, the confirmation and the
// choice of cards as it stands. Messages go through Prompts.
class PreparationFace
{
public:
    virtual ~PreparationFace() = default;

    // False once the user has turned to something else (Cancel, another
    // selection): the preparation ends before anything more is sent.
    virtual bool stillWanted() { return true; }
    // The link to the cards with its port open; null ends the preparation
    // (the face has said why).
    virtual Link* openLink() = 0;
    // The firmware version query over the scope in update mode, the answers
    // kept for the confirmation; link.linkOk tells whether a card answered.
    virtual void readVersions(Scope scope) = 0;
    // What the management card reported to that query; empty when it did not.
    virtual QString managerVersionText() const = 0;
    // Shows the cards' versions against the file's; true goes on.
    virtual bool confirmUpdate() = 0;
    // The remote cards the run goes to, ascending: the query lets go of a
    // card that the switch reports as not responding.
    virtual QList<int> remoteCards() const = 0;
};

// What the user chose for Start.
struct UpdateChoice
{
    QString path;                 // the firmware file; empty: none chosen
    Scope scope = Scope::None;    // from the selection
    int remoteCardCount = 0;      // the remote cards listed in all
    // A missing file is reported as such (the tool, as Open does); otherwise
    // it is a file that cannot be read.
    bool reportMissingFile = false;
};

// Start up to the update run: the file's name against the cards, the file
// read and checked, the line and the sample check, the cards' versions, the
// OSD language question, the confirmation and which run follows. Nothing is
// sent to the cards before the file has passed every check, and nothing but
// the version query before the user has agreed.
class UpdatePreparation
{
public:
    enum class Outcome
    {
        Run,              // plan() is the run to start
        Ended,            // nothing chosen or interrupted: said so, or nothing to say
        FileRefused,      // the file does not do here: said so
        NoLink,           // openLink() gave none
        NoAnswer,         // the line went, or a remote card did not answer: said so
        LanguageDeclined, // the OSD language question was answered No
        NotConfirmed      // the confirmation was declined
    };

    UpdatePreparation(PreparationFace& face, Prompts& prompts, TimeSource& time,
                      firmware::FirmwareReader& file);

    Outcome prepare(const UpdateChoice& choice);
    const UpdatePlan& plan() const { return m_plan; }

private:
    Outcome checkFile(const UpdateChoice& choice);
    Outcome askAndPlan(const UpdateChoice& choice, Link& link);
    // The language question of a management card update; Run goes on.
    Outcome askLanguage();
    void warn(const QString& text);

    PreparationFace& m_face;
    Prompts& m_prompts;
    TimeSource& m_time;
    firmware::FirmwareReader& m_file;
    UpdatePlan m_plan;
};

} // namespace quorlink::link
