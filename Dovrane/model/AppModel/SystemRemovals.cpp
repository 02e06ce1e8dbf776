// The three removals that skip the Trash (emptying it, local snapshots, unavailable simulators),
// each reporting the space it measurably won, and the re-read of the access rights.

#include "AppModel/AppModel.h"

#include "AppModel/Handoff.h"
#include "AppModel/Notice.h"
#include "AppModel/TrashGain.h"
#include "Services/Admin.h"
#include "Services/Permissions.h"

#include <DovraneKit/core/TextPieces.h>
#include <DovraneKit/scan/ToolOutputParsers.h>
#include <DovraneKit/system/ToolPaths.h>

namespace dovrane {

namespace {
constexpr double settleSeconds = 2;      // after emptying the Trash, before measuring
constexpr double simulatorTimeout = 300; // seconds

QString gainText(std::int64_t before, std::int64_t after) {
    return QString::fromStdString(bytes(std::max<std::int64_t>(0, after - before)));
}

// The scan names a snapshot "tmsnapshot:" and its stamp; only a real stamp is taken, since it
// goes into a root shell.
std::vector<std::string> snapshotStamps(const std::vector<CleanupItem>& items) {
    std::vector<std::string> stamps;
    for (const CleanupItem& item : items) {
        const std::vector<std::string_view> pieces = splitDroppingEmpty(item.url.text(), ':');
        if (!pieces.empty() && SnapshotParser::date(pieces.back()))
            stamps.emplace_back(pieces.back());
    }
    return stamps;
}

// Every deletion is tried, and the shell fails when any of them did.
std::string snapshotCommand(const std::vector<std::string>& stamps, const std::string& tmutil) {
    std::string command = "s=0; ";
    for (const std::string& stamp : stamps)
        command += tmutil + " deletelocalsnapshots " + Trasher::quote(stamp) + " || s=1; ";
    return command + "exit $s";
}
} // namespace

std::int64_t AppModel::availableSpace() const {
    auto volume = services_.readVolume(services_.home);
    return volume ? volume->available : 0;
}

QFuture<void> AppModel::emptyTrash() {
    if (isDemo_)
        return QtFuture::makeReadyFuture();
    // The last action's notice would stand beside a Trash still being emptied.
    setNotice(std::nullopt);
    const std::int64_t before = availableSpace();
    auto done = startedPromise();
    Admin::emptyTrash(services_.home).then(this, [this, before, done](Admin::Emptied emptied) {
        const Admin::Emptying emptying = emptied.outcome;
        // A refusal removed nothing: the scan stands as it is.
        if (emptying != Admin::Emptying::emptied && emptying != Admin::Emptying::partly) {
            setNotice(Notice(emptying == Admin::Emptying::linked    ? Notice::Kind::trashLinked
                             : emptying == Admin::Emptying::foreign ? Notice::Kind::trashForeign
                                                                    : Notice::Kind::trashReadOnly));
            done->finish();
            return;
        }
        services_.clock->delay(settleSeconds).then(this, [this, before, done, emptied] {
            const TrashGain gain = trashGain(before, availableSpace(), emptied.freed);
            setNotice(Notice(emptied.outcome == Admin::Emptying::emptied ? Notice::Kind::trashEmptied
                                                                         : Notice::Kind::trashPartlyEmptied,
                             {.text = QString::fromStdString(bytes(gain.bytes)), .exact = gain.exact}));
            startScan();
            done->finish();
        });
    });
    return done->future();
}

QFuture<void> AppModel::deleteSnapshots(const std::vector<CleanupItem>& items) {
    if (isDemo_)
        return QtFuture::makeReadyFuture();
    const std::vector<std::string> stamps = snapshotStamps(items);
    if (stamps.empty())
        return QtFuture::makeReadyFuture();
    const std::string command = snapshotCommand(stamps, ToolPaths::current().tmutil);
    const int count = int(stamps.size());
    const std::int64_t before = availableSpace();
    auto done = startedPromise();
    Admin::run(command, tr("Dovrane wants to delete local Time Machine snapshots."), services_.systemPaths)
        .then(this, [this, before, count, done](bool deleted) {
            if (!deleted) {
                done->finish();
                return;
            }
            setNotice(
                Notice(Notice::Kind::snapshotsDeleted, {.count = count, .text = gainText(before, availableSpace())}));
            startScan();
            done->finish();
        });
    return done->future();
}

QFuture<void> AppModel::deleteUnavailableSimulators() {
    if (isDemo_)
        return QtFuture::makeReadyFuture();
    const std::int64_t before = availableSpace();
    auto done = startedPromise();
    handOff(
        pool_, lifeline_,
        [runner = services_.makeRunner(simulatorTimeout)] {
            return runner->run(ToolPaths::current().xcrun, {"simctl", "delete", "unavailable"}).has_value();
        },
        [this, before, done](bool removed) {
            const std::int64_t after = availableSpace();
            setNotice(removed ? Notice(Notice::Kind::simulatorsRemoved, {.text = gainText(before, after)})
                              : Notice(Notice::Kind::simulatorsNotRemoved));
            startScan();
            done->finish();
        });
    return done->future();
}

void AppModel::refreshPermissions() {
    const bool granted = Permissions::hasFullDiskAccess();
    if (granted && !hasFullDiskAccess_)
        setNeedsRestart(true);
    setHasFullDiskAccess(granted);
}

} // namespace dovrane
