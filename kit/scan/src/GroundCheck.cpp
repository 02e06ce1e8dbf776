#include "DovraneKit/scan/GroundCheck.h"

#include "DovraneKit/core/Path.h"
#include "DovraneKit/scan/ProjectFinder.h"
#include "DovraneKit/system/MoveRights.h"
#include "scan/ScanCollectors.h"

#include <map>
#include <string>

namespace dovrane {

std::vector<GroundCheck::Change> GroundCheck::check(const std::vector<CleanupItem>& items, std::stop_token stop) const {
    std::vector<Change> changes(items.size(), Change::none);
    const Date wallClock = Date::now();
    // The identities and owners all at once, each folder looked at once, as the scan looked at
    // them.
    std::vector<std::string> grounded;
    for (const CleanupItem& item : items)
        if (item.action == CleanupAction::trash && item.ground)
            grounded.push_back(item.url.path());
    std::vector<std::optional<FolderDescent::Identity>> identities;
    const std::vector<std::optional<MoveRights>> rights = MoveRights::ofEach(grounded, &identities);
    std::size_t nextRights = 0;
    // A project's folders share its dating: each project is dated once.
    std::map<std::string, bool> projectsOldEnough;
    for (std::size_t index = 0; index < items.size() && !stop.stop_requested(); ++index) {
        const CleanupItem& item = items[index];
        if (item.action != CleanupAction::trash)
            continue;
        const std::string path = item.url.path();
        if (item.ground) {
            const std::optional<FolderDescent::Identity>& found = identities[nextRights];
            const std::optional<MoveRights>& owned = rights[nextRights++];
            if (found && found->item.inode == 0) {
                changes[index] = Change::gone;
                continue;
            }
            if (!found || *found != item.ground->identity) {
                changes[index] = Change::replaced;
                continue;
            }
            if (!owned || owned->owner != item.ground->owner) {
                changes[index] = Change::owner;
                continue;
            }
        }
        // A project folder the scan dated (one it could not date is for review, whatever its age).
        if (item.source.starts_with("projects.") && item.lastUsed) {
            const std::string project = Path::parent(path);
            auto [known, added] = projectsOldEnough.try_emplace(project);
            if (added) {
                const ProjectFinder::Dating dating = ProjectFinder::lastChange(Url::fromPath(project), {});
                known->second = dating.gap == ProjectFinder::Dating::Gap::none &&
                                ProjectFinder::ageDays(dating, wallClock) >= double(projectAgeDays);
            }
            if (!known->second)
                changes[index] = Change::project;
        } else if (item.source == "installers.image" || item.source == "installers.archive") {
            if (!ScanCollectors::isOldInstaller(item.url, now, installerAgeDays))
                changes[index] = Change::installer;
        }
    }
    return changes;
}

} // namespace dovrane
