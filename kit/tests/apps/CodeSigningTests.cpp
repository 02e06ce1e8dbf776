#include "DovraneKit/apps/CodeSigning.h"
#include "DovraneKit/apps/SigningIdentities.h"
#include "DovraneKit/formats/Plist.h"
#include "DovraneKit/system/FileSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

const std::string developer = "Apple Development: Jane Doe (TEAM123456)";

// A small app with an executable, a framework with the usual version links, and a file whose
// name is not UTF-8.
std::string makeApp(const std::string& path, const std::string& identifier = "com.example.app") {
    PlistDict info{{"CFBundleIdentifier", identifier}, {"CFBundleVersion", "1.0"}};
    writeFile(Path::join(path, "Contents/Info.plist"), Plist::toXml(PlistValue(info)));
    writeFile(Path::join(path, "Contents/MacOS/app"), "#!/bin/sh\nexit 0\n");
    chmod(Path::join(path, "Contents/MacOS/app").c_str(), 0755);
    writeFile(Path::join(path, "Contents/Frameworks/Kit.framework/Versions/A/Kit"), "library");
    makeSymlink("A", Path::join(path, "Contents/Frameworks/Kit.framework/Versions/Current"));
    makeSymlink("Versions/Current/Kit", Path::join(path, "Contents/Frameworks/Kit.framework/Kit"));
    writeFile(Path::join(path, "Contents/Resources/caf\xE9.txt"), "latin-1 name");
    makeFolder(Path::join(path, "Contents/Resources/empty"));
    return path;
}

std::string signedApp(const TempDir& dir, const std::string& name, const std::string& identity) {
    std::string app = makeApp(dir / name);
    auto result = CodeSigning::sign(app, identity);
    EXPECT_TRUE(result) << (result ? "" : result.error().message);
    return app;
}

std::string failureOf(const Expected<SignatureInfo>& result) { return result ? "(verified)" : result.error().message; }

void editRecord(const std::string& app, const std::function<void(nlohmann::json&)>& edit) {
    std::string path = Path::join(app, CodeSigning::recordPath);
    auto record = nlohmann::json::parse(*Fs::readFile(path));
    edit(record);
    writeFile(path, record.dump());
}

} // namespace

TEST(CodeSigningRoundTrip, SignedBundleVerifiesAndNamesItsTrustedTeam) {
    TempHome home;
    TempDir dir;
    ASSERT_TRUE(SigningIdentities::create(developer, "TEAM123456"));
    std::string app = makeApp(dir / "Example.app");

    auto signedInfo = CodeSigning::sign(app, developer);
    ASSERT_TRUE(signedInfo) << signedInfo.error().message;
    EXPECT_FALSE(signedInfo->adHoc);
    EXPECT_EQ(signedInfo->identifier, "com.example.app");
    EXPECT_EQ(signedInfo->team, "TEAM123456");
    EXPECT_EQ(signedInfo->authority, developer);

    auto verified = CodeSigning::verify(app);
    ASSERT_TRUE(verified) << verified.error().message;
    EXPECT_EQ(*verified, *signedInfo);
    EXPECT_EQ(CodeSigning::teamID(app), "TEAM123456");
    EXPECT_TRUE(CodeSigning::assess(app));

    // Signing again replaces the record rather than listing the old one.
    ASSERT_TRUE(CodeSigning::sign(app, developer));
    EXPECT_TRUE(CodeSigning::verify(app));
    EXPECT_EQ(CodeSigning::verify(app)->entryCount, signedInfo->entryCount);
}

