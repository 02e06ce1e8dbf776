#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/updates/Archives.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <tuple>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// One entry of an archive a test writes itself, hostile ones included.
struct Item {
    enum Kind { file, folder, link, hardlink, fifo, device } kind = file;
    std::string name;
    std::string data;   // file contents
    std::string target; // link or hard-link target
    mode_t perm = 0644;
    std::int64_t declaredSize = -1; // a size the header claims; data is written up to it
};

Item fileItem(std::string name, std::string data, mode_t perm = 0644) {
    return {Item::file, std::move(name), std::move(data), {}, perm};
}
Item folderItem(std::string name, mode_t perm = 0755) { return {Item::folder, std::move(name), {}, {}, perm}; }
Item linkItem(std::string name, std::string target) {
    return {Item::link, std::move(name), {}, std::move(target), 0777};
}
Item hardlinkItem(std::string name, std::string target) {
    return {Item::hardlink, std::move(name), {}, std::move(target)};
}
Item special(Item::Kind kind, std::string name) { return {kind, std::move(name), {}, {}, 0644}; }
Item declaredFile(std::string name, std::int64_t size) { return {Item::file, std::move(name), {}, {}, 0644, size}; }

void writeArchive(const std::string& path, const std::vector<Item>& items, const std::string& format = "tar",
                  const std::string& filter = "none") {
    archive* a = archive_write_new();
    if (format == "zip")
        archive_write_set_format_zip(a);
    else
        archive_write_set_format_pax_restricted(a);
    if (filter == "gzip")
        archive_write_add_filter_gzip(a);
    else if (filter == "bzip2")
        archive_write_add_filter_bzip2(a);
    else if (filter == "xz")
        archive_write_add_filter_xz(a);
    ASSERT_EQ(archive_write_open_filename(a, path.c_str()), ARCHIVE_OK) << archive_error_string(a);
    for (const auto& item : items) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, item.name.c_str());
        archive_entry_set_perm(entry, item.perm);
        archive_entry_set_mtime(entry, 1'600'000'000, 0);
        switch (item.kind) {
        case Item::file:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_size(entry, item.declaredSize >= 0 ? item.declaredSize : std::int64_t(item.data.size()));
            break;
        case Item::folder:
            archive_entry_set_filetype(entry, AE_IFDIR);
            break;
        case Item::link:
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_symlink(entry, item.target.c_str());
            break;
        case Item::hardlink:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_hardlink(entry, item.target.c_str());
            archive_entry_set_size(entry, 0);
            break;
        case Item::fifo:
            archive_entry_set_filetype(entry, AE_IFIFO);
            break;
        case Item::device:
            archive_entry_set_filetype(entry, AE_IFCHR);
            archive_entry_set_rdev(entry, makedev(1, 3));
            break;
        }
        ASSERT_GE(archive_write_header(a, entry), ARCHIVE_WARN) << archive_error_string(a);
        if (item.kind == Item::file) {
            std::string data = item.data;
            if (item.declaredSize > std::int64_t(data.size()))
                data.resize(std::size_t(item.declaredSize), 'x');
            archive_write_data(a, data.data(), data.size());
        }
        archive_entry_free(entry);
    }
    ASSERT_EQ(archive_write_close(a), ARCHIVE_OK) << archive_error_string(a);
    archive_write_free(a);
}

std::vector<std::string> entryNames(const std::string& path) {
    std::vector<std::string> names;
    archive* a = archive_read_new();
    archive_read_support_format_all(a);
    if (archive_read_open_filename(a, path.c_str(), 1 << 16) == ARCHIVE_OK) {
        archive_entry* entry;
        while (archive_read_next_header(a, &entry) == ARCHIVE_OK)
            names.emplace_back(archive_entry_pathname(entry));
    }
    archive_read_free(a);
    return names;
}

// What a tree holds: per entry its type, mode, contents or link target, and modification time.
using Snapshot = std::map<std::string, std::tuple<char, unsigned, std::string, long>>;

