#include "DovraneKit/trash/FreedesktopTrash.h"

#include "DovraneKit/core/Url.h"
#include "DovraneKit/system/FileSystem.h"
#include "core/Utf8.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <map>

using namespace dovrane;
namespace Trash = dovrane::FreedesktopTrash;
using dovrane::testing::makeFolder;
using dovrane::testing::ScopedEnv;
using dovrane::testing::TempDir;
using dovrane::testing::TempHome;
using dovrane::testing::writeFile;

namespace {

// The keys of an info file, read the way a file manager reads them.
std::map<std::string, std::string> readInfo(const std::string& path) {
    std::map<std::string, std::string> keys;
    auto text = Fs::readFile(path);
    if (!text)
        return keys;
    std::size_t start = 0, lineNumber = 0;
    while (start < text->size()) {
        std::size_t end = text->find('\n', start);
        if (end == std::string::npos)
            end = text->size();
        std::string line = text->substr(start, end - start);
        if (lineNumber++ == 0)
            keys["group"] = line;
        else if (auto equals = line.find('='); equals != std::string::npos)
            keys[line.substr(0, equals)] = line.substr(equals + 1);
        else
            keys["stray line"] = line;
        start = end + 1;
    }
    return keys;
}

// Local time "YYYY-MM-DDThh:mm:ss" close to now.
void expectRecentDeletionDate(const std::string& text) {
    std::tm parsed{};
    const char* end = strptime(text.c_str(), "%Y-%m-%dT%H:%M:%S", &parsed);
    ASSERT_TRUE(end && *end == '\0') << text;
    ASSERT_EQ(text.size(), 19u) << text;
    parsed.tm_isdst = -1;
    EXPECT_LE(std::abs(std::difftime(std::mktime(&parsed), std::time(nullptr))), 60.0) << text;
}

// The trash's operations on an item reached from "/" one folder at a time, as the trasher
// reaches it.
FolderDescent::Place placeOf(const std::string& path) {
    auto place = FolderDescent::parentOf("/", path);
    return place ? std::move(place).value() : FolderDescent::Place{OpenFolder(), Path::lastComponent(path)};
}

Expected<Trash::Slot, Trash::Error> moveToTrash(const std::string& path, const std::string& trash) {
    return Trash::moveToTrash(placeOf(path), path, trash);
}

std::optional<Trash::Error> restore(const std::string& trashPath, const std::string& original) {
    return Trash::restore(placeOf(trashPath), trashPath, placeOf(original));
}

class FreedesktopTrashTest : public ::testing::Test {
protected:
    TempHome home;
    TempDir work;
    std::string trash = Trash::homeTrash(home.path());
};

} // namespace

