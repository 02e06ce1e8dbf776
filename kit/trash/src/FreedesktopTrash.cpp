#include "DovraneKit/trash/FreedesktopTrash.h"

#include "DovraneKit/core/Language.h"
#include "DovraneKit/core/Url.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/MoveRights.h"

#include "core/Utf8.h"
#include "trash/MoveReasons.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace dovrane::FreedesktopTrash {

namespace {

Error systemError(int code) {
    std::error_code error(code, std::generic_category());
    return {error, MoveReasons::forError(error, MoveReasons::Way::toTrash)};
}

Error noUsableTrash() {
    return {std::error_code(EXDEV, std::generic_category()),
            L("Items on another disk can only go to that disk's own Trash, and it has none you can use.")};
}

// Why the home trash cannot take an item, by what its folders are. None of these is a permission
// error: asking for the administrator's password would not make such a trash a good one.
Error unusableHomeTrash(Condition condition) {
    switch (condition) {
    case Condition::linked:
        return {std::error_code(ELOOP, std::generic_category()),
                L("Your Trash is a link to another place, and Dovrane moves nothing through a link.")};
    case Condition::foreign:
        return {std::error_code(ENOTDIR, std::generic_category()),
                L("Your Trash belongs to another user or is not a folder.")};
    default: // read-only, or a folder that could not be made
        return {std::error_code(EROFS, std::generic_category()), L("Your Trash is read-only.")};
    }
}

// One folder of a trash, looked at without following a link.
Condition conditionOf(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0)
        return errno == ENOENT ? Condition::missing : Condition::foreign;
    if (S_ISLNK(info.st_mode))
        return Condition::linked;
    if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid())
        return Condition::foreign;
    if (faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return Condition::readOnly;
    return Condition::usable;
}

// Device of the path, or of its nearest existing parent while the home trash is not made yet.
std::optional<dev_t> deviceOf(std::string path) {
    struct stat info;
    while (!path.empty()) {
        if (stat(path.c_str(), &info) == 0)
            return info.st_dev;
        std::string up = Path::parent(path);
        if (up == path)
            break;
        path = std::move(up);
    }
    return std::nullopt;
}

// Makes what is missing of a trash (0700), never inside a link, and tells what it is then.
// A folder that could not be made counts as read-only.
Condition prepared(const std::string& folder) {
    mkdir(folder.c_str(), 0700);
    if (Condition made = condition(folder); made != Condition::usable)
        return made == Condition::missing ? Condition::readOnly : made;
    const std::string files = Path::join(folder, "files"), info = Path::join(folder, "info");
    mkdir(files.c_str(), 0700);
    mkdir(info.c_str(), 0700);
    for (const std::string& inner : {files, info})
        if (Condition made = conditionOf(inner); made != Condition::usable)
            return made == Condition::missing ? Condition::readOnly : made;
    return Condition::usable;
}