Snapshot snapshot(const std::string& root) {
    Snapshot result;
    namespace fs = std::filesystem;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        std::string path = entry.path().string();
        struct stat info;
        lstat(path.c_str(), &info);
        char type = S_ISDIR(info.st_mode) ? 'd' : S_ISLNK(info.st_mode) ? 'l' : 'f';
        std::string content = type == 'f' ? *Fs::readFile(path) : type == 'l' ? fs::read_symlink(path).string() : "";
        long mtime = type == 'd' ? 0 : long(info.st_mtim.tv_sec); // a folder's time moves as it is filled
        result[path.substr(root.size())] = {type, unsigned(info.st_mode & 07777), content, mtime};
    }
    return result;
}

// A folder that looks like an app, with what an archive has to keep.
void makeTree(const std::string& root) {
    writeFile(root + "/Contents/MacOS/app", "#!/bin/sh\n");
    chmod((root + "/Contents/MacOS/app").c_str(), 0755);
    writeFile(root + "/Contents/Resources/read-only.txt", "fixed");
    chmod((root + "/Contents/Resources/read-only.txt").c_str(), 0444);
    writeFile(root + "/Contents/Resources/caf\xE9.txt", "latin-1 name");
    makeFolder(root + "/Contents/Private");
    chmod((root + "/Contents/Private").c_str(), 0700);
    makeFolder(root + "/Contents/Empty");
    makeSymlink("MacOS/app", root + "/Contents/current");
    makeSymlink("/Applications", root + "/Applications");
    setTimes(root + "/Contents/MacOS/app", Date::fromUnix(1'500'000'000));
}

} // namespace

TEST(ArchivesRoundTrip, ZipKeepsTheFolderAsTopEntryWithModesAndLinks) {
    TempDir dir;
    makeTree(dir / "Example.app");
    ASSERT_TRUE(Archives::createZip(dir / "Example.app", dir / "update.zip"));

    auto names = entryNames(dir / "update.zip");
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), "Example.app/");
    for (const auto& name : names)
        EXPECT_TRUE(name.starts_with("Example.app/")) << name;

    auto summary = Archives::extract(dir / "update.zip", dir / "unpacked");
    ASSERT_TRUE(summary) << summary.error().message;
    EXPECT_EQ(summary->entries, names.size());
    EXPECT_EQ(snapshot(dir / "unpacked/Example.app"), snapshot(dir / "Example.app"));

    // Writing again replaces the archive whole.
    writeFile(dir / "Example.app/Contents/new", "n");
    ASSERT_TRUE(Archives::createZip(dir / "Example.app", dir / "update.zip"));
    EXPECT_EQ(entryNames(dir / "update.zip").size(), names.size() + 1);
    EXPECT_FALSE(Archives::createZip(dir / "missing", dir / "other.zip"));
    EXPECT_FALSE(Fs::exists(dir / "other.zip"));
}

