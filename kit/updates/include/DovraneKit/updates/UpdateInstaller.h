#pragma once
// Installing an update of another app: download, check the download's signature against the
// key the installed app names, unpack, check the new app's code signature and Gatekeeper, ask
// the verdict, then replace the old app through the trasher: the new one is copied whole to a
// name beside the old one, takes its place in one step, and the old one goes to the Trash from
// there, its move journaled first (Trasher::replace). The app's place so holds the old version or
// the whole new one at every moment, also when the process is killed. Every reason to stop is one
// UpdateRefusal. Homebrew apps are upgraded by Homebrew itself instead.

#include "DovraneKit/apps/AppRecords.h"
#include "DovraneKit/core/Url.h"
#include "DovraneKit/system/CommandRunner.h"
#include "DovraneKit/system/Network.h"
#include "DovraneKit/system/Shell.h"
#include "DovraneKit/system/ToolPaths.h"
#include "DovraneKit/trash/RemovedItem.h"
#include "DovraneKit/trash/Trasher.h"
#include "DovraneKit/updates/UpdateRecords.h"
#include "DovraneKit/updates/UpdateVerdict.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace dovrane {

struct UpdateInstaller {
    // Fetches `from` and leaves its bytes as a file at `toPath`, at most maxBytes of them: a
    // longer answer fails. The bytes written, or why not; an exception counts as a failure.
    // Called from whatever thread installs.
    using Download = std::function<Expected<std::uint64_t, FetchError>(const Url& from, const std::string& toPath,
                                                                       std::uint64_t maxBytes)>;
    using Admin = Shell::Admin;

    struct Installed {
        RemovedItem previous; // the old version, now in the Trash

        bool operator==(const Installed&) const = default;
    };

    struct Result {
        std::variant<Installed, UpdateRefusal> value;

        bool isInstalled() const { return std::holds_alternative<Installed>(value); }
        std::optional<UpdateRefusal> refusal() const;
        // The old version in the Trash: `previous` of an install; a refusal moved nothing there.
        std::optional<RemovedItem> removed() const;
        // "installed" or "refused: <case>", for logs and check reports.
        std::string text() const;

        bool operator==(const Result&) const = default;
    };

    // The points of an install, for a test that stops the process there.
    enum class Step {
        downloaded,
        verified,  // the signature, the new app and the verdict
        journaled, // the old version's move is in the journal, the new one not yet copied
        copied,    // the new version whole beside the old one
        placed,    // the new version at the app's place, the old one beside it
        trashed,   // the old version in the Trash
        recorded,  // the caller's own: its record of the install is saved
    };

    Download download;
    std::shared_ptr<const CommandRunner> runner;
    Trasher trasher;
    // Parent of the per-install folders. It must be the user's own private folder (mode 0700,
    // no symbolic link); a missing one is created so. Any other folder is refused (the install
    // then ends with downloadFailed), since whoever can write in it could swap the download.
    Url workFolder;
    Admin admin;
    ToolPaths tools = ToolPaths::current();
    // Where the old version's move is written down before anything of it moves; none: nowhere.
    Trasher::Journal journal = {};
    std::function<void(Step)> reached = {};

    // Runs the steps one after the other and blocks until done. The per-install folder is
    // gone again at every exit. Only http, https and file download URLs are accepted. A download
    // larger than the length the feed announced (or, without one, than
    // DownloadOptions::defaultMaxBytes) is refused before its signature is checked.
    Result install(const UpdateInfo& info, const InstalledApp& app) const;

    // The standard download: Network::download with its default limits (a 60-second stall
    // limit, a minimum rate and a deadline that grows with the size) but maxBytes, no extra
    // headers.
    static Expected<std::uint64_t, FetchError> urlSessionDownload(const Url& from, const std::string& toPath,
                                                                  std::uint64_t maxBytes);

    // Removes the per-install folders that installs killed part-way left in the work folder: only
    // folders named as install() names them, this user's and no link, whose mark no running
    // install holds (or that are empty, killed before the mark was made). Nothing when the work
    // folder is not the user's private folder.
    static void removeLeftovers(const Url& workFolder);

private:
    // Unpacks into `into` (a disk image's contents are copied there) and finds the app; nothing
    // when a tool fails or no app is found. A disk image is detached again before returning.
    std::optional<Url> unpack(const Url& file, const std::string& type, const Url& into, const std::string& name) const;

    // Gatekeeper accepts the app for running.
    bool gatekeeper(const Url& app) const;

    // Copies the app to `destination`, a free name beside the old app, with administrator rights
    // when a plain copy fails; true only when the copy is there.
    bool copy(const Url& newApp, const std::string& destination) const;
};

namespace Homebrew {
// The first executable of tools.brew.
std::optional<std::string> brew(const ToolPaths& tools = ToolPaths::current());

// Runs "brew upgrade --cask --greedy TOKEN"; true when it exits 0. The token must be ASCII
// letters, digits and "-_@.+", not empty and not starting with "-"; any other token, or no
// brew, runs nothing and is false.
bool upgrade(const std::string& token, const CommandRunner& runner, const ToolPaths& tools = ToolPaths::current());
} // namespace Homebrew

} // namespace dovrane