// What prepared() would find, looked at without making anything: a missing trash is made inside its
// nearest existing folder, which this user must be able to write in.
Condition preparable(const std::string& folder) {
    if (Condition found = condition(folder); found != Condition::missing)
        return found;
    std::string above = Path::parent(folder);
    struct stat info;
    while (above != "/" && lstat(above.c_str(), &info) != 0 && errno == ENOENT)
        above = Path::parent(above);
    if (stat(above.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        faccessat(AT_FDCWD, above.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return Condition::readOnly; // what prepared() says of a folder it could not make
    return Condition::usable;
}

// Whether the trash folder takes items: made where missing, or with `make` false only looked at.
bool usableTrash(const std::string& folder, bool make) {
    return (make ? prepared(folder) : preparable(folder)) == Condition::usable;
}

// The highest folder above `path` that is still on device `device`.
std::string topOfVolume(std::string path, dev_t device) {
    while (path != "/") {
        std::string up = Path::parent(path);
        struct stat info;
        if (stat(up.c_str(), &info) != 0 || info.st_dev != device)
            break;
        path = std::move(up);
    }
    return path;
}

// Where an item is: its device, and the real path and device of the folder that holds it (a
// folder that could not be looked at has the error instead).
struct Whereabouts {
    dev_t device;
    std::string folder;
    dev_t folderDevice = 0;
    int folderError = 0;
};

Expected<Directory, Error> volumeTrash(const Whereabouts& item, bool make) {
    if (item.folder.empty())
        return systemError(ENOENT);
    if (item.folderError)
        return systemError(item.folderError);
    // The item is the top of a mounted volume: it cannot leave its place.
    if (item.folderDevice != item.device)
        return systemError(EBUSY);
    std::string topdir = topOfVolume(item.folder, item.device);

    const std::string uid = std::to_string(geteuid());
    // A shared ".Trash" made by the administrator counts only when it is sticky and no link;
    // otherwise other users could swap what is inside.
    std::string shared = Path::join(topdir, ".Trash");
    struct stat info;
    if (lstat(shared.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX)) {
        std::string mine = Path::join(shared, uid);
        if (usableTrash(mine, make))
            return Directory{mine, topdir};
    }
    std::string own = Path::join(topdir, ".Trash-" + uid);
    if (usableTrash(own, make))
        return Directory{own, topdir};
    return noUsableTrash();
}

// The one rule of which trash takes an item: the home trash for an item on its device, else the
// item's volume's own. With `make`, what is missing of it is made; without, nothing is made and
// the answer is whether it could be.
Expected<Directory, Error> chosenTrash(const Whereabouts& item, const std::string& homeTrashFolder, bool make) {
    auto homeDevice = deviceOf(homeTrashFolder);
    if (!homeDevice || *homeDevice != item.device)
        return volumeTrash(item, make);

    // The home trash is checked as a volume's: a link in place of files/ or info/ would send
    // items to wherever it points.
    Directory home{homeTrashFolder, {}};
    if (make) {
        errno = 0;
        if (!Fs::makeDirectories(Path::parent(home.folder), 0700))
            return systemError(errno ? errno : ENOTDIR);
    }
    if (Condition found = make ? prepared(home.folder) : preparable(home.folder); found != Condition::usable)
        return unusableHomeTrash(found);
    return home;
}

// The Path= value: absolute in the home trash, relative to the top folder in a volume's trash.
Expected<std::string, Error> recordedPath(const Directory& trash, const FolderDescent::Place& item,
                                          const std::string& path) {
    if (trash.topdir.empty())
        return path;
    const std::string parent = item.folder.path();
    if (parent.empty())
        return systemError(ENOENT);
    std::string full = Path::join(parent, item.name);
    std::string prefix = trash.topdir == "/" ? "/" : trash.topdir + "/";
    if (!full.starts_with(prefix))
        return systemError(EXDEV);
    return full.substr(prefix.size());
}

// A folder gone down to from "/" without following a link, and what it is.
struct Reached {
    OpenFolder folder;
    struct stat status;
};

std::optional<Reached> reach(const std::string& path) {
    auto opened = FolderDescent::open("/", path);
    if (!opened)
        return std::nullopt;
    Reached reached{std::move(opened).value(), {}};
    if (fstat(reached.folder.fd(), &reached.status) != 0 || !S_ISDIR(reached.status.st_mode))
        return std::nullopt;
    return reached;
}

// `name` in the open folder, not followed, is the folder of `status`.
bool holdsFolder(const Reached& above, const std::string& name, const struct stat& status) {
    struct stat found;
    return fstatat(above.folder.fd(), name.c_str(), &found, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(found.st_mode) &&
           found.st_dev == status.st_dev && found.st_ino == status.st_ino;
}

// `folder` lies directly in the top folder of a mounted volume: "/", or a folder on another
// device than the folder above it.
bool isAtVolumeTop(const std::string& folder, const struct stat& status) {
    const std::string top = Path::parent(folder);
    const auto reachedTop = reach(top);
    if (!reachedTop || !holdsFolder(*reachedTop, Path::lastComponent(folder), status))
        return false;
    if (top == "/")
        return true;
    const auto above = reach(Path::parent(top));
    return above && above->status.st_dev != reachedTop->status.st_dev;
}

} // namespace

bool isOwnTrashFiles(const std::string& files, const std::string& homeTrash, std::uint32_t user) {
    if (files.empty() || files.front() != '/' || Path::lastComponent(files) != "files")
        return false;
    const std::string folder = Path::parent(files);
    const auto trash = reach(folder);
    if (!trash || trash->status.st_uid != user)
        return false;
    struct stat inside;
    OpenFolder filesFolder(openat(trash->folder.fd(), "files", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (filesFolder.fd() < 0 || fstat(filesFolder.fd(), &inside) != 0 || inside.st_uid != user)
        return false;
    // The home trash as spelled, reached just now without a link, is it; so is the same folder
    // spelled otherwise.
    if (folder == homeTrash)
        return true;
    if (const auto home = reach(homeTrash);
        home && home->status.st_dev == trash->status.st_dev && home->status.st_ino == trash->status.st_ino)
        return true;
    const std::string name = Path::lastComponent(folder), uid = std::to_string(user);
    if (name == ".Trash-" + uid)
        return isAtVolumeTop(folder, trash->status);
    if (name != uid || Path::lastComponent(Path::parent(folder)) != ".Trash")
        return false;
    // The shared trash the administrator made: sticky, so that no user swaps another's folder.
    const std::string shared = Path::parent(folder);
    const auto sharedFolder = reach(shared);
    return sharedFolder && (sharedFolder->status.st_mode & S_ISVTX) &&
           holdsFolder(*sharedFolder, name, trash->status) && isAtVolumeTop(shared, sharedFolder->status);
}

std::string homeTrash(const std::string& home) {
    // Both sides in one spelling, so "/home/u/" and "/home/u" are one home.
    const std::string folder = Url::fromPath(home).path();
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome == '/' && folder == Url::fromPath(Fs::homeDirectory()).path())
        return Path::join(dataHome, "Trash");
    return Path::join(folder, ".local/share/Trash");
}

std::string homeTrashFiles(const std::string& home) { return Path::join(homeTrash(home), "files"); }

Condition condition(const std::string& trashFolder) {
    const Condition folder = conditionOf(trashFolder);
    if (folder != Condition::usable && folder != Condition::readOnly)
        return folder;
    bool complete = true;
    for (const char* inner : {"files", "info"}) {
        const Condition found = conditionOf(Path::join(trashFolder, inner));
        if (found == Condition::missing)
            complete = false;
        else if (found != Condition::usable)
            return found;
    }
    // The folder itself is written only to make what it lacks.
    return complete ? Condition::usable : folder;
}

std::string Directory::files() const { return Path::join(folder, "files"); }
std::string Directory::info() const { return Path::join(folder, "info"); }

std::string Slot::trashPath() const { return Path::join(trash.files(), name); }
std::string Slot::infoPath() const { return Path::join(trash.info(), name + ".trashinfo"); }

std::string freeName(const Directory& trash, std::string_view name) { return freeName(trash, name, {}); }

std::string freeName(const Directory& trash, std::string_view name, const std::set<std::string>& taken) {
    auto isFree = [&](const std::string& candidate) {
        return !taken.contains(candidate) && !Fs::exists(Path::join(trash.files(), candidate)) &&
               !Fs::exists(Path::join(trash.info(), candidate + ".trashinfo"));
    };
    // NAME.trashinfo must fit in a file name too: a longer name is shortened in files/, its
    // stem cut on a character boundary, its extension kept (unless the extension alone is
    // too long). Path= keeps the full original path either way.
    constexpr std::size_t longest = NAME_MAX - std::string_view(".trashinfo").size();
    std::string stem = Path::deletingExtension(name);
    std::string extension = Path::extension(name);
    if (extension.size() + 1 + 16 > longest) {
        stem = std::string(name);
        extension.clear();
    }
    auto compose = [&](const std::string& suffix) {
        std::string tail = suffix + (extension.empty() ? "" : "." + extension);
        return std::string(utf8::prefix(stem, longest - tail.size())) + tail;
    };
    std::string candidate = name.size() <= longest ? std::string(name) : compose("");
    // Appended, not " " + text: GCC 12 warns wrongly of overlapping copies there (-Wrestrict).
    for (long counter = 2; !isFree(candidate); ++counter) {
        std::string suffix(1, ' ');
        suffix += std::to_string(counter);
        candidate = compose(suffix);
    }
    return candidate;
}

Expected<Directory, Error> trashFor(const FolderDescent::Place& item, const std::string& homeTrashFolder) {
    Choices once;
    return trashFor(item, homeTrashFolder, once);
}

Expected<Directory, Error> trashFor(const FolderDescent::Place& item, const std::string& homeTrashFolder,
                                    Choices& choices) {
    struct stat info;
    if (fstatat(item.folder.fd(), item.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return systemError(errno);
    Whereabouts where{info.st_dev, {}};
    struct stat folder;
    if (fstat(item.folder.fd(), &folder) == 0)
        where.folderDevice = folder.st_dev;
    else
        where.folderError = errno;
    if (!choices.homeDevice_)
        choices.homeDevice_ = deviceOf(homeTrashFolder);
    // The home trash takes every item on its device, wherever its folder; a volume's trash
    // depends on where the folder is. A folder that could not be looked at is never one known.
    const bool home = *choices.homeDevice_ && **choices.homeDevice_ == where.device;
    if (!home && where.folderError)
        return chosenTrash(where, homeTrashFolder, true);
    const Choices::Key key{where.device, home ? 0 : where.folderDevice, home ? 0 : folder.st_ino};
    if (const auto known = choices.chosen_.find(key); known != choices.chosen_.end())
        return known->second;
    // The folder that holds the item, where it is now: no link on the way there counts.
    if (!home)
        where.folder = item.folder.path();
    return choices.chosen_.emplace(key, chosenTrash(where, homeTrashFolder, true)).first->second;
}

std::optional<Error> refusal(const std::string& path, const std::string& homeTrashFolder) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0)
        return std::nullopt;
    Whereabouts where{info.st_dev, Fs::realPath(Path::parent(path)).value_or(std::string())};
    if (stat(where.folder.c_str(), &info) == 0)
        where.folderDevice = info.st_dev;
    else
        where.folderError = errno;
    auto chosen = chosenTrash(where, homeTrashFolder, false);
    if (chosen)
        return std::nullopt;
    return chosen.error();
}

namespace {
// Creates an info file at `info` with O_EXCL and writes the recorded path into it whole; the
// errno when that failed, with nothing left behind.
// With `identity`, the file's identity is noted there too.
int writeInfoAt(const std::string& info, const std::string& recorded,
                FolderDescent::Identity::File* identity = nullptr) {
    int fd = open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return errno;
    bool written = Fs::writeAll(fd, infoText(recorded, std::time(nullptr)));
    int failure = written ? 0 : (errno ? errno : EIO);
    if (written && identity) {
        const auto file = FolderDescent::identifyOpen(fd);
        written = file.has_value();
        failure = written ? 0 : (errno ? errno : EIO);
        *identity = file.value_or(FolderDescent::Identity::File{});
    }
    if (close(fd) != 0 && written) {
        written = false;
        failure = errno;
    }
    if (!written) {
        unlink(info.c_str());
        return failure;
    }
    return 0;
}

// The same at the slot's own info file, taking its name: given up again when something stands
// at its trashPath() (EEXIST).
int writeInfo(const Slot& slot, const std::string& recorded) {
    const std::string info = slot.infoPath();
    if (const int failure = writeInfoAt(info, recorded))
        return failure;
    if (Fs::exists(slot.trashPath())) {
        unlink(info.c_str());
        return EEXIST;
    }
    return 0;
}
} // namespace

Expected<Slot, Error> reserve(const Directory& trash, const FolderDescent::Place& item, const std::string& path) {
    auto recorded = recordedPath(trash, item, path);
    if (!recorded)
        return recorded.error();
    // Another program may take a name between the look and the create; O_EXCL notices, and
    // the next free name is tried.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        Slot slot{trash, freeName(trash, item.name)};
        const int failure = writeInfo(slot, *recorded);
        if (failure == EEXIST)
            continue;
        if (failure)
            return systemError(failure);
        return slot;
    }
    return systemError(EEXIST);
}

Expected<FolderDescent::Identity::File, Error> prepareInfo(const Directory& trash, const std::string& privateName,
                                                           const FolderDescent::Place& item, const std::string& path) {
    auto recorded = recordedPath(trash, item, path);
    if (!recorded)
        return recorded.error();
    FolderDescent::Identity::File written;
    if (const int failure = writeInfoAt(Path::join(trash.info(), privateName), *recorded, &written))
        return systemError(failure);
    return written;
}

std::optional<Error> claim(const Slot& slot, const std::string& privateName) {
    const std::string prepared = Path::join(slot.trash.info(), privateName), info = slot.infoPath();
    if (renameat2(AT_FDCWD, prepared.c_str(), AT_FDCWD, info.c_str(), RENAME_NOREPLACE) != 0) {
        const int failure = errno;
        unlink(prepared.c_str());
        return systemError(failure);
    }
    if (Fs::exists(slot.trashPath())) {
        unlink(info.c_str());
        return systemError(EEXIST);
    }
    return std::nullopt;
}

void release(const Slot& slot) { unlink(slot.infoPath().c_str()); }

std::error_code flush(const std::vector<Directory>& trashes) {
    std::vector<dev_t> flushed;
    std::error_code failure;
    const auto fail = [&failure] {
        if (!failure)
            failure = std::error_code(errno, std::generic_category());
    };
    for (const Directory& trash : trashes) {
        const int fd = open(trash.info().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat info;
        if (fd < 0 || fstat(fd, &info) != 0)
            fail();
        // One flush per file system, however many items and trashes it holds: cheaper than one
        // per file, and it takes the folders' entries along.
        else if (std::find(flushed.begin(), flushed.end(), info.st_dev) == flushed.end()) {
            flushed.push_back(info.st_dev);
            if (syncfs(fd) != 0)
                fail();
        }
        if (fd >= 0)
            close(fd);
    }
    return failure;
}

namespace {
// The slot's place in the trash's files/ folder, itself no link (usableTrash looked; the open
// holds to it).
Expected<FolderDescent::Place, std::error_code> slotPlace(const Slot& slot) {
    OpenFolder files(open(slot.trash.files().c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (files.fd() < 0)
        return std::error_code(errno, std::generic_category());
    return FolderDescent::Place{std::move(files), slot.name};
}
} // namespace

std::error_code moveInto(const Slot& slot, const FolderDescent::Place& item,
                         const std::optional<FolderDescent::Identity>& expected) {
    auto into = slotPlace(slot);
    if (!into)
        return into.error();
    return FolderDescent::rename(item, *into, expected);
}

std::error_code swapInto(const Slot& slot, const FolderDescent::Place& item, const std::string& staged,
                         const FolderDescent::Identity& expected, const std::function<void()>& swapped) {
    auto into = slotPlace(slot);
    if (!into)
        return into.error();
    return FolderDescent::swapOut(item, staged, *into, expected, swapped);
}

Expected<Slot, Error> moveToTrash(const FolderDescent::Place& item, const std::string& path,
                                  const std::string& homeTrashFolder,
                                  const std::optional<FolderDescent::Identity>& expected) {
    auto trash = trashFor(item, homeTrashFolder);
    if (!trash)
        return trash.error();
    auto slot = reserve(*trash, item, path);
    if (!slot)
        return slot.error();
    if (const std::error_code failure = moveInto(*slot, item, expected)) {
        release(*slot);
        return Error{failure, MoveReasons::forError(failure, MoveReasons::Way::toTrash)};
    }
    return slot;
}

std::optional<Error> restore(const FolderDescent::Place& trashed, const std::string& trashPath,
                             const FolderDescent::Place& original, const std::function<void()>& returned) {
    // A disk mounted at the original place since (EXDEV) is said as such: going back would be a copy.
    if (const std::error_code failure = FolderDescent::rename(trashed, original)) {
        // Refused rights are the Trash's when the item may not leave it, not the original place's.
        const bool refused = failure == std::errc::permission_denied || failure == std::errc::operation_not_permitted;
        const std::optional<MoveRights> rights = refused ? MoveRights::of(trashPath) : std::nullopt;
        return Error{failure, rights && !rights->movable ? MoveReasons::keptInTrash()
                                                         : MoveReasons::forError(failure, MoveReasons::Way::back)};
    }
    if (returned)
        returned();
    if (std::string info = infoPathFor(trashPath); !info.empty())
        unlink(info.c_str());
    return std::nullopt;
}

std::string infoPathFor(const std::string& trashPath) {
    std::string files = Path::parent(trashPath);
    if (Path::lastComponent(files) != "files")
        return {};
    return Path::join(Path::join(Path::parent(files), "info"), Path::lastComponent(trashPath) + ".trashinfo");
}

namespace {
// "." and ".." resolved by the text alone, without trailing slashes.
std::string lexicallyNormal(const std::string& path) {
    std::string normal = std::filesystem::path(path).lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/')
        normal.pop_back();
    return normal;
}

// The top folder of the volume whose own trash, "$topdir/.Trash-$uid" or "$topdir/.Trash/$uid",
// holds the item; none for any other trash.
std::optional<std::string> volumeTopOf(const std::string& trashPath) {
    const std::string folder = Path::parent(Path::parent(trashPath));
    if (Path::lastComponent(folder).starts_with(".Trash-"))
        return Path::parent(folder);
    if (Path::lastComponent(Path::parent(folder)) == ".Trash")
        return Path::parent(Path::parent(folder));
    return std::nullopt;
}
} // namespace

std::optional<std::string> recordedOriginal(const std::string& trashPath) {
    const std::string info = infoPathFor(trashPath);
    if (info.empty())
        return std::nullopt;
    // An info file is a few lines; anything large is not one.
    const std::optional<std::string> text = Fs::readFile(info, 64 * 1024);
    if (!text)
        return std::nullopt;
    bool inGroup = false;
    std::optional<std::string> recorded;
    for (std::string_view rest = *text; !rest.empty();) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.starts_with('['))
            inGroup = line == "[Trash Info]";
        else if (inGroup && line.starts_with("Path=") && !recorded)
            recorded = percentDecode(line.substr(5));
    }
    if (!recorded || recorded->empty() || recorded->find('\0') != std::string::npos)
        return std::nullopt;
    const std::optional<std::string> topdir = volumeTopOf(trashPath);
    if (!topdir) // the home trash records absolute paths only
        return recorded->front() == '/' ? std::optional(lexicallyNormal(*recorded)) : std::nullopt;
    // A foreign info file may climb out of its volume ("../../etc/passwd") or name a path
    // elsewhere ("/etc/passwd"); neither is the original of anything in this trash.
    std::string original = lexicallyNormal(recorded->front() == '/' ? *recorded : Path::join(*topdir, *recorded));
    const std::string top = lexicallyNormal(*topdir);
    if (!original.starts_with(top == "/" ? top : top + "/") || original == top)
        return std::nullopt;
    return original;
}

bool holds(const std::string& trashPath, const std::string& originalPath) {
    if (!Fs::exists(trashPath))
        return false;
    const std::optional<std::string> recorded = recordedOriginal(trashPath);
    if (!recorded)
        return false;
    const std::string original = Url::fromPath(originalPath).path();
    if (Url::fromPath(*recorded).path() == original)
        return true;
    // A volume's trash records the real path of the folder that held the item.
    const std::optional<std::string> parent = Fs::realPath(Path::parent(original));
    return parent && Path::join(*parent, Path::lastComponent(original)) == Url::fromPath(*recorded).path();
}

std::string infoText(std::string_view recordedPath, std::time_t deletedAt) {
    std::tm local{};
    localtime_r(&deletedAt, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    return "[Trash Info]\nPath=" + percentEncodePath(recordedPath) + "\nDeletionDate=" + date + "\n";
}

} // namespace dovrane::FreedesktopTrash
