// The administrator's move into and out of the Trash. Run as root through pkexec, it renames one
// item, reaching each side from its root folder one folder at a time and never through a
// symbolic link, and never replaces anything: a link swapped in above the item cannot bring in
// another user's folder, and the command line names what moves.
#include "ToolSupport.h"

#include "DovraneKit/system/FolderDescent.h"

using namespace dovrane;

int main(int argc, char** argv) {
    const tool::Forms forms(
        "dovrane-move", {{"FROM_ROOT", "FROM", "TO_ROOT", "TO"}},
        "Renames FROM to TO, never replacing anything at TO. Each path is absolute and lies below its root;\n"
        "the folders below the root are opened one at a time, and a symbolic link among them is refused.");
    const auto args = tool::arguments(argc, argv);
    if (!forms.match(args))
        return forms.answer(args);
    const std::error_code error = FolderDescent::move(args[0], args[1], args[2], args[3]);
    if (!error)
        return tool::success;
    if (error == std::errc::invalid_argument)
        return forms.refuse("FROM and TO must be absolute paths below their roots, without \"..\"");
    if (FolderDescent::isLink(error))
        return tool::fail(forms.program(), "a folder above " + args[1] + " or " + args[3] + " is a symbolic link");
    return tool::fail(forms.program(), args[1] + ": " + error.message());
}
