#pragma once
// The desktop's Trash as the freedesktop.org Trash specification lays it out: items in
// "files/", one "info/NAME.trashinfo" each. Everything moved here shows up in the file
// manager's Trash and can be restored from there too. Nothing is ever copied: an item that
// cannot be renamed into a trash on its own device stays where it is.

#include "DovraneKit/core/Expected.h"
#include "DovraneKit/system/FolderDescent.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace dovrane::FreedesktopTrash {

// The home trash of the user whose home folder this is: $XDG_DATA_HOME/Trash when home is the
// current user's home and XDG_DATA_HOME names an absolute folder, else home/.local/share/Trash.
std::string homeTrash(const std::string& home);
// Its "files/" folder: "the user's Trash folder" everywhere in the library.
std::string homeTrashFiles(const std::string& home);

// Whether `files` is the files/ folder of one of `user`'s own trashes: that of the home trash
// `homeTrash`, or of a volume's "$topdir/.Trash-$uid" or "$topdir/.Trash/$uid" ($topdir the top
// folder of a mounted volume, ".Trash" a sticky folder). Each path is taken as spelled and gone
// down from "/" without following a link; the trash folder and its files/ must be that user's
// own folders. The one test of what is a Trash for the administrator's mover, for settling a
// journal and for Put Back: a folder merely named "files" beside an "info" is none.
bool isOwnTrashFiles(const std::string& files, const std::string& homeTrash, std::uint32_t user);

// What a trash's folder, its files/ and its info/ are, looked at without following a link and
// without making anything.
enum class Condition {
    usable,   // folders of this user that it may write; files/ or info/ may still be missing
    missing,  // there is no trash folder yet
    linked,   // the folder, files/ or info/ is a symbolic link
    foreign,  // one of them is no folder, is another user's, or cannot be looked at
    readOnly, // one of them may not be written by this user (or, while missing, not be made)
};
Condition condition(const std::string& trashFolder);

// Why a trash operation failed: the system's error and the sentence to show for it.
struct Error {
    std::error_code code;
    std::string message;

    bool operator==(const Error&) const = default;
};

// One trash directory. The home trash (no topdir) records absolute paths; a volume's own trash
// records them relative to the volume's top folder, so the volume may be mounted elsewhere.
struct Directory {
    std::string folder; // holds files/ and info/
    std::string topdir; // empty for the home trash

    std::string files() const;
    std::string info() const;

    bool operator==(const Directory&) const = default;
};

// A name taken in a trash: its info file is written, so nobody else picks the name, and the
// item may now be moved to trashPath().
struct Slot {
    Directory trash;
    std::string name;

    std::string trashPath() const; // files/NAME
    std::string infoPath() const;  // info/NAME.trashinfo

    bool operator==(const Slot&) const = default;
};

// The first of "name", "stem 2.ext", "stem 3.ext", ... ("build", "build 2", ...) with
// nothing at files/NAME and nothing at info/NAME.trashinfo. A name too long to take
// ".trashinfo" is shortened: its stem cut on a UTF-8 boundary, its extension kept.
std::string freeName(const Directory& trash, std::string_view name);
// The same, passing over the names in `taken` as well: those chosen for other items that are
// still to take theirs.
std::string freeName(const Directory& trash, std::string_view name, const std::set<std::string>& taken);

// The trash that an item goes to, with files/ and info/ created (0700) when missing: the home
// trash `homeTrashFolder` when the item is on its device; otherwise the item's volume's
// "$topdir/.Trash/$uid" when "$topdir/.Trash" is a sticky folder and no link, else
// "$topdir/.Trash-$uid". Every trash's folders must be real folders this user owns and may
// write, never links. The item is the one in the open folder (FolderDescent), never one a path
// leads to through a link. Fails when the item is gone or cannot be examined, or its trash is
// not one this user may use; the message then says which of these it is.
[[nodiscard]] Expected<Directory, Error> trashFor(const FolderDescent::Place& item, const std::string& homeTrashFolder);

// The trashes trashFor chose for a run of items, so that each is looked at and made once for
// them all rather than once an item: the home trash by the item's device, a volume's trash by the
// folder that holds the item (its device and inode). Meant for a short run (a batch of a move),
// since a trash's folders are looked at again only when it is chosen anew.
class Choices {
public:
    Choices() = default;

private:
    friend Expected<Directory, Error> trashFor(const FolderDescent::Place&, const std::string&, Choices&);
    struct Key {
        std::uint64_t device;
        std::uint64_t folderDevice;
        std::uint64_t folderInode;
        auto operator<=>(const Key&) const = default;
    };
    std::optional<std::optional<std::uint64_t>> homeDevice_; // looked up once
    std::map<Key, Expected<Directory, Error>> chosen_;
};
// trashFor, answered from `choices` where the same trash was chosen before for the same device
// (the home trash) or folder (a volume's).
[[nodiscard]] Expected<Directory, Error> trashFor(const FolderDescent::Place& item, const std::string& homeTrashFolder,
                                                  Choices& choices);
