#include "DovraneKit/apps/AppImages.h"
#include "DovraneKit/apps/AppInventory.h"
#include "DovraneKit/system/FileSystem.h"

#include "support/AppFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

const std::string desktopEntry = "[Desktop Entry]\nType=Application\nName=Tool Maker\nName[de]=Werkzeugmacher\n"
                                 "Exec=toolmaker %F\nIcon=toolmaker\nX-AppImage-Version=0.9\n"
                                 "[Desktop Action New]\nName=Other\n";
const std::string metainfo = R"(<?xml version="1.0"?>
<component type="desktop-application">
  <id>org.example.ToolMaker</id>
  <name>Tool Maker</name>
  <releases>
    <release version="1.10.0" date="2024-05-01"/>
    <release version="1.9.2" date="2024-01-01"/>
    <release version="1.2" date="2023-01-01"><description><p>old</p></description></release>
  </releases>
</component>
)";

// The first bytes of a 64-bit ELF program marked as a type-2 AppImage.
const std::string typeTwoHeader("\x7F"
                                "ELF\x02\x01\x01\x00"
                                "AI\x02\x00\x00\x00\x00\x00",
                                16);

class AppImagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!mksquashfs())
            GTEST_SKIP() << "mksquashfs (squashfs-tools) is not installed, so no AppImage can be built";
    }
    TempHome home;
};

} // namespace

TEST(AppImageNames, NameAndVersionComeFromTheFileNameWhenThePayloadSaysNothing) {
    EXPECT_TRUE(AppImages::hasAppImageName("Tool.appimage"));
    EXPECT_TRUE(AppImages::hasAppImageName("Tool.AppImage"));
    EXPECT_FALSE(AppImages::hasAppImageName(".AppImage"));
    EXPECT_FALSE(AppImages::hasAppImageName("Tool.AppImage.zsync"));

    auto parts = AppImages::fileNameParts("Krita-5.2.2-x86_64.AppImage");
    EXPECT_EQ(parts.name, "Krita");
    EXPECT_EQ(parts.version, "5.2.2");
    parts = AppImages::fileNameParts("Some_App-v1.4-x86_64.AppImage");
    EXPECT_EQ(parts.name, "Some_App");
    EXPECT_EQ(parts.version, "1.4");
    // An architecture is no version; a name that starts with a digit keeps it.
    parts = AppImages::fileNameParts("Tool-x86_64.AppImage");
    EXPECT_EQ(parts.name, "Tool-x86_64");
    EXPECT_EQ(parts.version, std::nullopt);
    parts = AppImages::fileNameParts("-1.0.AppImage");
    EXPECT_EQ(parts.name, "-1.0");
}

TEST(AppImageMetainfo, TheNewestReleaseWinsWhateverItsPlaceAndEntitiesEndTheRead) {
    auto info = AppImages::metainfo(metainfo);
    EXPECT_EQ(info.id, "org.example.ToolMaker");
    EXPECT_EQ(info.newestRelease, "1.10.0");

    info = AppImages::metainfo("<component><releases><release version=\"2\"/><release version=\"3.1\"/>"
                               "</releases><id> org.example.A </id></component>");
    EXPECT_EQ(info.id, "org.example.A");
    EXPECT_EQ(info.newestRelease, "3.1");

    // An id nested deeper (a provided or required component) is not the app's.
    info = AppImages::metainfo("<component><provides><id>org.other</id></provides></component>");
    EXPECT_EQ(info.id, std::nullopt);

    info = AppImages::metainfo("<!DOCTYPE c [<!ENTITY a \"x\">]><component><id>&a;</id></component>");
    EXPECT_EQ(info.id, std::nullopt);
    EXPECT_EQ(AppImages::metainfo("not xml").id, std::nullopt);
}

TEST_F(AppImagesTest, TheEmbeddedDescriptionsNameTheApp) {
    const std::string path = home / "Applications/ToolMaker-1.0-x86_64.AppImage";
    ASSERT_TRUE(writeAppImage(path, {{"toolmaker.desktop", desktopEntry},
                                     {"toolmaker.png", "PNG"},
                                     {"AppRun", "#!/bin/sh\n"},
                                     {"usr/share/metainfo/org.example.ToolMaker.appdata.xml", metainfo}}));
    const InstalledApp app = AppImages::read(Url::fromPath(path));
    EXPECT_EQ(app.name, "Tool Maker");
    EXPECT_EQ(app.bundleID, "org.example.ToolMaker");
    EXPECT_EQ(app.version, "1.10.0");
    EXPECT_EQ(app.source, AppSource::unknown);
    EXPECT_FALSE(app.isSystem);
    EXPECT_EQ(app.path.path(), path);
}

