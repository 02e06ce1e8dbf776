#pragma once
// Two of git's own files, read as far as telling what git tracks needs: a repository's
// configuration, where it only says how names compare, and the index, the list of what is
// tracked. Both are bytes anyone may have written; what is not plainly one of git's is refused,
// never guessed at. Not part of the public API.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane::gitfiles {

// What a repository's own configuration says of the index's names.
struct Config {
    bool ignoreCase = false; // core.ignoreCase: names compare without regard to ASCII case
};

// The configuration when it says nothing more than this reading knows: no other work tree
// (core.worktree), no bare repository, no included file, no extension (another hash, a
// configuration per work tree), no continued line or quoted value in the core section. Nothing
// otherwise: libgit2 is then asked.
std::optional<Config> plainConfig(std::string_view text);

// Whether the index (versions 2 to 4, SHA-1 names) tracks each of `paths` (relative to the work
// tree, "/"-separated, as the index names them) or anything below it, as libgit2 looks them up:
// an entry below the path, or the path itself as an entry at stage 0. Nothing when the bytes are
// no such index, or one that needs what this reading leaves out (a split or sparse index, any
// other extension git requires its readers to know).
std::optional<std::vector<bool>> tracked(std::string_view index, const std::vector<std::string>& paths,
                                         const Config& config);

} // namespace dovrane::gitfiles
