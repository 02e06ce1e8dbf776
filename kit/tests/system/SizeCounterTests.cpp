#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/SizeCounter.h"
#include "DovraneKit/system/VolumeInfo.h"

#include "support/TestSupport.h"
#include "system/VolumeLabel.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <vector>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

std::int64_t allocated(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 ? std::int64_t(status.st_blocks) * 512 : -1;
}

// The numbers on one line of a command's output.
std::vector<long long> numbersOnLine(const std::string& command, int lineIndex) {
    std::vector<long long> numbers;
    FILE* pipe = popen(command.c_str(), "r");
    char line[4096];
    for (int i = 0; pipe && fgets(line, sizeof line, pipe); ++i) {
        long long value = 0;
        int used = 0;
        for (const char* cursor = line; i == lineIndex && std::sscanf(cursor, "%lld%n", &value, &used) == 1;
             cursor += used)
            numbers.push_back(value);
    }
    if (pipe)
        pclose(pipe);
    return numbers;
}

// du counts folders and links too; the walk leaves their own blocks out.
std::int64_t duOfFilesOnly(const std::string& root) {
    auto du = numbersOnLine("/usr/bin/du -s --block-size=512 '" + root + "'", 0);
    std::int64_t others = std::filesystem::is_directory(root) ? allocated(root) : 0;
    if (std::filesystem::is_directory(root))
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
            if (entry.is_symlink() || entry.is_directory())
                others += allocated(entry.path().string());
    return du.empty() ? -1 : du[0] * 512 - others;
}