TEST_F(AppImagesTest, WithoutMetainfoTheDesktopEntryAndTheFileNameFillIn) {
    const std::string withVersionKey = home / "Applications/a.AppImage";
    ASSERT_TRUE(writeAppImage(withVersionKey, {{"org.example.Tool.desktop", desktopEntry}}));
    InstalledApp app = AppImages::read(Url::fromPath(withVersionKey));
    EXPECT_EQ(app.bundleID, "org.example.Tool");
    EXPECT_EQ(app.version, "0.9");

    const std::string bare = home / "Applications/Bare-2.3.AppImage";
    ASSERT_TRUE(writeAppImage(bare, {{"bare.desktop", "[Desktop Entry]\nName=\n"}}));
    app = AppImages::read(Url::fromPath(bare));
    EXPECT_EQ(app.name, "Bare");
    EXPECT_EQ(app.bundleID, "bare");
    EXPECT_EQ(app.version, "2.3");
}

TEST_F(AppImagesTest, DamagedFilesAreAppsNamedAfterTheirFileWithNoVersion) {
    const std::string good = home / "good.AppImage";
    ASSERT_TRUE(writeAppImage(good, {{"toolmaker.desktop", desktopEntry}}));
    const std::string bytes = *Fs::readFile(good);

    struct Case {
        const char* file;
        std::string contents;
    };
    std::string wrongMagic = bytes;
    wrongMagic[10] = '\x07';
    // The SquashFS superblock follows the ELF part, which is the program the fixture copied.
    const std::size_t payloadStart = Fs::readFile("/bin/true")->size();
    std::string garbledPayload = bytes;
    garbledPayload.replace(payloadStart, 96, std::string(96, '\xff'));
    const Case cases[] = {
        {"Truncated-1.0.AppImage", bytes.substr(0, bytes.size() / 2)},
        {"Header-1.0.AppImage", bytes.substr(0, 9)},
        {"Magic-1.0.AppImage", wrongMagic},
        {"Garbled-1.0.AppImage", garbledPayload},
        {"Empty-1.0.AppImage", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = home / c.file;
        writeFile(path, c.contents);
        const InstalledApp app = AppImages::read(Url::fromPath(path));
        EXPECT_EQ(app.name, AppImages::fileNameParts(c.file).name);
        EXPECT_TRUE(app.bundleID.empty() || app.bundleID == "toolmaker");
        if (app.bundleID.empty()) {
            EXPECT_EQ(app.version, "?");
        }
    }
}

TEST_F(AppImagesTest, AnOversizedDescriptionIsNotRead) {
    const std::string path = home / "Big-3.0.AppImage";
    ASSERT_TRUE(writeAppImage(path, {{"big.desktop", "[Desktop Entry]\nName=Big\n" + std::string(2 << 20, '#')}}));
    const InstalledApp app = AppImages::read(Url::fromPath(path));
    EXPECT_EQ(app.name, "Big");
    EXPECT_EQ(app.version, "3.0");
}

TEST_F(AppImagesTest, TheInventoryListsAppImagesBesideBundlesOnceEach) {
    ASSERT_TRUE(writeAppImage(home / "Applications/ToolMaker.AppImage", {{"toolmaker.desktop", desktopEntry}}));
    writeFile(home / ".local/bin/script.sh", "#!/bin/sh\n");
    makeFolder(home / ".local/bin/Folder.AppImage");
    makeSymlink(home / "Applications/ToolMaker.AppImage", home / ".local/bin/toolmaker.appimage");
    // A damaged AppImage is still one; a file with no more than the name is not.
    writeFile(home / ".local/bin/Other-2.0.APPIMAGE", typeTwoHeader + "a payload no reader takes");
    writeFile(home / ".local/bin/Random.AppImage", "\x13\x9c\xe0 random bytes, no program");

    const AppInventory inventory(Url::fromPath(home.path()), std::nullopt, {});
    std::vector<std::string> listed;
    for (const InstalledApp& app : inventory.list())
        listed.push_back(app.name + " " + app.version + " " + app.path.lastPathComponent());
    EXPECT_EQ(listed, (std::vector<std::string>{"Other ? Other-2.0.APPIMAGE", "Tool Maker 0.9 ToolMaker.AppImage"}));

    auto single = inventory.read(Url::fromPath(home / "Applications/ToolMaker.AppImage"), {});
    ASSERT_TRUE(single);
    EXPECT_EQ(single->name, "Tool Maker");
    EXPECT_FALSE(inventory.read(Url::fromPath(home / ".local/bin/Folder.AppImage"), {}));
    EXPECT_FALSE(inventory.read(Url::fromPath(home / ".local/bin/Random.AppImage"), {}));
}

TEST(AppImageHeaders, OnlyAnElfProgramMarkedAsTypeTwoIsAnAppImage) {
    TempHome home;
    std::string typeOne = typeTwoHeader;
    typeOne[10] = '\x01';
    std::string notElf = typeTwoHeader;
    notElf[1] = 'X';
    const std::pair<const char*, std::string> notAppImages[] = {
        {"Empty.AppImage", ""},
        {"Random.AppImage", "\x89PNG\r\n\x1a\n and then some more bytes"},
        {"Short.AppImage", typeTwoHeader.substr(0, 10)},
        {"TypeOne.AppImage", typeOne},
        {"NotElf.AppImage", notElf},
        {"Program.AppImage", *Fs::readFile("/bin/true")},
    };
    for (const auto& [file, contents] : notAppImages) {
        SCOPED_TRACE(file);
        writeFile(home / file, contents);
        EXPECT_FALSE(AppImages::isAppImage(home / file));
    }
    writeFile(home / "Bare.AppImage", typeTwoHeader);
    EXPECT_TRUE(AppImages::isAppImage(home / "Bare.AppImage"));
    makeFolder(home / "Folder.AppImage");
    EXPECT_FALSE(AppImages::isAppImage(home / "Folder.AppImage"));
    EXPECT_FALSE(AppImages::isAppImage(home / "Missing.AppImage"));
}

TEST_F(AppImagesTest, TheIconIsTheDirIconElseTheOneTheDesktopEntryNames) {
    const std::string linked = home / "Linked.AppImage";
    ASSERT_TRUE(writeAppImage(linked, {{"tool.desktop", "[Desktop Entry]\nName=Tool\nIcon=tool\n"},
                                       {"usr/share/icons/tool.png", "PNG bytes"},
                                       {"tool.png", "other"}}));
    // mksquashfs keeps links as links: point .DirIcon into the tree by rebuilding with one.
    TempDir root;
    writeFile(root / "tool.desktop", "[Desktop Entry]\nName=Tool\nIcon=tool\n");
    writeFile(root / "usr/share/icons/tool.png", "PNG bytes");
    makeSymlink("usr/share/icons/tool.png", root / ".DirIcon");
    const std::string withLink = home / "WithLink.AppImage";
    ASSERT_TRUE(writeAppImageFrom(withLink, root.path()));
    EXPECT_EQ(AppImages::icon(withLink), "PNG bytes");

    EXPECT_EQ(AppImages::icon(linked), "other"); // no .DirIcon: the entry's Icon with ".png"

    const std::string none = home / "None.AppImage";
    ASSERT_TRUE(writeAppImage(none, {{"tool.desktop", "[Desktop Entry]\nName=Tool\n"}, {"tool.png", "x"}}));
    EXPECT_EQ(AppImages::icon(none), std::nullopt);
    writeFile(home / "Broken.AppImage", "\x7F"
                                        "ELF");
    EXPECT_EQ(AppImages::icon(home / "Broken.AppImage"), std::nullopt);
}

// The peak of this process's resident memory while run() runs, or nothing where the kernel
// does not let the peak be reset.
std::optional<std::int64_t> peakGrowth(const std::function<void()>& run) {
    const auto resident = [](const char* field) -> std::optional<std::int64_t> {
        const auto status = Fs::readFile("/proc/self/status");
        const auto at = status ? status->find(field) : std::string::npos;
        if (at == std::string::npos)
            return std::nullopt;
        return std::int64_t(std::stoll(status->substr(at + std::strlen(field)))) * 1024;
    };
    {
        std::ofstream reset("/proc/self/clear_refs");
        if (!(reset << "5" << std::flush))
            return std::nullopt;
    }
    const auto before = resident("VmRSS:");
    run();
    const auto peak = resident("VmHWM:");
    if (!before || !peak)
        return std::nullopt;
    return *peak - *before;
}

// A payload can hold any number of pictures and desktop entries, each within its limit: a read
// holds one desktop entry, one metainfo file and at most the named icon, never all of them.
TEST_F(AppImagesTest, AReadHoldsOnlyTheFilesItUses) {
    TempDir root;
    writeFile(root / "tool.desktop", "[Desktop Entry]\nName=Tool\nIcon=tool\n");
    writeFile(root / "tool.png", "the icon");
    for (int index = 0; index < 24; ++index) {
        writeFileOfSize(root / ("a-picture" + std::to_string(index) + ".png"), AppImages::maximumIconSize);
        writeFileOfSize(root / ("a-picture" + std::to_string(index) + ".svg"), AppImages::maximumIconSize);
    }
    for (int index = 0; index < 128; ++index)
        writeFileOfSize(root / ("zz-more-" + std::to_string(index) + ".desktop"), 500 << 10);
    const std::string crowded = home / "Crowded.AppImage";
    ASSERT_TRUE(writeAppImageFrom(crowded, root.path()));

    // The smaller read first: memory the larger one freed could hide its growth.
    std::optional<AppImages::Payload> payload;
    const auto payloadPeak = peakGrowth([&] { payload = AppImages::payload(crowded); });
    ASSERT_TRUE(payload);
    EXPECT_EQ(payload->desktopFileName, "tool.desktop");
    std::optional<std::string> icon;
    const auto iconPeak = peakGrowth([&] { icon = AppImages::icon(crowded); });
    EXPECT_EQ(icon, "the icon");
    if (!iconPeak || !payloadPeak)
        GTEST_SKIP() << "the kernel does not let the peak of resident memory be reset";
    // 192 MiB of pictures and 64 MiB of desktop entries lie in the payload.
    EXPECT_LT(*iconPeak, 32 << 20);
    EXPECT_LT(*payloadPeak, 32 << 20);
}

// A payload whose tables send the SquashFS library past the end of its block (found by the
// fuzzer, which AddressSanitizer stops at the read): it is read in a child process, which
// that ends, and the AppImage is then one without a payload, with no icon.
TEST_F(AppImagesTest, ACraftedPayloadEndsOnlyTheChildThatReadsIt) {
    const auto crafted = Fs::readFile(std::string(DOVRANE_KIT_DIR) +
                                      "/../fuzz/regressions/AppImageFuzzer/squashfs-inode-read-past-its-block");
    ASSERT_TRUE(crafted);
    writeFile(home / "Applications/Crafted-2.0.AppImage", *crafted);
    const InstalledApp app = AppImages::read(Url::fromPath(home / "Applications/Crafted-2.0.AppImage"));
    EXPECT_EQ(app.name, "Crafted");
    EXPECT_EQ(app.version, "?");
    EXPECT_EQ(app.bundleID, "");
    EXPECT_EQ(AppImages::icon(home / "Applications/Crafted-2.0.AppImage"), std::nullopt);
    // And the next AppImage reads as ever.
    ASSERT_TRUE(writeAppImage(home / "Applications/Good.AppImage",
                              {{"good.desktop", "[Desktop Entry]\nName=Good\nIcon=good\n"}, {".DirIcon", "icon"}}));
    EXPECT_EQ(AppImages::read(Url::fromPath(home / "Applications/Good.AppImage")).name, "Good");
    EXPECT_EQ(AppImages::icon(home / "Applications/Good.AppImage"), "icon");
}

// The reading child is forked while other threads allocate, as the scan's collectors do. A child
// that inherits a lock one of them held at the fork never gets it: the read ends at its deadline
// with nothing read.
TEST_F(AppImagesTest, AReadWhileOtherThreadsAllocateReadsThePayload) {
    const std::string path = home / "Applications/ToolMaker.AppImage";
    ASSERT_TRUE(writeAppImage(path, {{"toolmaker.desktop", desktopEntry}}));
    std::atomic<bool> done = false;
    {
        std::vector<std::jthread> allocators;
        for (int thread = 0; thread < 8; ++thread)
            allocators.emplace_back([&done] {
                // Through a volatile pointer, so that no allocation is left out as unused.
                void* (*volatile allocate)(std::size_t) = std::malloc;
                std::vector<void*> held;
                // Enough blocks of each size that the allocator's stores, not a thread's own cache, hand them out.
                while (!done) {
                    for (std::size_t size = 16; size <= 8192; size += 24)
                        for (int block = 0; block < 16; ++block)
                            held.push_back(allocate(size));
                    for (void* block : held)
                        std::free(block);
                    held.clear();
                }
            });
        for (int read = 0; read < 40 && !::testing::Test::HasFailure(); ++read)
            EXPECT_EQ(AppImages::read(Url::fromPath(path)).version, "0.9") << "read " << read;
        done = true;
    }
}