// Why trashFor would refuse the item at `path` (its folder resolved), looked at without making
// anything: what a move of it would say, before it is offered. Nothing when its trash takes it,
// or is missing and could be made, or when the item itself cannot be looked at.
std::optional<Error> refusal(const std::string& path, const std::string& homeTrashFolder);

// Takes the first free name from the item's name for the item at `path` (reached as `item`):
// creates its info file with O_EXCL and writes it whole, dated now.
[[nodiscard]] Expected<Slot, Error> reserve(const Directory& trash, const FolderDescent::Place& item,
                                            const std::string& path);
// The info file for the item at `path` (reached as `item`), written whole under `privateName` in
// the trash's info/ folder, a name that is not a .trashinfo and claims no name in the Trash: its
// identity, so that a journal can name the very file that then claims a name (claim below).
[[nodiscard]] Expected<FolderDescent::Identity::File, Error> prepareInfo(const Directory& trash,
                                                                         const std::string& privateName,
                                                                         const FolderDescent::Place& item,
                                                                         const std::string& path);
// Takes a name chosen beforehand (freeName) with the info file prepared under `privateName`: renames
// it to info/NAME.trashinfo, never replacing one. EEXIST when another program took the name since,
// or something stands at its trashPath(); the prepared file is gone then too.
[[nodiscard]] std::optional<Error> claim(const Slot& slot, const std::string& privateName);
// Gives a name up again: removes the info file.
void release(const Slot& slot);
// Puts what was written into these trashes on the disk, each file system they lie on flushed once:
// after a power cut, the info files written so far are whole and the items renamed in so far are
// there. The first failure; none when every flush went.
[[nodiscard]] std::error_code flush(const std::vector<Directory>& trashes);
// Renames the item into the slot it claimed, never replacing anything; the info file stays
// either way. With an expected identity, only that item moves (FolderDescent::rename).
[[nodiscard]] std::error_code moveInto(const Slot& slot, const FolderDescent::Place& item,
                                       const std::optional<FolderDescent::Identity>& expected = std::nullopt);

// Puts the item named `staged` in the item's folder in the item's place in one step, then renames
// the item, now under the staged name, into the slot it claimed (FolderDescent::swapOut); when
// that rename fails, the two are exchanged back. The info file stays either way.
[[nodiscard]] std::error_code swapInto(const Slot& slot, const FolderDescent::Place& item, const std::string& staged,
                                       const FolderDescent::Identity& expected,
                                       const std::function<void()>& swapped = {});

// Moves the item at `path`, reached as `item`, into its trash: the info file first, then a
// rename out of the open folder that never replaces anything; when the rename fails the info
// file goes again and the item stays. With an expected identity, only that item moves
// (FolderDescent::rename).
[[nodiscard]] Expected<Slot, Error> moveToTrash(const FolderDescent::Place& item, const std::string& path,
                                                const std::string& homeTrashFolder,
                                                const std::optional<FolderDescent::Identity>& expected = std::nullopt);

// Moves the trashed item at trashPath, reached as `trashed`, back to `original`, never
// replacing what is there (the failure's code is then EEXIST) and never copying it to another
// disk (EXDEV), and then removes its info file; `returned`, when given, is called in between.
// Nothing when it worked.
std::optional<Error> restore(const FolderDescent::Place& trashed, const std::string& trashPath,
                             const FolderDescent::Place& original, const std::function<void()>& returned = {});

// The info file of an item in a trash's files/ folder; empty when trashPath lies elsewhere.
std::string infoPathFor(const std::string& trashPath);

// The absolute path that the info file of the item at trashPath records as its origin, a
// volume trash's relative path joined to that volume's top folder, "." and ".." resolved; none
// when there is no readable info file with a Path= entry, the home trash's is relative, or a
// volume trash's, relative or absolute, leads outside the volume's top folder.
std::optional<std::string> recordedOriginal(const std::string& trashPath);
// The entry at trashPath is the item that was moved there from originalPath: something is
// there and its info file records that path. A name taken again by a later, unrelated item
// after the Trash was emptied is not it.
bool holds(const std::string& trashPath, const std::string& originalPath);

// An info file's text: the recorded path percent-encoded, the date in local time.
std::string infoText(std::string_view recordedPath, std::time_t deletedAt);

} // namespace dovrane::FreedesktopTrash