TEST_F(FreedesktopTrashTest, AwkwardNamesRoundTripWithExactBytes) {
    const std::string names[] = {"two words.txt", "100% done", "first\nsecond", std::string("bad\xff\xfe utf8.bin"),
                                 "semi;colon=and#hash?"};
    for (const std::string& name : names) {
        const std::string original = work / ("sub dir/" + name);
        writeFile(original, "contents of " + name);

        auto slot = moveToTrash(original, trash);
        ASSERT_TRUE(slot.ok()) << slot.error().message;
        EXPECT_FALSE(Fs::exists(original));
        EXPECT_EQ(slot->trashPath(), trash + "/files/" + name);
        EXPECT_EQ(Fs::readFile(slot->trashPath()), "contents of " + name);

        auto info = readInfo(trash + "/info/" + name + ".trashinfo");
        EXPECT_EQ(info["group"], "[Trash Info]");
        EXPECT_EQ(info.count("stray line"), 0u) << "a raw line break leaked into the info file";
        EXPECT_EQ(percentDecode(info["Path"]), original);
        EXPECT_EQ(info["Path"].find_first_of(" \n\xff"), std::string::npos) << info["Path"];
        expectRecentDeletionDate(info["DeletionDate"]);

        EXPECT_EQ(restore(slot->trashPath(), original), std::nullopt);
        EXPECT_EQ(Fs::readFile(original), "contents of " + name);
        EXPECT_FALSE(Fs::exists(slot->trashPath()));
        EXPECT_FALSE(Fs::exists(slot->infoPath()));
    }
    for (const char* folder : {"", "/files", "/info"}) {
        struct stat info;
        ASSERT_EQ(stat((trash + folder).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0700u) << folder;
    }
}

TEST_F(FreedesktopTrashTest, FreeNamesCountUpAndAvoidNamesTakenInEitherFolder) {
    Trash::Directory dir{trash, {}};
    writeFile(trash + "/files/Name.ext");
    writeFile(trash + "/files/Name 2.ext");
    makeFolder(trash + "/files/build");
    writeFile(trash + "/info/orphan.txt.trashinfo"); // info left without its item
    writeFile(trash + "/files/.hidden");
    writeFile(trash + "/files/archive.tar.gz");

    EXPECT_EQ(Trash::freeName(dir, "Name.ext"), "Name 3.ext");
    EXPECT_EQ(Trash::freeName(dir, "build"), "build 2");
    EXPECT_EQ(Trash::freeName(dir, "orphan.txt"), "orphan 2.txt");
    EXPECT_EQ(Trash::freeName(dir, ".hidden"), ".hidden 2");
    EXPECT_EQ(Trash::freeName(dir, "archive.tar.gz"), "archive.tar 2.gz");
    EXPECT_EQ(Trash::freeName(dir, "fresh"), "fresh");

    // Two items of one name from different folders keep apart, each recording its own origin.
    writeFile(work / "a/notes.txt", "a");
    writeFile(work / "b/notes.txt", "b");
    auto first = moveToTrash(work / "a/notes.txt", trash);
    auto second = moveToTrash(work / "b/notes.txt", trash);
    ASSERT_TRUE(first.ok() && second.ok());
    EXPECT_EQ(first->name, "notes.txt");
    EXPECT_EQ(second->name, "notes 2.txt");
    EXPECT_EQ(percentDecode(readInfo(second->infoPath())["Path"]), work / "b/notes.txt");
    EXPECT_EQ(Fs::readFile(second->trashPath()), "b");
}

TEST_F(FreedesktopTrashTest, InfoFileIsWrittenBeforeTheMoveAndGoesWhenTheMoveFails) {
    writeFile(work / "item.txt", "x");
    auto dir = Trash::trashFor(placeOf(work / "item.txt"), trash);
    ASSERT_TRUE(dir.ok()) << dir.error().message;
    auto slot = Trash::reserve(*dir, placeOf(work / "item.txt"), work / "item.txt");
    ASSERT_TRUE(slot.ok());
    EXPECT_TRUE(Fs::exists(slot->infoPath()));
    EXPECT_TRUE(Fs::exists(work / "item.txt"));
    // The reserved name is taken for the next item of that name.
    EXPECT_EQ(Trash::freeName(*dir, "item.txt"), "item 2.txt");
    Trash::release(*slot);
    EXPECT_FALSE(Fs::exists(slot->infoPath()));

    // A folder cannot move into the trash that lies inside it: the rename fails.
    auto inside = moveToTrash(home / ".local", trash);
    ASSERT_FALSE(inside.ok());
    EXPECT_EQ(inside.error().code, std::errc::invalid_argument);
    EXPECT_TRUE(Fs::isDirectory(trash + "/files"));
    EXPECT_TRUE(Fs::list(trash + "/info").empty());

    auto missing = moveToTrash(work / "not there", trash);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().code, std::errc::no_such_file_or_directory);
    EXPECT_FALSE(missing.error().message.empty());
    EXPECT_TRUE(Fs::list(trash + "/info").empty());
}

TEST_F(FreedesktopTrashTest, RestoreNeverReplacesWhatIsAtTheOriginalPath) {
    writeFile(work / "report.txt", "old");
    auto slot = moveToTrash(work / "report.txt", trash);
    ASSERT_TRUE(slot.ok());
    writeFile(work / "report.txt", "new");

    auto failure = restore(slot->trashPath(), work / "report.txt");
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->code, std::errc::file_exists);
    EXPECT_EQ(Fs::readFile(work / "report.txt"), "new");
    EXPECT_EQ(Fs::readFile(slot->trashPath()), "old");
    EXPECT_TRUE(Fs::exists(slot->infoPath()));

    // An empty folder at the original path is no free place either.
    makeFolder(work / "folder");
    makeFolder(work / "trashed folder");
    auto folder = moveToTrash(work / "trashed folder", trash);
    ASSERT_TRUE(folder.ok());
    EXPECT_TRUE(restore(folder->trashPath(), work / "folder").has_value());
    EXPECT_TRUE(Fs::isDirectory(folder->trashPath()));

    EXPECT_EQ(Trash::infoPathFor(slot->trashPath()), slot->infoPath());
    EXPECT_EQ(Trash::infoPathFor(work / "report.txt"), "");
}

