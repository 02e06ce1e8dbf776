// The administrator's move into and out of the Trash. Run as root through pkexec, it renames one
// item, reaching each side from its root folder one folder at a time and never through a
// symbolic link, and never replaces anything: a link swapped in above the item cannot bring in
// another user's folder, and the command line names what moves. Given the item's identity, it
// moves that item only, not another one put in its place while the password dialog showed. Its
// exit status tells why it did not move (FolderDescent::exitStatusFor). With --swap it first puts
// a replacement made beside the item in the item's place in one step (FolderDescent::swapOut).
//
// It does not take the application's word for where things may go: the records it is handed are
// the user's to edit. It finds the user who asked (pkexec's PKEXEC_UID; the caller when run
// without pkexec) and runs that user's deletion guard on both sides, so nothing moves into or out
// of another user's home, nor any home's keys.
#include "ToolSupport.h"

#include "DovraneKit/core/Path.h"
#include "DovraneKit/system/DeletionGuard.h"
#include "DovraneKit/system/FolderDescent.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

using namespace dovrane;

namespace {

// The user pkexec ran us for; without pkexec, whoever runs us.
std::optional<std::uint32_t> askingUser() {
    const char* asked = std::getenv("PKEXEC_UID");
    if (!asked)
        return std::uint32_t(getuid());
    const auto user = tool::number(asked, 0, 0xfffffffeLL);
    return user ? std::optional<std::uint32_t>(std::uint32_t(*user)) : std::nullopt;
}

// A side in a Trash of the user's: an entry directly in a "files" folder, beside "info", in a
// trash folder the user owns. The whole guard protects the Trash itself, so that side is judged
// only by the rules that keep the homes apart.
bool isTrashSide(const std::string& root, const std::string& path, std::uint32_t user) {
    if (Path::lastComponent(root) != "files" || Path::parent(path) != root)
        return false;
    const std::string trash = Path::parent(root);
    struct stat info;
    struct stat owner;
    return stat(Path::join(trash, "info").c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           stat(trash.c_str(), &owner) == 0 && S_ISDIR(owner.st_mode) && owner.st_uid == user;
}

// The item at FROM swapped out for STAGED and moved to TO, each side reached from its root.
std::error_code swap(const std::vector<std::string>& args, const std::string& staged,
                     const FolderDescent::Identity& expected) {
    auto place = FolderDescent::parentOf(args[0], args[1]);
    if (!place)
        return place.error();
    auto target = FolderDescent::parentOf(args[2], args[3]);
    if (!target)
        return target.error();
    return FolderDescent::swapOut(*place, staged, *target, expected);
}

} // namespace

int main(int argc, char** argv) {
    const tool::Forms forms(
        "dovrane-move",
        {{"FROM_ROOT", "FROM", "TO_ROOT", "TO"},
         {"FROM_ROOT", "FROM", "TO_ROOT", "TO", "ITEM_ID", "FOLDER_ID"},
         {"--swap", "FROM_ROOT", "FROM", "STAGED", "TO_ROOT", "TO", "ITEM_ID", "FOLDER_ID"}},
        "Renames FROM to TO, never replacing anything at TO. Each path is absolute and lies below its root;\n"
        "the folders below the root are opened one at a time, and a symbolic link among them is refused.\n"
        "ITEM_ID and FOLDER_ID, each DEVICE:INODE:BORN (its birth time in nanoseconds, 0 for none), name\n"
        "the item at FROM and the folder that holds it: anything else found there is left where it is.\n"
        "Both sides are judged for the user who asked (PKEXEC_UID, else the caller): nothing moves into or out\n"
        "of another user's home, nor into any home's .ssh, .gnupg or keyrings; the exit status is then 64.\n"
        "With --swap, STAGED (beside FROM, in the same folder) first takes FROM's place in one step, and the\n"
        "item goes to TO from STAGED's name; when it cannot, the two are exchanged back.");
    auto args = tool::arguments(argc, argv);
    const auto form = forms.match(args);
    if (!form)
        return forms.answer(args);
    std::optional<std::string> staged;
    if (*form == 2) {
        staged = args[3];
        args.erase(args.begin() + 3);
        args.erase(args.begin());
        const std::string name = Path::lastComponent(*staged);
        if (Path::parent(*staged) != Path::parent(args[1]) || name.empty() || name == "." || name == ".." ||
            *staged == args[1])
            return forms.refuse("STAGED must be another name in FROM's folder");
    }
    std::optional<FolderDescent::Identity> expected;
    if (*form != 0) {
        expected = FolderDescent::Identity::fromText(args[4], args[5]);
        if (!expected)
            return forms.refuse("ITEM_ID and FOLDER_ID must each be DEVICE:INODE:BORN in decimal");
    }
    const auto user = askingUser();
    const auto guard = user ? DeletionGuard::forUser(*user) : std::nullopt;
    if (!guard)
        return tool::fail(forms.program(), "the user who asked is not known, so nothing was moved");
    std::vector<std::pair<std::string, std::string>> sides = {{args[0], args[1]}, {args[2], args[3]}};
    if (staged)
        sides.emplace_back(args[0], *staged);
    for (const auto& [root, path] : sides) {
        const Url side = Url::fromPath(path);
        const auto verdict = isTrashSide(root, path, *user) ? guard->checkHomes(side) : guard->check(side);
        if (!verdict.isAllowed()) {
            std::fprintf(stderr, "%s: %s is protected (%s), so nothing was moved\n", forms.program(), path.c_str(),
                         verdict.rule()->c_str());
            return FolderDescent::refusedExitStatus;
        }
    }
    const std::error_code error = staged ? swap(args, Path::lastComponent(*staged), *expected)
                                         : FolderDescent::move(args[0], args[1], args[2], args[3], expected);
    if (!error)
        return tool::success;
    if (error == std::errc::invalid_argument)
        return forms.refuse("FROM and TO must be absolute paths below their roots, without \"..\"");
    if (FolderDescent::isLink(error))
        std::fprintf(stderr, "%s: a folder above %s or %s is a symbolic link\n", forms.program(), args[1].c_str(),
                     args[3].c_str());
    else if (FolderDescent::isChanged(error))
        std::fprintf(stderr, "%s: %s is not the item named by its identity\n", forms.program(), args[1].c_str());
    else
        std::fprintf(stderr, "%s: %s: %s\n", forms.program(), args[1].c_str(), error.message().c_str());
    return FolderDescent::exitStatusFor(error);
}