void setAccessAndModification(const std::string& path, Date access, Date modification) {
    timespec times[2] = {{time_t(access.unixSeconds()), 0}, {time_t(modification.unixSeconds()), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

Measurement measure(const std::string& path, std::stop_token stop = {}) {
    return SizeCounter::measure(Url::fromPath(path), stop);
}

} // namespace

TEST(SizeCounter, AgreesWithDuOnHardLinksSymlinksHolesAndEmptyFolders) {
    TempDir dir;
    writeFileOfSize(dir / "tree/a.bin", 100'000);
    writeFileOfSize(dir / "tree/sub/b.bin", 5'000);
    makeHardLink(dir / "tree/sub/b.bin", dir / "tree/b-again");
    writeFileOfSize(dir / "outside/c.bin", 30'000);
    makeHardLink(dir / "outside/c.bin", dir / "tree/sub/c-inside");
    writeFileOfSize(dir / "big/huge.bin", 3'000'000);
    makeSymlink(dir / "big", dir / "tree/big-link");
    makeSymlink(dir / "big/huge.bin", dir / "tree/sub/huge-link");
    makeFolder(dir / "tree/empty");
    int fd = open((dir / "tree/sparse.img").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(ftruncate(fd, 64 << 20), 0);
    ASSERT_EQ(pwrite(fd, "data", 4, 20 << 20), 4);
    close(fd);

    Measurement measured = measure(dir / "tree");
    EXPECT_EQ(measured.files, 4); // a.bin, b.bin under two names, c-inside, sparse.img
    EXPECT_EQ(measured.size, duOfFilesOnly(dir / "tree"));
    EXPECT_LT(measured.size, 1'000'000); // nothing behind the links, no hole
    Measurement single = measure(dir / "tree/a.bin");
    EXPECT_EQ(single.size, duOfFilesOnly(dir / "tree/a.bin"));
    EXPECT_EQ(single.files, 1);
}

// A file is used when it is read or changed; a folder only when its entries change, since
// anything that lists it (a scan, a file manager, the locate index) moves its access time.
TEST(SizeCounter, LastUsedIsAFilesNewerTimeAndAFoldersChangeNeverALinks) {
    TempDir dir;
    Date base = Date::fromUnix(1'500'000'000);
    writeFile(dir / "tree/old.txt", "x");
    writeFile(dir / "tree/sub/new.txt", "x");
    makeSymlink(dir / "tree/old.txt", dir / "tree/link");
    setTimesRecursively(dir / "tree", base);
    setAccessAndModification(dir / "tree/sub/new.txt", base, base.adding(3600));
    setAccessAndModification(dir / "tree/link", base.adding(99'999), base.adding(99'999));
    setAccessAndModification(dir / "tree/sub", base.adding(50'000), base);
    setAccessAndModification(dir / "tree", base.adding(60'000), base);
    EXPECT_EQ(measure(dir / "tree").lastUsed, base.adding(3600)) << "a folder's access is no use";
    setAccessAndModification(dir / "tree/sub", base.adding(50'000), base.adding(7200));
    EXPECT_EQ(measure(dir / "tree").lastUsed, base.adding(7200)) << "a folder's change is";
    setAccessAndModification(dir / "tree/old.txt", base.adding(9000), base);
    EXPECT_EQ(measure(dir / "tree").lastUsed, base.adding(9000)) << "a file's access is";
    EXPECT_EQ(measure(dir / "tree/old.txt").lastUsed, base.adding(9000));

    makeFolder(dir / "empty");
    setAccessAndModification(dir / "empty", base.adding(20), base.adding(10));
    EXPECT_EQ(measure(dir / "empty"), (Measurement{0, 0, base.adding(10)}));
}

// Listing folders moves their access times unless the walk asks the kernel not to: every walk
// of the scan leaves them as it found them, for the owner and for root (here with times the
// kernel would otherwise move under relatime and strictatime alike). A user who may not keep
// them (not the owner) still gets the folders listed.
TEST(SizeCounter, WalksLeaveAccessTimesAsTheyFoundThem) {
    TempDir dir;
    const Date old = Date::fromUnix(1'000'000'000);
    writeFileOfSize(dir / "tree/a/one.bin", 4096);
    writeFileOfSize(dir / "tree/a/b/two.bin", 4096);
    writeFile(dir / "tree/c/three.txt", "x");
    const std::vector<std::string> folders = {dir / "tree", dir / "tree/a", dir / "tree/a/b", dir / "tree/c"};
    auto accessTimes = [&] {
        std::vector<std::int64_t> times;
        for (const std::string& folder : folders) {
            struct stat status {};
            lstat(folder.c_str(), &status);
            times.push_back(status.st_atim.tv_sec);
        }
        struct stat file {};
        lstat((dir / "tree/c/three.txt").c_str(), &file);
        times.push_back(file.st_atim.tv_sec);
        return times;
    };
    setTimesRecursively(dir / "tree", old);
    const std::vector<std::int64_t> before = accessTimes();

    EXPECT_EQ(measure(dir / "tree").files, 3);
    EXPECT_EQ(accessTimes(), before) << "measured";
    EXPECT_EQ(SizeCounter::measureEach({Url::fromPath(dir / "tree/a"), Url::fromPath(dir / "tree/c")}).size(), 2u);
    EXPECT_EQ(accessTimes(), before) << "measured each";
    EXPECT_EQ(Fs::list(dir / "tree/a").size(), 2u);
    EXPECT_EQ(Fs::readFile(dir / "tree/c/three.txt"), std::optional<std::string>("x"));
    EXPECT_EQ(accessTimes(), before) << "listed and read";

    // Someone else's tree, walked by a user the kernel refuses O_NOATIME: listed all the same.
    if (geteuid() != 0)
        GTEST_SKIP() << "a walk by another user than the tree's owner needs root to drop its rights";
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0)
            _exit(2);
        const long long figures[3] = {measure(dir / "tree").files, std::ssize(Fs::list(dir / "tree/a")),
                                      std::ssize(Fs::readFile(dir / "tree/c/three.txt").value_or(""))};
        _exit(write(channel[1], figures, sizeof figures) == ssize_t(sizeof figures) ? 0 : 3);
    }
    close(channel[1]);
    long long figures[3] = {-1, -1, -1};
    const ssize_t got = read(channel[0], figures, sizeof figures);
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == ssize_t(sizeof figures));
    EXPECT_EQ((std::vector<long long>(figures, figures + 3)), (std::vector<long long>{3, 2, 1}));
}

TEST(SizeCounter, WhatCannotBeWalkedMeasuresEmpty) {
    TempDir dir;
    writeFileOfSize(dir / "big/huge.bin", 1'000'000);
    makeSymlink(dir / "big", dir / "link");
    EXPECT_EQ(measure(dir / "link"), Measurement{});
    EXPECT_EQ(measure(dir / "missing"), Measurement{});
    EXPECT_EQ(SizeCounter::measure(Url()), Measurement{});
}

TEST(SizeCounter, StopIsNoticedAfterAListingBatchWithTheSumsSoFar) {
    TempDir dir;
    for (int i = 0; i < 5000; ++i)
        writeFile(dir / ("many/f" + std::to_string(i)), "x");
    for (int i = 0; i < 100; ++i)
        writeFile(dir / ("few/f" + std::to_string(i)), "x");
    std::int64_t each = allocated(dir / "many/f0");
    Measurement whole = measure(dir / "many");
    EXPECT_EQ(whole.files, 5000);
    EXPECT_EQ(whole.size, 5000 * each);

    std::stop_source source;
    source.request_stop();
    // Entry 1 is the folder; the 4096th entry ends the walk with the listing batch it came in.
    Measurement partial = measure(dir / "many", source.get_token());
    EXPECT_GE(partial.files, 4095);
    EXPECT_LT(partial.files, 5000);
    EXPECT_EQ(partial.size, partial.files * each);
    EXPECT_EQ(measure(dir / "few", source.get_token()).files, 100); // never asked
}

TEST(SizeCounter, UnreadableFolderContributesNothing) {
    TempDir dir;
    writeFileOfSize(dir / "tree/open/a.bin", 20'000);
    writeFileOfSize(dir / "tree/locked/b.bin", 50'000);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod((dir / "tree/locked").c_str(), 0), 0);

    // Root reads everything, so the walk runs in a child that has given up its rights.
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0))
            _exit(2);
        Measurement m = measure(dir / "tree");
        long long figures[2] = {m.size, m.files};
        _exit(write(channel[1], figures, sizeof figures) == ssize_t(sizeof figures) ? 0 : 3);
    }
    close(channel[1]);
    long long figures[2] = {-1, -1};
    ssize_t got = read(channel[0], figures, sizeof figures);
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    chmod((dir / "tree/locked").c_str(), 0700);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == ssize_t(sizeof figures));
    EXPECT_EQ(figures[0], allocated(dir / "tree/open/a.bin"));
    EXPECT_EQ(figures[1], 1);
}

TEST(VolumeFigures, ComeFromTheFileSystemWithoutRootsReserve) {
    TempDir dir;
    auto info = VolumeInfo::read(Url::fromPath(dir.path()));
    ASSERT_TRUE(info.has_value());
    auto df = numbersOnLine("/usr/bin/df --output=size,avail -B1 '" + dir.path() + "'", 1);
    ASSERT_EQ(df.size(), 2u);
    EXPECT_EQ(info->total, df[0]);
    EXPECT_NEAR(double(info->available), double(df[1]), 64e6); // others write meanwhile
    EXPECT_EQ(info->free, info->available);
    EXPECT_FALSE(info->name.empty());
    EXPECT_FALSE(VolumeInfo::read(Url::fromPath(dir / "missing/deeper")).has_value());

    EXPECT_EQ(VolumeInfo::purgeable(5, 7), 0);
    EXPECT_EQ(VolumeInfo::purgeable(7, 5), 2);
}

// A scan stored in one language names a volume without a label in that language; shown in the
// other, it is worded afresh, and a volume's own label stays as it is.
TEST(VolumeFigures, AStoredNameWithoutALabelIsShownInTheCurrentLanguage) {
    {
        ScopedEnv german("APP_LANG", "de");
        EXPECT_EQ(VolumeInfo::unlabeledName(), "Dieser Computer");
        EXPECT_EQ(VolumeInfo::shownName("This computer"), "Dieser Computer");
        EXPECT_EQ(VolumeInfo::shownName("Dieser Computer"), "Dieser Computer");
        EXPECT_EQ(VolumeInfo::shownName("Macintosh HD"), "Macintosh HD");
    }
    ScopedEnv english("APP_LANG", "en");
    EXPECT_EQ(VolumeInfo::shownName("Dieser Computer"), "This computer");
    EXPECT_EQ(VolumeInfo::shownName("This computer"), "This computer");
    EXPECT_EQ(VolumeInfo::shownName("Data"), "Data");
    EXPECT_EQ(VolumeInfo::shownName("this computer"), "this computer");
    EXPECT_EQ(VolumeInfo::shownName(""), "");
}

TEST(VolumeFigures, LabelIsFoundThroughTheMountTable) {
    TempDir dir;
    writeFile(dir / "dev nodes/sdz1");
    writeFile(dir / "dev nodes/sdy1");
    makeSymlink("../dev nodes/sdz1", dir / "by-label/Backup\\x20Disk");
    makeSymlink("../dev nodes/sdy1", dir / "by-label/Other");
    std::string devices = dir.path() + "/dev\\040nodes";
    writeFile(dir / "mountinfo", "22 1 0:21 / /proc rw - proc proc rw\n"
                                 "36 1 98:0 / /mnt/b\\040d rw shared:1 master:2 - ext4 " +
                                     devices +
                                     "/sdz1 rw\n"
                                     "37 1 98:1 / /mnt/other rw - ext4 " +
                                     devices + "/sdy1 rw\n");
    auto label = [&](dev_t device) { return volumelabel::find(device, dir / "mountinfo", dir / "by-label"); };
    EXPECT_EQ(label(makedev(98, 0)), "Backup Disk");
    EXPECT_EQ(label(makedev(98, 1)), "Other");
    EXPECT_EQ(label(makedev(0, 21)), std::nullopt);
    EXPECT_EQ(label(makedev(98, 5)), std::nullopt);
}

TEST(SizeCounter, StaysOnTheRootsFileSystemAsDuXDoes) {
    TempDir dir;
    writeFileOfSize(dir / "tree/own", 40000);
    makeFolder(dir / "tree/disk");
    makeFolder(dir / "tree/bound");
    writeFileOfSize(dir / "other/big", 300000);
    auto report = withPrivateMounts([&] {
        if (!mountTmpfs(dir / "tree/disk") || !bindMount(dir / "other", dir / "tree/bound"))
            return std::string("mounting failed");
        writeFileOfSize(dir / "tree/disk/huge", 2'000'000);
        const Measurement tree = SizeCounter::measure(Url::fromPath(dir / "tree"));
        const Measurement alone = SizeCounter::measure(Url::fromPath(dir / "tree/disk"));
        std::string problems;
        if (tree.size != allocated(dir / "tree/own") || tree.files != 1)
            problems += "the tree counted " + std::to_string(tree.size) + " bytes in " + std::to_string(tree.files) +
                        " files; ";
        if (alone != Measurement{})
            problems += "a mount point measured as the root counts; ";
        return problems;
    });
    if (!report)
        GTEST_SKIP() << "mounting in a private mount namespace needs root";
    EXPECT_EQ(*report, "");
}

// On overlayfs (a container's root) a file may report the device of the layer it lies in, not
// the folder's: it is still counted, and still removed.
TEST(SizeCounter, FilesOfAnOverlayCountAndGoThoughTheirDeviceDiffers) {
    TempDir dir;
    for (const char* folder : {"lower/tree", "upper", "work", "merged"})
        makeFolder(dir / folder);
    writeFileOfSize(dir / "lower/tree/below", 40000);
    auto report = withPrivateMounts([&] {
        const std::string options =
            "lowerdir=" + dir / "lower" + ",upperdir=" + dir / "upper" + ",workdir=" + dir / "work";
        if (mount("overlay", (dir / "merged").c_str(), "overlay", 0, options.c_str()) != 0)
            return std::string("no overlay");
        writeFileOfSize(dir / "merged/tree/above", 40000);
        std::string problems;
        const Measurement tree = SizeCounter::measure(Url::fromPath(dir / "merged/tree"));
        if (tree.files != 2)
            problems += "counted " + std::to_string(tree.files) + " files of 2; ";
        if (!Fs::removeAll(dir / "merged/tree") || Fs::exists(dir / "merged/tree"))
            problems += "the overlay's folder was not removed; ";
        return problems;
    });
    if (!report)
        GTEST_SKIP() << "mounting in a private mount namespace needs root";
    if (*report == "no overlay")
        GTEST_SKIP() << "this kernel mounts no overlayfs here";
    EXPECT_EQ(*report, "");
}