// /dev/shm is usually a tmpfs of its own. Everything runs in one test so that no other test
// process uses the volume's trash folders meanwhile; what this test creates there it removes.
TEST(FreedesktopTrashVolume, ItemsOnAnotherVolumeGoToThatVolumesOwnTrash) {
    struct stat shm, tmp;
    if (stat("/dev/shm", &shm) != 0 || !S_ISDIR(shm.st_mode) || access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "/dev/shm is missing or not writable";
    if (stat("/tmp", &tmp) != 0 || tmp.st_dev == shm.st_dev)
        GTEST_SKIP() << "/dev/shm is on the same device as /tmp";
    struct stat top;
    if (stat("/dev", &top) == 0 && top.st_dev == shm.st_dev)
        GTEST_SKIP() << "/dev/shm is not the top of its volume";

    TempHome home;
    const std::string homeTrash = Trash::homeTrash(home.path());
    const std::string uid = std::to_string(geteuid());
    const std::string ownTrash = "/dev/shm/.Trash-" + uid;
    const std::string sharedTrash = "/dev/shm/.Trash";
    const bool hadOwn = Fs::exists(ownTrash), hadShared = Fs::exists(sharedTrash);
    auto folder = Fs::makeUniqueDirectory("/dev/shm", "dovrane-volume-");
    ASSERT_TRUE(folder.has_value());
    struct Cleanup {
        std::string folder, own, shared;
        bool removeOwn, removeShared;
        ~Cleanup() {
            Fs::removeAll(folder);
            if (removeOwn)
                Fs::removeAll(own);
            if (removeShared)
                Fs::removeAll(shared);
        }
    } cleanup{*folder, ownTrash, sharedTrash, !hadOwn, !hadShared};
    const std::string relative = Path::lastComponent(*folder) + "/in folder/data 1%.bin";
    const std::string item = "/dev/shm/" + relative;
    writeFile(item, "volume data");

    // Without a shared ".Trash" the item goes to ".Trash-$uid", recorded relative to the top.
    if (!hadShared) {
        auto slot = moveToTrash(item, homeTrash);
        ASSERT_TRUE(slot.ok()) << slot.error().message;
        EXPECT_EQ(slot->trash.folder, ownTrash);
        EXPECT_EQ(slot->trash.topdir, "/dev/shm");
        EXPECT_EQ(Fs::readFile(slot->trashPath()), "volume data");
        EXPECT_EQ(percentDecode(readInfo(slot->infoPath())["Path"]), relative);
        for (const std::string& sub : {ownTrash, ownTrash + "/files", ownTrash + "/info"}) {
            struct stat info;
            ASSERT_EQ(lstat(sub.c_str(), &info), 0);
            EXPECT_TRUE(S_ISDIR(info.st_mode));
            EXPECT_EQ(info.st_mode & 0777, 0700u) << sub;
        }
        EXPECT_FALSE(Fs::exists(homeTrash + "/files/data 1%.bin"));
        EXPECT_EQ(restore(slot->trashPath(), item), std::nullopt);
        EXPECT_EQ(Fs::readFile(item), "volume data");
        EXPECT_FALSE(Fs::exists(slot->infoPath()));

        // A sticky shared ".Trash" is used through its per-user folder; a plain one is not.
        ASSERT_EQ(mkdir(sharedTrash.c_str(), 0777), 0);
        ASSERT_EQ(chmod(sharedTrash.c_str(), 01777), 0);
        auto shared = moveToTrash(item, homeTrash);
        ASSERT_TRUE(shared.ok()) << shared.error().message;
        EXPECT_EQ(shared->trash.folder, sharedTrash + "/" + uid);
        EXPECT_EQ(percentDecode(readInfo(shared->infoPath())["Path"]), relative);
        EXPECT_EQ(restore(shared->trashPath(), item), std::nullopt);
        ASSERT_EQ(chmod(sharedTrash.c_str(), 0777), 0);
        auto plain = moveToTrash(item, homeTrash);
        ASSERT_TRUE(plain.ok());
        EXPECT_EQ(plain->trash.folder, ownTrash);
        EXPECT_EQ(restore(plain->trashPath(), item), std::nullopt);
        Fs::removeAll(sharedTrash);
    }

    // A ".Trash-$uid" that is a link (someone else may have planted it) is not used, and the
    // item stays: it is never copied to the home trash instead.
    if (!hadOwn) {
        Fs::removeAll(ownTrash);
        makeFolder(*folder + "/elsewhere");
        ASSERT_EQ(symlink((*folder + "/elsewhere").c_str(), ownTrash.c_str()), 0);
        auto refused = moveToTrash(item, homeTrash);
        ASSERT_FALSE(refused.ok());
        EXPECT_EQ(Fs::readFile(item), "volume data");
        EXPECT_TRUE(Fs::list(*folder + "/elsewhere").empty());
        EXPECT_FALSE(Fs::exists(homeTrash + "/files"));
        EXPECT_EQ(refused.error().message,
                  "Items on another disk can only go to that disk's own Trash, and it has none you can use.");
        ScopedEnv german("APP_LANG", "de");
        auto again = moveToTrash(item, homeTrash);
        ASSERT_FALSE(again.ok());
        EXPECT_EQ(again.error().message, "Objekte auf einem anderen Datenträger können nur in dessen eigenen "
                                         "Papierkorb, und dort gibt es keinen, den du nutzen kannst.");
    }
}

TEST_F(FreedesktopTrashTest, NamesUpToTheLongestGoInShortenedAndComeBackWhole) {
    // 255 bytes of ASCII, and 254 bytes of two-byte characters that must not be cut in half.
    const std::string names[] = {std::string(251, 'a') + ".txt", "report " + std::string(241, 'b') + ".pdf", [] {
                                     std::string n;
                                     while (n.size() < 250)
                                         n += "\xC3\xA9";
                                     return n + ".txt";
                                 }()};
    for (const std::string& name : names) {
        for (const char* folder : {"first", "second"}) { // the second one of a name needs a counter too
            const std::string original = work / (std::string(folder) + "/" + name);
            writeFile(original, folder);
            auto slot = moveToTrash(original, trash);
            ASSERT_TRUE(slot.ok()) << name.size() << ": " << slot.error().message;
            EXPECT_LE(Path::lastComponent(slot->infoPath()).size(), 255u);
            EXPECT_EQ(Path::extension(slot->name), Path::extension(name));
            EXPECT_EQ(slot->name.substr(0, 20), name.substr(0, 20));
            if (std::string(folder) == "second") {
                EXPECT_NE(slot->name.find(" 2."), std::string::npos) << slot->name;
            }
            EXPECT_TRUE(utf8::isValid(slot->name)) << slot->name;
            EXPECT_EQ(percentDecode(readInfo(slot->infoPath())["Path"]), original);

            EXPECT_EQ(restore(slot->trashPath(), original), std::nullopt);
            EXPECT_EQ(Fs::readFile(original), folder);
            EXPECT_FALSE(Fs::exists(slot->infoPath()));
            ASSERT_TRUE(moveToTrash(original, trash).ok()); // stays, so the next one counts up
        }
    }
    // An extension too long to keep leaves the whole name to be cut.
    EXPECT_EQ(Trash::freeName({trash, {}}, "x." + std::string(250, 'e')), "x." + std::string(243, 'e'));
}

TEST_F(FreedesktopTrashTest, HomeTrashFoldersMustBeRealFoldersOfTheUser) {
    const std::string elsewhere = work / "elsewhere";
    makeFolder(elsewhere);
    for (const char* linked : {"/files", "/info", ""}) {
        Fs::removeAll(trash);
        makeFolder(Path::parent(trash));
        if (*linked) {
            makeFolder(trash);
            makeFolder(trash + (std::string(linked) == "/files" ? "/info" : "/files"));
        }
        ASSERT_EQ(symlink(elsewhere.c_str(), (trash + linked).c_str()), 0);
        writeFile(work / "item", "x");
        auto moved = moveToTrash(work / "item", trash);
        ASSERT_FALSE(moved.ok()) << linked;
        EXPECT_EQ(moved.error().message,
                  "Your Trash is a link to another place, and Dovrane moves nothing through a link.")
            << linked;
        EXPECT_EQ(Trash::condition(trash), Trash::Condition::linked) << linked;
        EXPECT_TRUE(Fs::exists(work / "item")) << linked;
        EXPECT_TRUE(Fs::list(elsewhere).empty()) << linked;
    }
    {
        ScopedEnv german("APP_LANG", "de");
        auto moved = moveToTrash(work / "item", trash);
        ASSERT_FALSE(moved.ok());
        EXPECT_EQ(moved.error().message,
                  "Dein Papierkorb ist ein Verweis auf einen anderen Ort, und Dovrane bewegt nichts durch einen "
                  "Verweis.");
    }

    // A file where a folder belongs.
    Fs::removeAll(trash);
    makeFolder(trash + "/info");
    writeFile(trash + "/files", "not a folder");
    auto blocked = moveToTrash(work / "item", trash);
    ASSERT_FALSE(blocked.ok());
    EXPECT_EQ(blocked.error().message, "Your Trash belongs to another user or is not a folder.");
    EXPECT_EQ(Trash::condition(trash), Trash::Condition::foreign);
    Fs::removeAll(trash);
    EXPECT_EQ(Trash::condition(trash), Trash::Condition::missing);

    if (geteuid() != 0)
        GTEST_SKIP() << "a folder of another user needs root to make";
    Fs::removeAll(trash);
    makeFolder(trash + "/files");
    makeFolder(trash + "/info");
    ASSERT_EQ(chown((trash + "/files").c_str(), 65534, 65534), 0);
    auto moved = moveToTrash(work / "item", trash);
    ASSERT_FALSE(moved.ok());
    EXPECT_EQ(moved.error().message, "Your Trash belongs to another user or is not a folder.");
    EXPECT_TRUE(Fs::exists(work / "item"));
}

// Before an item is offered, the Trash it would go to is looked at by the move's own rule: the
// refusal is the one the move gives, and looking makes nothing.
TEST_F(FreedesktopTrashTest, ARefusalIsToldBeforeTheMoveAndTheLookMakesNothing) {
    writeFile(work / "item", "x");
    // A home trash that does not exist yet is made by the move: no refusal.
    Fs::removeAll(Path::parent(trash));
    EXPECT_EQ(Trash::refusal(work / "item", trash), std::nullopt);
    EXPECT_FALSE(Fs::exists(Path::parent(trash)));
    EXPECT_EQ(Trash::refusal(work / "missing", trash), std::nullopt) << "the move says why then";

    const std::string elsewhere = work / "elsewhere";
    makeFolder(elsewhere);
    makeFolder(trash + "/info");
    ASSERT_EQ(symlink(elsewhere.c_str(), (trash + "/files").c_str()), 0);
    writeFile(home / "plain.txt", "y"); // another folder on the same disk: the same Trash
    for (const std::string& item : {work / "item", home / "plain.txt"}) {
        const auto before = dovrane::testing::snapshotTree(home.path());
        const std::optional<Trash::Error> told = Trash::refusal(item, trash);
        EXPECT_EQ(dovrane::testing::snapshotTree(home.path()), before);
        auto moved = moveToTrash(item, trash);
        ASSERT_TRUE(told && !moved.ok()) << item;
        EXPECT_EQ(*told, moved.error()) << item;
        EXPECT_EQ(told->message, "Your Trash is a link to another place, and Dovrane moves nothing through a link.");
    }
    Fs::removeAll(trash + "/files");
    EXPECT_EQ(Trash::refusal(work / "item", trash), std::nullopt) << "files/ is made by the move";
    EXPECT_FALSE(Fs::exists(trash + "/files"));

    // Another disk: its own Trash, made where it may be, refused where a file stands in its place.
    const auto report = dovrane::testing::withPrivateMounts([&] {
        const std::string disk = work / "disk";
        makeFolder(disk);
        if (!dovrane::testing::mountTmpfs(disk))
            return std::string("mounting failed");
        writeFile(disk + "/project/build/out.o", "o");
        std::string problems;
        if (auto told = Trash::refusal(disk + "/project/build", trash))
            problems += "refused on a disk whose Trash can be made: " + told->message + "; ";
        if (Fs::list(disk) != std::vector<std::string>{"project"})
            problems += "the look made something; ";
        writeFile(disk + "/.Trash-" + std::to_string(geteuid()), "not a folder");
        const std::optional<Trash::Error> told = Trash::refusal(disk + "/project/build", trash);
        auto moved = moveToTrash(disk + "/project/build", trash);
        if (!told || moved.ok() || !(*told == moved.error()))
            problems += "the look and the move disagree; ";
        else if (told->message !=
                 "Items on another disk can only go to that disk's own Trash, and it has none you can use.")
            problems += "refused with: " + told->message + "; ";
        return problems;
    });
    if (!report)
        GTEST_SKIP() << "mounting in a private mount namespace needs root";
    EXPECT_EQ(*report, "");
}
