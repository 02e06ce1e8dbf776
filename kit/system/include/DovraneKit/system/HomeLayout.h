#pragma once
// Where the folders the scan names below the home folder ("Library/Caches", "Movies",
// "Library/Caches/pip", …) are read. A home laid out like a Mac's keeps them under those names;
// a Linux desktop keeps the same things in the XDG cache and data homes and in the user
// directories of user-dirs.dirs. For each such folder the layout answers the macOS folder when
// it exists, else its Linux equivalent when that exists, else the macOS folder, so a home laid
// out like a Mac's reads exactly what it always did; only a personal folder that user-dirs.dirs
// names, and that exists, is read wherever a folder of the macOS name also stands, since the
// desktop keeps that folder's files there. Built once per scan: the scanner's collectors and
// the deletion guard read the same answers.

#include "DovraneKit/core/Url.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane {

class HomeLayout {
public:
    // The XDG variables the layout reads. An absent or relative value means the default below
    // the home folder (~/.cache, ~/.config, ~/.local/share).
    struct Environment {
        std::optional<std::string> cacheHome;  // XDG_CACHE_HOME
        std::optional<std::string> configHome; // XDG_CONFIG_HOME
        std::optional<std::string> dataHome;   // XDG_DATA_HOME

        static Environment current();
        bool operator==(const Environment&) const = default;
    };

    // Reads user-dirs.dirs and looks at which folders exist, now, once.
    explicit HomeLayout(Url home, const Environment& environment = Environment::current());

    const Url& home() const { return home_; }

    // The folder to read for a path relative to the home folder, where it really is: a link on
    // the way (~/Downloads kept on another disk) is resolved now, once, so that what is found
    // there is moved from where it was measured, through no link. Paths with no Linux equivalent
    // (Library/Logs, Library/Messages, …) are the macOS folder.
    Url folder(std::string_view relative) const;
    // The same folder as the home names it, before links are resolved: what it is called.
    Url spelledFolder(std::string_view relative) const;
    // The folder of that very name below the home, no Linux equivalent read in its place, where
    // it really is, as folder() resolves it (~/.config linked to another disk: the folder there).
    Url inPlace(std::string_view relative) const;
    // Where a path really leads (DeletionGuard::canonical), spelled below the home folder as the
    // caller gave it when it leads into the home, so that every path in the home shares one prefix.
    Url resolved(const Url& url) const;

    // The resolved personal folders and cache home that stay where they are, as their macOS
    // folders do (Documents, Desktop, Downloads, Pictures, Library/Caches).
    std::vector<Url> protectedFolders() const;

    // Whether the home keeps a Library folder, as a Mac's does. Categories that only a Mac's
    // folders feed belong in such a home's lists even while they hold nothing.
    static bool keepsMacFolders(const Url& home);

    // The lines of a user-dirs.dirs text that keep to the format: KEY="value", the value
    // "$HOME" followed by "/…" or nothing, or an absolute path; \" \\ \$ are the only escapes,
    // # starts a comment line. Any other line, or a line with anything else on it, is absent;
    // the text is never handed to a shell. "$HOME" becomes `home`; a later line wins.
    static std::map<std::string, std::string> parseUserDirs(std::string_view text, const std::string& home);

private:
    // Where a folder of the home is read: resolved(), unless a link there leads to a folder that
    // holds the home (all of /home is nobody's Downloads); then as spelled.
    Url readAt(const Url& spelled) const;

    struct Place {
        Url spelled; // as chosen: the macOS folder or its Linux equivalent
        Url real;    // readAt()
    };

    Url home_;
    std::string canonicalHome_;
    std::map<std::string, Place, std::less<>> places_; // only the folders that have a Linux equivalent
};

} // namespace dovrane
