#pragma once

#include "download.h"
#include "versionrun.h"

#include <QList>
#include <QStringList>

#include <functional>

namespace quorlink::link {

class Link;
class OperationEvents;

// What an update run sends, to which cards. The caller has read and checked
// the file; nothing here needs a window.
struct UpdatePlan
{
    Scope scope = Scope::None;
    // Remote run: the whole file, final end record last.
    QStringList records;
    // Management run: the file's two images, each with its end record last.
    QStringList firstImage;
    QStringList secondImage;
    qint64 fileLength = 0;
    // Remote run: the selected cards in ascending card number, and how many
    // remote cards the switch lists in all.
    QList<int> remoteCards;
    int remoteCardCount = 0;
    // The user accepted a change of the OSD language (management run).
    bool languageChange = false;
};

// The last step of Start: sends the firmware to the selected cards and reads
// their new versions back. A management run sends the file's second image
// and then its first, on one progress scale; a remote run sends the image
// once to one card, to all remote cards, or to the flagged group. A failed
// download ends the run without the programming wait and the read-back.
class UpdateRun
{
public:
    static constexpr int ManagerStepMs = 20; // creep between the images
    static constexpr int LanguageProgrammingStepMs = 150;
    static constexpr int RemoteProgrammingStepMs = 20;

    // `readBackVersions` runs the firmware version query over the scope.
    UpdateRun(Link& link, OperationEvents& events,
              std::function<void(Scope scope)> readBackVersions);

    // `remoteCardSelected` is the caller's record of the cards chosen for a
    // group: cleared, then set for the cards of a remote run.
    void run(const UpdatePlan& plan, RemoteCardFlags& remoteCardSelected);

    // The download target of a remote run: the card's own number for one
    // card, all remote cards when every one is selected, else the group.
    static int remoteTarget(const QList<int>& cards, int remoteCardCount);

private:
    void managerRun(const UpdatePlan& plan, const RemoteCardFlags& flags);
    void remoteRun(const UpdatePlan& plan, const RemoteCardFlags& flags);
    void creepBetweenImages(DownloadProgress& progress);
    void programmingWait(int stepMs);
    void endProgramming();

    Link& m_link;
    OperationEvents& m_events;
    FirmwareDownload m_download;
    std::function<void(Scope)> m_readBackVersions;
};

} // namespace quorlink::link
