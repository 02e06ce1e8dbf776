// File names are bytes anyone may choose. The first byte lays out the home trash (bit 0: its
// files/ is a link, bit 1: its info/ is a link, bit 2: a folder takes the reserved name before
// the administrator's move); the rest is the name. An item goes into the trash and comes back
// under its exact name, never through a link, never into a folder.
//
// With bit 3 the rest is instead an item's info file as any program may have left it, in the
// home trash or (bit 4) in a volume's trash, "$topdir/.Trash-$uid" or (bit 5) "$topdir/.Trash/$uid".
// The origin it records is absolute and plain, inside the volume for a volume's trash, and
// reads back the same from the info file this program would write for it.
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/trash/FreedesktopTrash.h"
#include "DovraneKit/trash/Trasher.h"
#include "FuzzSupport.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace dovrane;

namespace {

bool runShell(const std::string& commandLine) {
    int status = std::system((commandLine + " 2>/dev/null").c_str());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool plainAbsolute(const std::string& path) {
    if (path.empty() || path.front() != '/' || path.find('\0') != std::string::npos)
        return false;
    for (std::string_view rest = std::string_view(path).substr(1); !rest.empty();) {
        const std::size_t end = rest.find('/');
        const std::string_view component = rest.substr(0, end);
        if (component.empty() || component == "." || component == "..")
            return false;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return true;
}

void readInfoFile(unsigned layout, std::string_view text) {
    const std::string& root = fuzz::scratch();
    const std::string volume = Path::join(root, "volume");
    const std::string home = Path::join(root, "home/.local/share/Trash");
    Fs::removeAll(volume);
    Fs::removeAll(home);
    const std::string uid = std::to_string(getuid());
    const bool onVolume = layout & 16;
    const std::string folder =
        !onVolume ? home : Path::join(volume, (layout & 32) ? Path::join(".Trash", uid) : ".Trash-" + uid);
    const FreedesktopTrash::Directory trash{folder, onVolume ? volume : std::string()};
    Fs::makeDirectories(trash.files(), 0700);
    Fs::makeDirectories(trash.info(), 0700);
    const std::string item = Path::join(trash.files(), "item");
    const std::string info = FreedesktopTrash::infoPathFor(item);
    fuzz::check(Fs::writeFile(item, "item") && Fs::writeFile(info, text), "the trash can be laid out");

    const auto recorded = FreedesktopTrash::recordedOriginal(item);
    if (!recorded)
        return;
    fuzz::check(plainAbsolute(*recorded), "the recorded origin is an absolute path without . or ..");
    fuzz::check(!onVolume || recorded->starts_with(volume + "/"), "a volume's trash records nothing outside it");
    fuzz::check(FreedesktopTrash::holds(item, *recorded), "the item is the one its info file names");
    const std::string written = onVolume ? recorded->substr(volume.size() + 1) : *recorded;
    fuzz::check(Fs::writeFile(info, FreedesktopTrash::infoText(written, 0)), "the info file can be rewritten");
    fuzz::check(FreedesktopTrash::recordedOriginal(item) == recorded, "the info file written for it reads the same");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const unsigned layout = data[0];
    if (layout & 8) {
        readInfoFile(layout, fuzz::text(data + 1, size - 1));
        return 0;
    }
    std::string name(fuzz::text(data + 1, size - 1));
    if (name.size() > NAME_MAX || name.find_first_of(std::string("/\0", 2)) != std::string::npos || name == "." ||
        name == "..")
        return 0;

    const std::string& root = fuzz::scratch();
    const std::string work = Path::join(root, "work"), elsewhere = Path::join(root, "elsewhere");
    const std::string trash = Path::join(root, "home/.local/share/Trash");
    for (const std::string& folder : {work, elsewhere, trash})
        Fs::removeAll(folder);
    for (const std::string& folder : {work, elsewhere, trash + "/files", trash + "/info"})
        Fs::makeDirectories(folder, 0700);
    if (layout & 1) {
        Fs::removeAll(trash + "/files");
        symlink(elsewhere.c_str(), (trash + "/files").c_str());
    }
    if (layout & 2) {
        Fs::removeAll(trash + "/info");
        symlink(elsewhere.c_str(), (trash + "/info").c_str());
    }
    const std::string original = Path::join(work, name);
    fuzz::check(Fs::writeFile(original, "item"), "the item can be made");

    const bool viaAdmin = layout & 4;
    Trasher trasher{DeletionGuard(Url::fromPath(Path::join(root, "home"))), Url::fromPath(trash + "/files"),
                    [&](const std::string& command) {
                        // A folder takes the reserved name just before the move: the name
                        // of the one info file written so far.
                        auto infos = Fs::list(trash + "/info");
                        if (infos.size() == 1 && infos[0].ends_with(".trashinfo")) {
                            std::string reserved = infos[0].substr(0, infos[0].size() - 10);
                            mkdir(Path::join(trash + "/files", reserved).c_str(), 0700);
                        }
                        return runShell(command);
                    }};
    auto plan = trasher.plan({{Url::fromPath(original), 4, 1, viaAdmin}});
    if (!plan.refused.empty())
        return 0; // a name the deletion guard protects (".photoslibrary")
    auto outcome = trasher.execute(plan);
    fuzz::check(Fs::list(elsewhere).empty(), "nothing goes through a link in the trash");
    if (layout & 3) {
        fuzz::check(outcome.removed.empty() && Fs::exists(original), "a trash with a link in it is not used");
        return 0;
    }
    if (viaAdmin) {
        fuzz::check(outcome.removed.empty() && Fs::readFile(original) == "item",
                    "the administrator's move never lands in a folder");
        return 0;
    }
    fuzz::check(outcome.removed.size() == 1, "any name goes into the trash");
    const RemovedItem& removed = outcome.removed[0];
    fuzz::check(removed.originalPath == Url::fromPath(original), "the record keeps the exact original path");
    fuzz::check(Path::lastComponent(removed.trashPath.path()).size() + 10 <= NAME_MAX, "the info file's name fits");
    fuzz::check(Fs::exists(FreedesktopTrash::infoPathFor(removed.trashPath.path())), "the info file is written");
    fuzz::check(trasher.putBack(removed) == Trasher::PutBackResult::restored(), "the item comes back");
    fuzz::check(Fs::readFile(original) == "item", "under its exact name");
    fuzz::check(Fs::list(trash + "/info").empty() && Fs::list(trash + "/files").empty(), "and leaves the trash");
    return 0;
}
