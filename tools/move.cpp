// The administrator's move into and out of the Trash. Run as root through pkexec, it renames one
// item, reaching each side from its root folder one folder at a time and never through a
// symbolic link, and never replaces anything: a link swapped in above the item cannot bring in
// another user's folder, and the command line names what moves. Given the item's identity, it
// moves that item only, not another one put in its place while the password dialog showed. Its
// exit status tells why it did not move (FolderDescent::exitStatusFor).
#include "ToolSupport.h"

#include "DovraneKit/system/FolderDescent.h"

using namespace dovrane;

int main(int argc, char** argv) {
    const tool::Forms forms(
        "dovrane-move",
        {{"FROM_ROOT", "FROM", "TO_ROOT", "TO"}, {"FROM_ROOT", "FROM", "TO_ROOT", "TO", "ITEM_ID", "FOLDER_ID"}},
        "Renames FROM to TO, never replacing anything at TO. Each path is absolute and lies below its root;\n"
        "the folders below the root are opened one at a time, and a symbolic link among them is refused.\n"
        "ITEM_ID and FOLDER_ID, each DEVICE:INODE:BORN (its birth time in nanoseconds, 0 for none), name\n"
        "the item at FROM and the folder that holds it: anything else found there is left where it is.");
    const auto args = tool::arguments(argc, argv);
    const auto form = forms.match(args);
    if (!form)
        return forms.answer(args);
    std::optional<FolderDescent::Identity> expected;
    if (*form == 1) {
        expected = FolderDescent::Identity::fromText(args[4], args[5]);
        if (!expected)
            return forms.refuse("ITEM_ID and FOLDER_ID must each be DEVICE:INODE:BORN in decimal");
    }
    const std::error_code error = FolderDescent::move(args[0], args[1], args[2], args[3], expected);
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
