#include "trash/MoveReasons.h"

#include "DovraneKit/core/Language.h"

#include <cerrno>

namespace dovrane::MoveReasons {

std::string forError(std::error_code error, Way way) {
    const bool back = way == Way::back;
    const bool known = error.category() == std::generic_category() || error.category() == std::system_category();
    switch (known ? error.value() : 0) {
    case ELOOP:
        return back ? L("A folder above the item's original place is a link, and Dovrane moves nothing through a "
                        "link.")
                    : L("A folder above this item is a link, and Dovrane moves nothing through a link.");
    case ESTALE:
        return L("This item was replaced by another one after it was shown, so nothing was moved.");
    case ENOENT:
        return back ? L("The item, or the folder it goes back to, is no longer there.")
                    : L("Items that are no longer at their place cannot be moved.");
    case ENOTDIR:
        return back ? L("A file stands where a folder of the item's original place was.")
                    : L("Items that are no longer at their place cannot be moved.");
    case EEXIST:
    case ENOTEMPTY:
        return back ? L("Something else is at the item's original place now.")
                    : L("Something else took the item's name in the Trash, so it was left where it is.");
    case EXDEV:
        return back ? L("The original place is now on another disk, and Dovrane never copies out of the Trash.")
                    : L("The item and the Trash are on different disks, and Dovrane never copies.");
    case EACCES:
    case EPERM:
        return back ? L("You may not write in the item's original place.") : L("You may not move this item.");
    case EROFS:
        return back ? L("The disk of the item's original place is read-only.")
                    : L("The disk that holds this item is read-only.");
    case EBUSY:
        return L("The system is using this item, for example as the place where a disk is mounted.");
    case ENOSPC:
    case EDQUOT:
        return L("The disk is full.");
    case ENAMETOOLONG:
        return L("The item's path is too long for the system.");
    case EINVAL:
        return back ? L("The recorded original place is not a plain absolute path, so nothing was moved.")
                    : L("The item's path is not a plain absolute path, so nothing was moved.");
    case EIO:
        return L("The disk reported an error while reading or writing.");
    case ENOMEM:
    case EMFILE:
    case ENFILE:
        return L("The system ran out of resources. Try again later.");
    default:
        return Lf("The system refused the move with error number {1}.", {std::to_string(error.value())});
    }
}

std::string keptInTrash() { return L("You may not move this item out of the Trash."); }

} // namespace dovrane::MoveReasons