TEST(CodeSigningRoundTrip, ReadOnlyCopyStillVerifies) {
    TempHome home;
    TempDir dir;
    ASSERT_TRUE(SigningIdentities::create(developer, "TEAM123456"));
    std::string app = signedApp(dir, "Example.app", developer);
    makeFolder(dir / "copy");
    std::filesystem::copy(app, dir / "copy/Example.app",
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
    // A mounted image is read-only: write bits are not part of the signature.
    chmod((dir / "copy/Example.app/Contents/MacOS/app").c_str(), 0555);
    chmod((dir / "copy/Example.app/Contents/Info.plist").c_str(), 0444);
    chmod((dir / "copy/Example.app/Contents").c_str(), 0555);
    EXPECT_TRUE(CodeSigning::assess(dir / "copy/Example.app"))
        << failureOf(CodeSigning::verify(dir / "copy/Example.app"));
}

TEST(CodeSigningTampering, AnyChangeToTheBundleFailsVerification) {
    TempHome home;
    ASSERT_TRUE(SigningIdentities::create(developer, "TEAM123456"));
    struct Case {
        const char* name;
        std::function<void(const std::string&)> tamper;
        const char* expected; // part of the failure message
    };
    const std::vector<Case> cases = {
        {"same-size content change",
         [](const std::string& app) {
             writeFile(app + "/Contents/Frameworks/Kit.framework/Versions/A/Kit", "LIBRARY");
         },
         "modified"},
        {"longer content",
         [](const std::string& app) { writeFile(app + "/Contents/MacOS/app", "#!/bin/sh\nexit 1\n\n"); }, "modified"},
        {"added file", [](const std::string& app) { writeFile(app + "/Contents/MacOS/helper", "x"); }, "added"},
        {"added empty folder", [](const std::string& app) { makeFolder(app + "/Contents/PlugIns"); }, "added"},
        {"file beside the record",
         [](const std::string& app) { writeFile(app + "/Contents/_CodeSignature/extra", "x"); }, "added"},
        {"removed file", [](const std::string& app) { unlink((app + "/Contents/Resources/caf\xE9.txt").c_str()); },
         "removed"},
        {"removed folder", [](const std::string& app) { Fs::removeAll(app + "/Contents/Resources/empty"); }, "removed"},
        {"executable bit set", [](const std::string& app) { chmod((app + "/Contents/Info.plist").c_str(), 0744); },
         "executable"},
        {"executable bit cleared", [](const std::string& app) { chmod((app + "/Contents/MacOS/app").c_str(), 0644); },
         "executable"},
        {"file replaced by a link",
         [](const std::string& app) {
             unlink((app + "/Contents/MacOS/app").c_str());
             makeSymlink("../Info.plist", app + "/Contents/MacOS/app");
         },
         "replaced"},
        {"link retargeted inside",
         [](const std::string& app) {
             unlink((app + "/Contents/Frameworks/Kit.framework/Versions/Current").c_str());
             makeSymlink(".", app + "/Contents/Frameworks/Kit.framework/Versions/Current");
         },
         "target changed"},
        {"link retargeted outside",
         [](const std::string& app) {
             unlink((app + "/Contents/Frameworks/Kit.framework/Versions/Current").c_str());
             makeSymlink("../../../../..", app + "/Contents/Frameworks/Kit.framework/Versions/Current");
         },
         "leaves the bundle"},
        {"absolute link",
         [](const std::string& app) {
             unlink((app + "/Contents/Frameworks/Kit.framework/Kit").c_str());
             makeSymlink("/usr/lib", app + "/Contents/Frameworks/Kit.framework/Kit");
         },
         "leaves the bundle"},
        {"record's team edited",
         [](const std::string& app) { editRecord(app, [](auto& r) { r["team"] = "OTHERTEAM1"; }); }, "altered"},
        {"record's entry dropped",
         [](const std::string& app) { editRecord(app, [](auto& r) { r["entries"].erase(0); }); }, "altered"},
        {"record turned ad hoc",
         [](const std::string& app) {
             editRecord(app, [](auto& r) {
                 r["adhoc"] = true;
                 r.erase("team");
                 r.erase("publicKey");
                 r.erase("signature");
             });
             writeFile(app + "/Contents/MacOS/app", "evil");
         },
         "modified"},
        {"record is not JSON", [](const std::string& app) { writeFile(app + "/" + CodeSigning::recordPath, "{"); },
         "damaged"},
        {"record removed", [](const std::string& app) { unlink((app + "/" + CodeSigning::recordPath).c_str()); },
         "not signed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::string app = signedApp(dir, "Example.app", developer);
        ASSERT_TRUE(CodeSigning::verify(app));
        c.tamper(app);
        auto verified = CodeSigning::verify(app);
        ASSERT_FALSE(verified);
        EXPECT_NE(verified.error().message.find(c.expected), std::string::npos) << verified.error().message;
        EXPECT_FALSE(CodeSigning::assess(app));
    }
}

TEST(CodeSigningTampering, EditedRecordLosesItsTeam) {
    TempHome home;
    TempDir dir;
    ASSERT_TRUE(SigningIdentities::create(developer, "TEAM123456"));
    ASSERT_TRUE(SigningIdentities::create("Apple Development: Other (OTHERTEAM1)", "OTHERTEAM1"));
    std::string app = signedApp(dir, "Example.app", developer);
    // Claiming another team the store knows does not borrow that team's trust.
    editRecord(app, [](auto& r) { r["team"] = "OTHERTEAM1"; });
    EXPECT_EQ(CodeSigning::teamID(app), std::nullopt);
}

TEST(CodeSigningLinks, LinksThatLeaveTheBundleCannotBeSigned) {
    TempHome home;
    struct Case {
        const char* name;
        std::string target;
        bool leaves;
    };
    const std::vector<Case> cases = {
        {"sibling", "../MacOS/app", false},
        {"climbing back in", "../../Contents/Info.plist", false},
        {"dangling inside", "missing/file", false},
        {"above the bundle", "../../../elsewhere", true},
        {"absolute", "/Applications", true},
        {"through a parent link", "up/../..", true}, // up -> .. (the bundle's Contents)
        {"through an inner link", "top/..", true},   // top -> ../.. (the bundle itself)
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::string app = makeApp(dir / "Example.app");
        makeSymlink("..", app + "/Contents/Resources/up");
        makeSymlink("../..", app + "/Contents/Resources/top");
        makeSymlink(c.target, app + "/Contents/Resources/link");
        auto result = CodeSigning::sign(app, CodeSigning::adHocIdentity);
        EXPECT_EQ(bool(result), !c.leaves) << failureOf(result);
        if (c.leaves) {
            EXPECT_FALSE(Fs::exists(Path::join(app, CodeSigning::recordPath)));
        }
    }

    TempDir dir;
    std::string app = makeApp(dir / "Example.app");
    makeSymlink("loop-b", app + "/Contents/loop-a");
    makeSymlink("loop-a", app + "/Contents/loop-b");
    makeSymlink("loop-a/x", app + "/Contents/through-loop");
    EXPECT_FALSE(CodeSigning::sign(app, CodeSigning::adHocIdentity)) << "a link loop cannot be shown to stay inside";
}

TEST(CodeSigningAdHoc, VerifiesButNamesNoTeamAndIsNotAccepted) {
    TempHome home;
    TempDir dir;
    ASSERT_TRUE(SigningIdentities::create(developer, "TEAM123456"));
    std::string app = signedApp(dir, "Example.app", CodeSigning::adHocIdentity);

    auto verified = CodeSigning::verify(app);
    ASSERT_TRUE(verified) << verified.error().message;
    EXPECT_TRUE(verified->adHoc);
    EXPECT_EQ(verified->team, std::nullopt);
    EXPECT_EQ(verified->identifier, "com.example.app");
    EXPECT_EQ(CodeSigning::teamID(app), std::nullopt);
    EXPECT_FALSE(CodeSigning::assess(app));

    // It still proves the bundle unchanged.
    writeFile(app + "/Contents/MacOS/app", "changed");
    EXPECT_FALSE(CodeSigning::verify(app));

    // An ad-hoc record cannot carry a team.
    std::string other = signedApp(dir, "Other.app", CodeSigning::adHocIdentity);
    editRecord(other, [](auto& r) { r["team"] = "TEAM123456"; });
    EXPECT_FALSE(CodeSigning::verify(other));
    EXPECT_EQ(CodeSigning::teamID(other), std::nullopt);
}

TEST(CodeSigningTrust, TeamOnlyForAKeyTheStoreTrustsForThatTeam) {
    TempDir dir;
    std::string app;
    {
        TempHome signerHome;
        ASSERT_TRUE(SigningIdentities::create(developer, "TEAM123456"));
        app = signedApp(dir, "Example.app", developer);
        EXPECT_EQ(CodeSigning::teamID(app), "TEAM123456");
    }
    // Another user's store does not know the signer, even under the same name and team.
    TempHome otherHome;
    EXPECT_EQ(CodeSigning::teamID(app), std::nullopt);
    ASSERT_TRUE(SigningIdentities::create(developer, "TEAM123456"));
    EXPECT_EQ(CodeSigning::teamID(app), std::nullopt);

    auto verified = CodeSigning::verify(app);
    ASSERT_TRUE(verified) << "an unknown signer's bundle is still intact";
    EXPECT_EQ(verified->team, "TEAM123456");
    auto assessed = CodeSigning::assess(app);
    ASSERT_FALSE(assessed);
    EXPECT_NE(assessed.error().message.find("not trusted"), std::string::npos);

    EXPECT_EQ(CodeSigning::teamID(dir / "Unsigned.app"), std::nullopt);
    EXPECT_EQ(CodeSigning::teamID(makeApp(dir / "Unsigned.app")), std::nullopt);
}

TEST(CodeSigningTrust, SigningNeedsAKnownIdentityAndAnOrdinaryBundle) {
    TempHome home;
    TempDir dir;
    std::string app = makeApp(dir / "Example.app");
    EXPECT_FALSE(CodeSigning::sign(app, developer));
    EXPECT_FALSE(Fs::exists(Path::join(app, CodeSigning::recordPath)));
    EXPECT_FALSE(CodeSigning::sign(dir / "Missing.app", CodeSigning::adHocIdentity));
    writeFile(dir / "file.app", "not a folder");
    EXPECT_FALSE(CodeSigning::sign(dir / "file.app", CodeSigning::adHocIdentity));

    ASSERT_EQ(mkfifo((app + "/Contents/pipe").c_str(), 0600), 0);
    EXPECT_FALSE(CodeSigning::sign(app, CodeSigning::adHocIdentity));
}

TEST(SigningIdentityStore, CreatesPrivateStoreAndRefusesBadInput) {
    TempHome home;
    auto empty = SigningIdentities::load();
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());

    auto first = SigningIdentities::create(developer, "TEAM123456");
    ASSERT_TRUE(first) << first.error().message;
    auto second = SigningIdentities::create("Apple Development: John Roe (TEAM999999)", "TEAM999999");
    ASSERT_TRUE(second);
    EXPECT_EQ(first->fingerprint().size(), 40u);
    EXPECT_NE(first->fingerprint(), second->fingerprint());
    EXPECT_EQ(SigningIdentities::find(developer), *first);
    EXPECT_TRUE(SigningIdentities::trusts(first->publicKey, "TEAM123456"));
    EXPECT_FALSE(SigningIdentities::trusts(first->publicKey, "TEAM999999"));

    auto all = SigningIdentities::load();
    ASSERT_TRUE(all);
    ASSERT_EQ(all->size(), 2u);
    EXPECT_EQ((*all)[0].name, developer);

    struct stat info;
    ASSERT_EQ(stat(SigningIdentities::storePath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(Path::parent(SigningIdentities::storePath()).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(Path::parent(Path::parent(SigningIdentities::storePath())), home / ".local/share/Dovrane");

    EXPECT_FALSE(SigningIdentities::create(developer, "TEAM123456")) << "names are unique";
    EXPECT_FALSE(SigningIdentities::create("Quote \" inside", "TEAM1"));
    EXPECT_FALSE(SigningIdentities::create("Line\nbreak", "TEAM1"));
    EXPECT_FALSE(SigningIdentities::create("Not UTF-8 \xFF", "TEAM1"));
    EXPECT_FALSE(SigningIdentities::create("", "TEAM1"));
    EXPECT_FALSE(SigningIdentities::create("Name", ""));
    EXPECT_FALSE(SigningIdentities::create("Name", "TEAM 1"));
    EXPECT_EQ(SigningIdentities::load()->size(), 2u);
}

TEST(SigningIdentityStore, DamagedStoreIsNeverOverwritten) {
    TempHome home;
    ASSERT_TRUE(SigningIdentities::create(developer, "TEAM123456"));
    std::string path = SigningIdentities::storePath();
    auto text = *Fs::readFile(path);

    auto json = nlohmann::json::parse(text);
    json["identities"][0]["publicKey"] = json["identities"][0]["seed"]; // key no longer matches
    writeFile(path, json.dump());
    EXPECT_FALSE(SigningIdentities::load());
    EXPECT_EQ(SigningIdentities::find(developer), std::nullopt);

    writeFile(path, "{\"format\": 1, \"identities\": [");
    EXPECT_FALSE(SigningIdentities::load());
    EXPECT_FALSE(SigningIdentities::create("Apple Development: New (TEAM2)", "TEAM2"));
    EXPECT_EQ(*Fs::readFile(path), "{\"format\": 1, \"identities\": [");
}
