// The administrator's move into and out of the Trash. Run as root through pkexec, it renames one
// item, reaching each side from "/" one folder at a time and never through a symbolic link, its
// root included, and never replaces anything: a link put anywhere on the way cannot bring in
// another user's folder or a system folder, and the command line names what moves. Given the
// item's identity, it moves that item only, not another one put in its place while the password
// dialog showed. Its exit status tells why it did not move (FolderDescent::exitStatusFor). With
// --swap it first puts a replacement made beside the item in the item's place in one step
// (FolderDescent::swapOut).
//
// It does not take the application's word for where things may go: the records it is handed are
// the user's to edit. It finds the user who asked (pkexec's PKEXEC_UID; the caller when run
// without pkexec) and runs that user's deletion guard on both sides, so nothing moves into or out
// of another user's home, nor any home's keys, nor a system folder. Only a side in one of that
// user's own Trash folders (FreedesktopTrash::isOwnTrashFiles) is judged by the rules that keep
// the homes apart alone, since the whole guard protects the Trash: the home trash of the user's
// home in the password database (never one the environment names), or a volume's own trash. A
// Trash kept elsewhere (XDG_DATA_HOME, ~/.local behind a link) is judged as any other folder.
#include "ToolSupport.h"

#include "DovraneKit/core/Path.h"
#include "DovraneKit/system/DeletionGuard.h"
#include "DovraneKit/system/FolderDescent.h"
#include "DovraneKit/trash/FreedesktopTrash.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>
#include <vector>

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

// The side is an entry directly in one of the user's own Trash folders.
bool isTrashSide(const std::string& root, const std::string& path, const DeletionGuard& guard) {
    return Path::parent(path) == root &&
           FreedesktopTrash::isOwnTrashFiles(root, Path::join(guard.home, ".local/share/Trash"), guard.user);
}

// The side by the rules that hold for it: the homes' alone in a Trash of the user's, else all.
DeletionGuard::Verdict judged(const DeletionGuard& guard, bool trashSide, const std::string& path) {
    const Url side = Url::fromPath(path);
    return trashSide ? guard.checkHomes(side) : guard.check(side);
}

int refused(const char* program, const std::string& path, const DeletionGuard::Verdict& verdict) {
    std::fprintf(stderr, "%s: %s is protected (%s), so nothing was moved\n", program, path.c_str(),
                 verdict.rule()->c_str());
    return FolderDescent::refusedExitStatus;
}

} // namespace

int main(int argc, char** argv) {
    const tool::Forms forms(
        "dovrane-move",
        {{"FROM_ROOT", "FROM", "TO_ROOT", "TO"},
         {"FROM_ROOT", "FROM", "TO_ROOT", "TO", "ITEM_ID", "FOLDER_ID"},
         {"--swap", "FROM_ROOT", "FROM", "STAGED", "TO_ROOT", "TO", "ITEM_ID", "FOLDER_ID"}},
        "Renames FROM to TO, never replacing anything at TO. Each path is absolute and lies below its root;\n"
        "the folders from / down are opened one at a time, and a symbolic link among them is refused.\n"
        "ITEM_ID and FOLDER_ID, each DEVICE:INODE:BORN (its birth time in nanoseconds, 0 for none), name\n"
        "the item at FROM and the folder that holds it: anything else found there is left where it is.\n"
        "Both sides are judged for the user who asked (PKEXEC_UID, else the caller): nothing moves into or out\n"
        "of another user's home, nor into any home's .ssh, .gnupg or keyrings, nor into or out of a system\n"
        "folder unless it is that user's own Trash; the exit status is then 64.\n"
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
    std::vector<bool> inTrash;
    // Where each path leads now, links and all: a link to a system folder is refused as that folder.
    for (const auto& [root, path] : sides) {
        inTrash.push_back(isTrashSide(root, path, *guard));
        if (const auto verdict = judged(*guard, inTrash.back(), path); !verdict.isAllowed())
            return refused(forms.program(), path, verdict);
        if (FolderDescent::rootFor(path, root) != root)
            return forms.refuse("FROM and TO must be absolute paths below their roots, without \"..\"");
    }
    // Each side gone down to from "/", its root too, with no link on the way; then what is held is
    // judged again where it is now, since no link between the check above and here leads elsewhere.
    // The staged name is in FROM's folder, held with it.
    std::vector<FolderDescent::Place> places;
    std::error_code error;
    for (std::size_t side = 0; side < 2 && !error; ++side) {
        auto place = FolderDescent::parentOf("/", sides[side].second);
        const std::string held = place ? place->folder.path() : std::string();
        if (!place)
            error = place.error();
        else if (held.empty())
            error = std::make_error_code(std::errc::no_such_file_or_directory);
        else
            for (std::size_t judging = side; judging < sides.size(); judging += 2)
                if (const auto verdict =
                        judged(*guard, inTrash[judging], Path::join(held, Path::lastComponent(sides[judging].second)));
                    !verdict.isAllowed())
                    return refused(forms.program(), sides[judging].second, verdict);
        if (!error)
            places.push_back(std::move(place).value());
    }
    if (!error)
        error = staged ? FolderDescent::swapOut(places[0], Path::lastComponent(*staged), places[1], *expected)
                       : FolderDescent::rename(places[0], places[1], expected);
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
