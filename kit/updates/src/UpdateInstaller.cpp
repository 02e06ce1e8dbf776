#include "DovraneKit/updates/UpdateInstaller.h"

#include "DovraneKit/apps/BundleInfo.h"
#include "DovraneKit/apps/CodeSigning.h"
#include "DovraneKit/formats/Plist.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/Network.h"

#include "core/Ascii.h"
#include "updates/UpdateInstallerInternals.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>

namespace dovrane {

namespace {

constexpr std::array<const char*, 8> archiveTypes = {"dmg", "zip", "pkg", "tar.xz", "tar.gz", "tar.bz2", "tgz", "tbz"};

bool isLowerAlphanumeric(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

bool isRealFolder(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The size of a regular file that is no link, else nothing.
std::optional<std::uint64_t> realFileSize(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return std::uint64_t(info.st_size);
}

// The most a download may hold: what the feed announced, within the download's own cap. A feed
// that announces no length, or 0 (as some write when they do not know it), gets the cap.
std::uint64_t downloadLimit(const UpdateInfo& info) {
    constexpr std::uint64_t cap = DownloadOptions::defaultMaxBytes;
    if (!info.length || *info.length <= 0)
        return cap;
    return std::min(std::uint64_t(*info.length), cap);
}

bool isAppName(const std::string& name) { return Path::extension(name) == "app"; }

// The bundle's build number when it names one, else its marketing version, else "".
std::string bundleVersion(const PlistDict& info) {
    if (auto build = Plist::string(info, "CFBundleVersion"))
        return *build;
    return Plist::string(info, "CFBundleShortVersionString").value_or("");
}

// The work folder as this user's private folder: created 0700 when missing, refused when it is
// a link, someone else's, or open to others, since anyone who can write in it could replace
// the download between its check and its use.
bool prepareWorkFolder(const std::string& path) {
    if (path.empty() || path.front() != '/')
        return false;
    Fs::makeDirectories(Path::parent(path));
    const bool created = mkdir(path.c_str(), 0700) == 0;
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (created)
        fchmod(fd, 0700); // whatever the umask took away
    struct stat info;
    const bool ok =
        fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 0777) == 0700;
    close(fd);
    return ok;
}

UpdateInstaller::Result refused(UpdateRefusal refusal) { return {refusal}; }

// The mark of a per-install folder: locked while its install runs, so that a start in another
// process leaves the folder alone.
constexpr const char* installMark = ".dovrane-install";

// Named as Fs::makeUuid names.
bool isInstallFolderName(const std::string& name) {
    if (name.size() != 36)
        return false;
    for (std::size_t index = 0; index < name.size(); ++index) {
        const char c = name[index];
        const bool dash = index == 8 || index == 13 || index == 18 || index == 23;
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

// The per-install folder, marked and locked while the install runs and removed on every way out.
class Scratch {
public:
    explicit Scratch(std::string path) : path_(std::move(path)) {
        if (mkdir(path_.c_str(), 0700) != 0)
            return;
        mark_ = open(Path::join(path_, installMark).c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (mark_ >= 0 && flock(mark_, LOCK_EX | LOCK_NB) != 0) {
            close(mark_);
            mark_ = -1;
        }
    }
    ~Scratch() {
        if (mark_ < 0)
            return;
        Fs::removeAll(path_);
        close(mark_);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    bool isReady() const { return mark_ >= 0; }

private:
    std::string path_;
    int mark_ = -1;
};

// The work folder as it stands, looked at without making or following anything: the user's own
// private folder.
bool isPrivateFolder(int fd) {
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 0777) == 0700;
}

} // namespace

std::optional<UpdateRefusal> UpdateInstaller::Result::refusal() const {
    if (auto refused = std::get_if<UpdateRefusal>(&value))
        return *refused;
    return std::nullopt;
}

std::optional<RemovedItem> UpdateInstaller::Result::removed() const {
    if (auto installed = std::get_if<Installed>(&value))
        return installed->previous;
    return std::nullopt;
}

std::string UpdateInstaller::Result::text() const {
    return isInstalled() ? std::string("installed") : "refused: " + std::string(rawValue(*refusal()));
}

UpdateInstaller::Result UpdateInstaller::install(const UpdateInfo& info, const InstalledApp& app) const {
    if (!info.downloadURL)
        return refused(UpdateRefusal::noDownload);
    const Url& from = *info.downloadURL;
    const std::string type = UpdateInstallerInternals::archiveType(from);
    if (type == "pkg")
        return refused(UpdateRefusal::installerPackage);
    // A feed can name any scheme; only the web and local files (the self-test's) are fetched.
    if (!from.isHttp() && !from.isFile())
        return refused(UpdateRefusal::downloadFailed);

    const std::string work = workFolder.path();
    if (!prepareWorkFolder(work))
        return refused(UpdateRefusal::downloadFailed);
    const std::string folder = Path::join(work, Fs::makeUuid());
    Scratch scratch(folder);
    if (!scratch.isReady())
        return refused(UpdateRefusal::downloadFailed);
    const auto reach = [this](Step step) {
        if (reached)
            reached(step);
    };

    const std::string file = Path::join(folder, "update." + type);
    const std::uint64_t limit = downloadLimit(info);
    std::optional<NetworkErrorCode> failure = NetworkErrorCode::other;
    try {
        if (download) {
            auto downloaded = download(from, file, limit);
            failure = downloaded ? std::nullopt : std::optional(downloaded.error().code);
        }
    } catch (...) {
        failure = NetworkErrorCode::other;
    }
    if (failure)
        return refused(*failure == NetworkErrorCode::insecureRedirect ? UpdateRefusal::insecureDownload
                                                                      : UpdateRefusal::downloadFailed);
    // Checked here too, whatever the download function did: the signature check reads every
    // byte, and more than the feed announced is not the download it signed for.
    const auto size = realFileSize(file);
    if (!size || *size > limit)
        return refused(UpdateRefusal::downloadFailed);
    reach(Step::downloaded);

    // The installed side is read from the bundle now, not from the listing the update check
    // saw: the app may have changed since, and an old version number would let an older
    // download pass as newer. Its update key is read afresh too; the listing's key still
    // applies when the bundle names none, so the check is never weaker than the listing's.
    const auto oldInfo = BundleInfo::read(app.path);
    std::optional<std::string> edKey = oldInfo ? Plist::string(*oldInfo, "SUPublicEDKey") : std::nullopt;
    if (!edKey || edKey->empty())
        edKey = app.edKey;
    if (edKey) {
        if (!info.edSignature)
            return refused(UpdateRefusal::signatureMissing);
        if (!EdDSA::verify(Url::fromPath(file), *info.edSignature, *edKey))
            return refused(UpdateRefusal::signatureInvalid);
    }

    const std::string appPath = app.path.path();
    auto newApp =
        unpack(Url::fromPath(file), type, Url::fromPath(Path::join(folder, "unpacked")), Path::lastComponent(appPath));
    if (!newApp)
        return refused(UpdateRefusal::unpackFailed);
    auto newInfo = BundleInfo::read(*newApp);
    if (!newInfo)
        return refused(UpdateRefusal::noApp);

    const std::string oldBundleID = oldInfo ? Plist::string(*oldInfo, "CFBundleIdentifier").value_or("") : "";
    if (oldBundleID.empty())
        return refused(UpdateRefusal::otherApp); // nothing to show the download is the same app

    const std::string newPath = newApp->path();
    UpdateFacts facts;
    facts.oldBundleID = oldBundleID;
    facts.newBundleID = Plist::string(*newInfo, "CFBundleIdentifier").value_or("");
    facts.oldTeamID = CodeSigning::teamID(appPath);
    facts.newTeamID = CodeSigning::teamID(newPath);
    facts.newSignatureValid =
        runner && runner->run(tools.codesign, {"--verify", "--deep", "--strict", newPath}).has_value();
    facts.oldGatekeeper = gatekeeper(app.path);
    facts.newGatekeeper = gatekeeper(*newApp);
    facts.oldVersion = bundleVersion(*oldInfo);
    facts.newVersion = bundleVersion(*newInfo);
    if (auto refusal = UpdateVerdict::evaluate(facts))
        return refused(*refusal);
    reach(Step::verified);

    // The copy never goes to the app's place itself: a copy cut short would leave half an app
    // there. Failing anywhere, the replacement leaves the old version at its place.
    const TrashPlan plan = trasher.plan({{app.path, app.size, 1, false}});
    if (plan.entries.empty())
        return refused(UpdateRefusal::replaceFailed);
    Trasher::Replacement replacement{[&](const std::string& staged) { return copy(*newApp, staged); },
                                     [&](Trasher::Replacement::Step step) {
                                         using Replaced = Trasher::Replacement::Step;
                                         reach(step == Replaced::recorded  ? Step::journaled
                                               : step == Replaced::made    ? Step::copied
                                               : step == Replaced::swapped ? Step::placed
                                                                           : Step::trashed);
                                     }};
    const Trasher::Outcome outcome = trasher.replace(plan.entries.front(), replacement, journal);
    if (outcome.removed.empty())
        return refused(UpdateRefusal::replaceFailed);
    return {Installed{outcome.removed.front()}};
}

Expected<std::uint64_t, FetchError> UpdateInstaller::urlSessionDownload(const Url& from, const std::string& toPath,
                                                                        std::uint64_t maxBytes) {
    DownloadOptions options;
    options.maxBytes = maxBytes;
    return Network::download(from, toPath, options);
}

std::string UpdateInstallerInternals::archiveType(const Url& download) {
    const std::string name = ascii::lowercased(download.lastPathComponent());
    for (const char* type : archiveTypes) {
        const std::string suffix = std::string(".") + type;
        if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            return type;
    }
    // The type becomes part of a file name in the per-install folder, so only plain letters and
    // digits may come from outside.
    const std::string extension = Path::extension(name);
    if (!extension.empty() && std::all_of(extension.begin(), extension.end(), isLowerAlphanumeric))
        return extension;
    return "zip";
}

std::optional<Url> UpdateInstaller::unpack(const Url& file, const std::string& type, const Url& into,
                                           const std::string& name) const {
    const std::string target = into.path();
    Fs::makeDirectories(target, 0700);
    if (!runner)
        return std::nullopt;

    if (type == "dmg") {
        const std::string mount = Path::join(Path::parent(target), "mount");
        Fs::makeDirectories(mount, 0700);
        if (!runner->run(tools.hdiutil,
                         {"attach", "-nobrowse", "-readonly", "-noautoopen", "-mountpoint", mount, file.path()}))
            return std::nullopt;
        std::optional<Url> answer;
        if (auto found = UpdateInstallerInternals::findApp(Url::fromPath(mount), name)) {
            const std::string copy = Path::join(target, found->lastPathComponent());
            if (runner->run(tools.ditto, {found->path(), copy}))
                answer = Url::fromPath(copy);
        }
        runner->run(tools.hdiutil, {"detach", mount, "-force"});
        return answer;
    }

    const bool unpacked = type == "zip" ? runner->run(tools.ditto, {"-x", "-k", file.path(), target}).has_value()
                                        : runner->run(tools.tar, {"-xf", file.path(), "-C", target}).has_value();
    if (!unpacked)
        return std::nullopt;
    return UpdateInstallerInternals::findApp(into, name);
}

std::optional<Url> UpdateInstallerInternals::findApp(const Url& folder, const std::string& name) {
    // Candidates must be real folders: a link could point the install at any app on the disk.
    std::vector<std::string> candidates;
    const std::string top = folder.path();
    for (const std::string& entry : Fs::list(top)) {
        const std::string path = Path::join(top, entry);
        if (!isRealFolder(path))
            continue;
        if (isAppName(entry)) {
            candidates.push_back(path);
            continue;
        }
        for (const std::string& inner : Fs::list(path)) {
            const std::string innerPath = Path::join(path, inner);
            if (isAppName(inner) && isRealFolder(innerPath))
                candidates.push_back(innerPath);
        }
    }
    for (const std::string& candidate : candidates)
        if (Path::lastComponent(candidate) == name)
            return Url::fromPath(candidate);
    if (candidates.size() == 1)
        return Url::fromPath(candidates.front());
    return std::nullopt;
}

bool UpdateInstaller::gatekeeper(const Url& app) const {
    return runner && runner->run(tools.spctl, {"--assess", "--type", "execute", app.path()}).has_value();
}

void UpdateInstaller::removeLeftovers(const Url& workFolder) {
    const std::string work = workFolder.path();
    const int folder = open(work.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return;
    if (isPrivateFolder(folder))
        for (const std::string& name : Fs::list(work)) {
            if (!isInstallFolderName(name))
                continue;
            const int install = openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (install < 0)
                continue;
            struct stat info;
            const int mark = fstat(install, &info) == 0 && info.st_uid == geteuid()
                                 ? openat(install, installMark, O_RDONLY | O_NOFOLLOW | O_CLOEXEC)
                                 : -2;
            if (mark == -1 && errno == ENOENT)
                unlinkat(folder, name.c_str(), AT_REMOVEDIR); // made, killed before its mark: empty
            else if (mark >= 0 && fstat(mark, &info) == 0 && S_ISREG(info.st_mode) &&
                     flock(mark, LOCK_EX | LOCK_NB) == 0)
                Fs::removeAll(Path::join(work, name));
            if (mark >= 0)
                close(mark);
            close(install);
        }
    close(folder);
}

bool UpdateInstaller::copy(const Url& newApp, const std::string& target) const {
    const std::string source = newApp.path();
    if (runner && runner->run(tools.ditto, {source, target}) && Fs::exists(target))
        return true;
    // A partial copy must not stay in the way of the administrator's copy.
    Fs::removeAll(target);
    const std::string command = Shell::quote(tools.ditto) + " " + Shell::quote(source) + " " + Shell::quote(target);
    // The administrator's answer alone does not prove the copy is there.
    if (Shell::runAsAdmin(admin, command) && isRealFolder(target))
        return true;
    Fs::removeAll(target);
    return false;
}

namespace Homebrew {

std::optional<std::string> brew(const ToolPaths& tools) {
    for (const std::string& candidate : tools.brew)
        if (Fs::isExecutableFile(candidate))
            return candidate;
    return std::nullopt;
}

namespace {
// Cask tokens are ASCII; a leading "-" would be read as an option, an empty one upgrades all.
bool isValidToken(const std::string& token) {
    if (token.empty() || token.front() == '-')
        return false;
    for (char c : token) {
        const bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letterOrDigit && c != '-' && c != '_' && c != '@' && c != '.' && c != '+')
            return false;
    }
    return true;
}
} // namespace

bool upgrade(const std::string& token, const CommandRunner& runner, const ToolPaths& tools) {
    if (!isValidToken(token))
        return false;
    auto path = brew(tools);
    if (!path)
        return false;
    return runner.run(*path, {"upgrade", "--cask", "--greedy", token}).has_value();
}

} // namespace Homebrew

} // namespace dovrane
