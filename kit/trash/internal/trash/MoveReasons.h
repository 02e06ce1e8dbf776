#pragma once
// Why a move into or out of the Trash failed, as Dovrane says it: one sentence in the user's
// language for each error the system gives, never the system's own English text.

#include <string>
#include <system_error>

namespace dovrane::MoveReasons {

enum class Way {
    toTrash, // moving an item into the Trash
    back,    // putting it back where it was
};

std::string forError(std::error_code error, Way way);
// Putting back was refused because the item may not leave the Trash (it is locked, or a folder
// the user may not rewrite), whatever its original place allows.
std::string keptInTrash();

} // namespace dovrane::MoveReasons