TEST(ArchivesRoundTrip, TarOfEveryCompressionExtractsWithModesAndLinks) {
    for (const char* filter : {"none", "gzip", "bzip2", "xz"}) {
        SCOPED_TRACE(filter);
        TempDir dir;
        writeArchive(dir / "update.tar",
                     {folderItem("./"), folderItem("./Example.app/"), fileItem("Example.app/run", "code", 0755),
                      fileItem("Example.app/setuid", "s", 04755), folderItem("Example.app/Locked", 0500),
                      fileItem("Example.app/Locked/inside", "i", 0400), linkItem("Example.app/Current", "run"),
                      hardlinkItem("Example.app/again", "Example.app/run")},
                     "tar", filter);
        auto summary = Archives::extract(dir / "update.tar", dir / "unpacked");
        ASSERT_TRUE(summary) << summary.error().message;
        auto tree = snapshot(dir / "unpacked");
        EXPECT_EQ(tree["/Example.app/run"], std::make_tuple('f', 0755u, std::string("code"), 1'600'000'000L));
        EXPECT_EQ(std::get<1>(tree["/Example.app/setuid"]), 0755u) << "set-id bits are dropped";
        EXPECT_EQ(std::get<1>(tree["/Example.app/Locked"]), 0500u);
        EXPECT_EQ(std::get<2>(tree["/Example.app/Locked/inside"]), "i");
        EXPECT_EQ(std::get<2>(tree["/Example.app/Current"]), "run");
        EXPECT_EQ(std::get<2>(tree["/Example.app/again"]), "code");
        EXPECT_EQ(summary->bytes, 6u);
    }
}

TEST(ArchivesHostile, EntriesThatLeaveTheDestinationAreRefused) {
    TempDir dir;
    makeFolder(dir / "outside");
    writeFile(dir / "victim", "original");
    const std::string victim = dir / "victim";
    struct Case {
        const char* name;
        std::vector<Item> items;
        std::string format = "tar";
        bool refused = true;
    };
    const std::vector<Case> cases = {
        {"dot-dot", {fileItem("ok", "fine"), fileItem("../escaped", "x")}},
        {"dot-dot inside", {fileItem("a/../../escaped", "x")}},
        {"dot-dot in zip", {fileItem("../escaped", "x")}, "zip"},
        {"absolute", {fileItem(dir / "escaped", "x")}},
        {"absolute in zip", {fileItem(dir / "escaped", "x")}, "zip"},
        {"write through absolute link", {linkItem("l", dir / "outside"), fileItem("l/escaped", "x")}},
        {"write through relative link", {linkItem("l", "../outside"), fileItem("l/escaped", "x")}},
        {"write through link in zip", {linkItem("l", "../outside"), fileItem("l/escaped", "x")}, "zip"},
        // A later entry of the same name replaces the link itself, never what it points to.
        {"overwrite link to a file", {linkItem("l", victim), fileItem("l", "evil")}, "tar", false},
        {"hard link out", {hardlinkItem("h", "../victim")}},
        {"hard link absolute", {hardlinkItem("h", victim)}},
        {"hard link through link", {linkItem("l", ".."), hardlinkItem("h", "l/victim")}},
        {"fifo", {special(Item::fifo, "pipe")}},
        {"device", {special(Item::device, "null")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeArchive(dir / "hostile", c.items, c.format);
        auto result = Archives::extract(dir / "hostile", dir / "out");
        EXPECT_EQ(bool(result), !c.refused);
        if (c.refused) {
            EXPECT_FALSE(Fs::exists(dir / "out")) << "nothing extracted stays";
        } else {
            EXPECT_FALSE(Fs::isSymlink(dir / "out/l"));
            Fs::removeAll(dir / "out");
        }
        EXPECT_FALSE(Fs::exists(dir / "escaped"));
        EXPECT_FALSE(Fs::exists(dir / "outside/escaped"));
        EXPECT_EQ(Fs::readFile(victim), "original");
        struct stat info;
        ASSERT_EQ(stat(victim.c_str(), &info), 0);
        EXPECT_EQ(info.st_nlink, 1u);
    }
}

TEST(ArchivesHostile, SizeAndCountCapsStopExtraction) {
    TempDir dir;
    const ExtractLimits limits{1 << 20, 4};

    writeArchive(dir / "big.tar", {declaredFile("big", (1 << 20) + 1)});
    EXPECT_FALSE(Archives::extract(dir / "big.tar", dir / "out", limits));
    EXPECT_FALSE(Fs::exists(dir / "out"));

    // Entries under the cap each, over it together.
    writeArchive(dir / "two.zip",
                 {fileItem("a", std::string(600 << 10, 'a')), fileItem("b", std::string(600 << 10, 'b'))}, "zip");
    EXPECT_FALSE(Archives::extract(dir / "two.zip", dir / "out", limits));
    EXPECT_FALSE(Fs::exists(dir / "out"));
    EXPECT_TRUE(Archives::extract(dir / "two.zip", dir / "out", {2 << 20, 4}));
    Fs::removeAll(dir / "out");

    // A compressed bomb: tiny on disk, large when expanded.
    writeArchive(dir / "bomb.tar.xz", {fileItem("zeros", std::string(4 << 20, '\0'))}, "tar", "xz");
    EXPECT_LT(std::filesystem::file_size(dir / "bomb.tar.xz"), 64u << 10);
    EXPECT_FALSE(Archives::extract(dir / "bomb.tar.xz", dir / "out", limits));
    EXPECT_FALSE(Fs::exists(dir / "out"));

    writeArchive(dir / "many.tar",
                 {fileItem("1", ""), fileItem("2", ""), fileItem("3", ""), fileItem("4", ""), fileItem("5", "")});
    EXPECT_FALSE(Archives::extract(dir / "many.tar", dir / "out", limits));
    EXPECT_TRUE(Archives::extract(dir / "many.tar", dir / "out", {1 << 20, 5}));
}

TEST(ArchivesHostile, OnlyAFreshFolderIsFilled) {
    TempDir dir;
    writeArchive(dir / "good.tar", {fileItem("a", "a")});
    writeArchive(dir / "bad.tar", {fileItem("a", "a"), fileItem("../b", "b")});

    makeFolder(dir / "empty");
    EXPECT_FALSE(Archives::extract(dir / "bad.tar", dir / "empty"));
    EXPECT_TRUE(Fs::isDirectory(dir / "empty")) << "an existing folder stays, emptied";
    EXPECT_TRUE(Fs::list(dir / "empty").empty());
    EXPECT_TRUE(Archives::extract(dir / "good.tar", dir / "empty"));
    EXPECT_EQ(Fs::readFile(dir / "empty/a"), "a");

    EXPECT_FALSE(Archives::extract(dir / "good.tar", dir / "empty")) << "no longer empty";
    makeSymlink(dir / "empty", dir / "linked");
    EXPECT_FALSE(Archives::extract(dir / "good.tar", dir / "linked"));
    writeFile(dir / "plain", "p");
    EXPECT_FALSE(Archives::extract(dir / "good.tar", dir / "plain"));
    EXPECT_EQ(Fs::readFile(dir / "plain"), "p");

    writeFile(dir / "garbage.zip", std::string(4096, '\x7f'));
    EXPECT_FALSE(Archives::extract(dir / "garbage.zip", dir / "out"));
    EXPECT_FALSE(Archives::extract(dir / "missing.zip", dir / "out"));
    EXPECT_FALSE(Fs::exists(dir / "out"));
}

TEST(ArchivesCopy, DestinationBecomesTheCopyAndIsNeverNestedInto) {
    TempDir dir;
    makeTree(dir / "Example.app");
    ASSERT_TRUE(Archives::copy(dir / "Example.app", dir / "Applications/Example.app"));
    EXPECT_EQ(snapshot(dir / "Applications/Example.app"), snapshot(dir / "Example.app"));

    makeFolder(dir / "empty.app");
    ASSERT_TRUE(Archives::copy(dir / "Example.app", dir / "empty.app"));
    EXPECT_TRUE(Fs::exists(dir / "empty.app/Contents/MacOS/app"));
    EXPECT_FALSE(Fs::exists(dir / "empty.app/Example.app"));

    EXPECT_FALSE(Archives::copy(dir / "Example.app", dir / "empty.app")) << "not empty any more";
    EXPECT_FALSE(Fs::exists(dir / "empty.app/Example.app"));
    EXPECT_FALSE(Archives::copy(dir / "Example.app", dir / "Example.app/Contents/Nested.app"));
    EXPECT_FALSE(Fs::exists(dir / "Example.app/Contents/Nested.app"));
    EXPECT_FALSE(Archives::copy(dir / "missing", dir / "copy"));

    // A copy from a read-only image stays the owner's to move and remove.
    makeFolder(dir / "image/Locked.app/Contents");
    chmod((dir / "image/Locked.app/Contents").c_str(), 0555);
    ASSERT_TRUE(Archives::copy(dir / "image/Locked.app", dir / "Applications/Locked.app"));
    EXPECT_EQ(std::get<1>(snapshot(dir / "Applications")["/Locked.app/Contents"]), 0755u);

    // A single file or link is copied as itself.
    ASSERT_TRUE(Archives::copy(dir / "Example.app/Contents/current", dir / "link-copy"));
    EXPECT_TRUE(Fs::isSymlink(dir / "link-copy"));
    ASSERT_TRUE(Archives::copy(dir / "Example.app/Contents/Resources/read-only.txt", dir / "file-copy"));
    EXPECT_EQ(std::get<1>(snapshot(dir.path())["/file-copy"]), 0444u);
    EXPECT_FALSE(Archives::copy(dir / "Example.app/Contents/MacOS/app", dir / "file-copy")) << "no overwriting";

    // Something that cannot be copied leaves no half copy behind.
    ASSERT_EQ(mkfifo((dir / "Example.app/Contents/pipe").c_str(), 0600), 0);
    EXPECT_FALSE(Archives::copy(dir / "Example.app", dir / "half.app"));
    EXPECT_FALSE(Fs::exists(dir / "half.app"));
}
