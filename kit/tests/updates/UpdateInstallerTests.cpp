#include "DovraneKit/updates/UpdateInstaller.h"

#include "DovraneKit/apps/BundleInfo.h"
#include "DovraneKit/apps/CodeSigning.h"
#include "DovraneKit/apps/SigningIdentities.h"
#include "DovraneKit/formats/Plist.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/trash/FreedesktopTrash.h"
#include "DovraneKit/updates/Archives.h"
#include "DovraneKit/updates/DiskImages.h"
#include "core/SodiumSupport.h"
#include "support/ArchiveFixtures.h"
#include "support/LoopbackServer.h"
#include "support/TestSupport.h"
#include "updates/UpdateInstallerInternals.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sodium.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

const std::string developer = "Apple Development: Jane Doe (TEAM123456)";
const std::string stranger = "Apple Development: Max Muster (OTHER98765)";

// An update key as an app names it, and the vendor's signatures of downloads.
struct UpdateKey {
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];

    UpdateKey() {
        if (sodium_init() < 0)
            std::abort();
        crypto_sign_keypair(publicKey, secretKey);
    }
    std::string publicBase64() const {
        return sodium::toBase64({reinterpret_cast<const char*>(publicKey), sizeof publicKey});
    }
    std::string sign(std::string_view bytes) const {
        unsigned char signature[crypto_sign_BYTES];
        crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                             secretKey);
        return sodium::toBase64({reinterpret_cast<const char*>(signature), sizeof signature});
    }
};

struct Call {
    std::string tool;
    std::vector<std::string> args;
};

// Runs the real stand-ins and remembers every call; `perform` lets a test fail or redirect one.
class RecordingRunner final : public CommandRunner {
public:
    using Perform = std::function<std::optional<std::string>(const std::string&, const std::vector<std::string>&)>;

    std::optional<std::string> run(const std::string& tool, const std::vector<std::string>& args,
                                   std::stop_token = {}) const override {
        {
            std::lock_guard lock(mutex_);
            calls_.push_back({tool, args});
        }
        return perform ? perform(tool, args) : real.run(tool, args);
    }
    std::vector<Call> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    ProcessRunner real{300};
    Perform perform;

private:
    mutable std::mutex mutex_;
    mutable std::vector<Call> calls_;
};

const ToolPaths& tools() { return ToolPaths::current(); }

bool isPlacingCopy(const Call& call) { return call.tool == tools().ditto && call.args.size() == 2; }

class UpdateInstallerTest : public ::testing::Test {
protected:
    TempHome home;
    TempDir dir;
    LoopbackServer server;
    UpdateKey key;
    std::shared_ptr<RecordingRunner> runner = std::make_shared<RecordingRunner>();
    std::vector<std::string> adminCommands;
    std::function<bool(const std::string&)> adminAnswer = [](const std::string&) { return false; };
    std::string appPath = dir / "Applications/Example.app";
    std::string work = dir / "work";

    void SetUp() override {
        ASSERT_TRUE(SigningIdentities::create(developer, "TEAM123456"));
        makeApp(appPath, "1.0");
        signApp(appPath, developer);
    }

    // A bundle with an executable, its version as both version keys unless a build is given.
    void makeApp(const std::string& path, const std::string& version, const std::string& identifier = "com.example.app",
                 const std::optional<std::string>& build = std::nullopt, bool namesUpdateKey = true) {
        PlistDict info{{"CFBundleIdentifier", identifier},
                       {"CFBundleShortVersionString", version},
                       {"CFBundleVersion", build.value_or(version)},
                       {"CFBundleExecutable", "example"}};
        if (namesUpdateKey)
            info["SUPublicEDKey"] = key.publicBase64();
        writeFile(Path::join(path, "Contents/Info.plist"), Plist::toXml(PlistValue(info)));
        writeFile(Path::join(path, "Contents/MacOS/example"), "#!/bin/sh\nexit 0\n");
        chmod(Path::join(path, "Contents/MacOS/example").c_str(), 0755);
    }
    static void signApp(const std::string& path, const std::string& identity) {
        auto signedInfo = CodeSigning::sign(path, identity);
        ASSERT_TRUE(signedInfo) << signedInfo.error().message;
    }
    // A signed new version zipped with the app as the top entry.
    std::string zippedUpdate(const std::string& version = "2.0", const std::string& identity = developer) {
        std::string app = dir / ("v" + version + "/Example.app");
        makeApp(app, version);
        if (!identity.empty())
            signApp(app, identity);
        std::string zip = dir / ("update-" + version + ".zip");
        EXPECT_TRUE(Archives::createZip(app, zip));
        return zip;
    }

    InstalledApp installed() const {
        InstalledApp app;
        app.bundleID = "com.example.app";
        app.name = "Example";
        app.version = "1.0";
        app.build = "1.0";
        app.path = Url::fromPath(appPath);
        app.source = AppSource::sparkle;
        app.edKey = key.publicBase64();
        app.size = 4096;
        return app;
    }
    UpdateInfo offer(std::optional<Url> url, std::optional<std::string> signature) const {
        UpdateInfo info;
        info.bundleID = "com.example.app";
        info.appPath = Url::fromPath(appPath);
        info.currentVersion = "1.0";
        info.newVersion = "2.0";
        info.newBuild = "2.0";
        info.source = AppSource::sparkle;
        info.downloadURL = std::move(url);
        info.edSignature = std::move(signature);
        return info;
    }
    // Serves the archive on the loopback server and offers it with the vendor's signature.
    UpdateInfo published(const std::string& archive, const std::string& name) {
        std::string bytes = *Fs::readFile(archive);
        server.route("/" + name, ScriptedResponse(200, bytes));
        return offer(server.url("/" + name), key.sign(bytes));
    }

    UpdateInstaller installer() {
        return UpdateInstaller{UpdateInstaller::urlSessionDownload, runner,
                               Trasher{DeletionGuard(Url::fromPath(home.path())), trashFiles()}, Url::fromPath(work),
                               [this](const std::string& command) {
                                   adminCommands.push_back(command);
                                   return adminAnswer(command);
                               }};
    }
    Url trashFiles() const { return Url::fromPath(FreedesktopTrash::homeTrashFiles(home.path())); }

    static std::string versionAt(const std::string& app) {
        auto info = BundleInfo::read(Url::fromPath(app));
        return info ? Plist::string(*info, "CFBundleShortVersionString").value_or("?") : "(none)";
    }
    bool noPerInstallFolderLeft() const { return Fs::list(work).empty(); }
    bool anyPlacingCopy() const {
        for (const Call& call : runner->calls())
            if (isPlacingCopy(call))
                return true;
        return false;
    }
};

} // namespace

TEST_F(UpdateInstallerTest, SignedZipFromLoopbackReplacesTheAppAndTrashesTheOldOne) {
    UpdateInfo info = published(zippedUpdate(), "downloads/example-2.0.zip");
    UpdateInstaller::Result result = installer().install(info, installed());

    ASSERT_TRUE(result.isInstalled()) << result.text();
    EXPECT_EQ(versionAt(appPath), "2.0");
    EXPECT_TRUE(CodeSigning::assess(appPath)) << "the copy keeps its signature";
    const RemovedItem previous = std::get<UpdateInstaller::Installed>(result.value).previous;
    EXPECT_EQ(previous.originalPath.path(), appPath);
    EXPECT_FALSE(previous.needsAdmin);
    EXPECT_EQ(Path::parent(previous.trashPath.path()), trashFiles().path());
    EXPECT_TRUE(Trasher::isInTrash(previous));
    EXPECT_EQ(versionAt(previous.trashPath.path()), "1.0");
    EXPECT_EQ(result.removed(), previous);
    EXPECT_EQ(server.count("/downloads/example-2.0.zip"), 1u);

    // Unpacked with ditto into the per-install folder, checked, then copied into place last.
    std::vector<Call> calls = runner->calls();
    ASSERT_EQ(calls.size(), 5u);
    const std::string folder = Path::join(work, Path::lastComponent(Path::parent(calls[0].args.back())));
    const std::string newApp = folder + "/unpacked/Example.app";
    EXPECT_EQ(calls[0].args, (std::vector<std::string>{"-x", "-k", folder + "/update.zip", folder + "/unpacked"}));
    EXPECT_EQ(calls[1].args, (std::vector<std::string>{"--verify", "--deep", "--strict", newApp}));
    EXPECT_EQ(calls[2].args, (std::vector<std::string>{"--assess", "--type", "execute", appPath}));
    EXPECT_EQ(calls[3].args, (std::vector<std::string>{"--assess", "--type", "execute", newApp}));
    // Copied beside the old app, never into its place; nothing of the copy's name is left.
    ASSERT_EQ(calls[4].args.size(), 2u);
    EXPECT_EQ(calls[4].args[0], newApp);
    EXPECT_EQ(Path::parent(calls[4].args[1]), Path::parent(appPath));
    EXPECT_NE(calls[4].args[1], appPath);
    EXPECT_EQ(Fs::list(Path::parent(appPath)), std::vector<std::string>{"Example.app"});
    EXPECT_EQ((std::vector<std::string>{calls[0].tool, calls[1].tool, calls[2].tool, calls[3].tool, calls[4].tool}),
              (std::vector<std::string>{tools().ditto, tools().codesign, tools().spctl, tools().spctl, tools().ditto}));
    EXPECT_TRUE(adminCommands.empty());

    // The work folder was made private and holds nothing afterwards.
    struct stat info_;
    ASSERT_EQ(lstat(work.c_str(), &info_), 0);
    EXPECT_EQ(info_.st_mode & 0777, 0700u);
    EXPECT_TRUE(noPerInstallFolderLeft());
}

TEST_F(UpdateInstallerTest, TarArchiveWithAnotherAppNameInstallsWithoutKeyCheckForKeylessApp) {
    std::string app = dir / "v2/Example 2.app";
    makeApp(app, "2.0");
    signApp(app, developer);
    writeTar(dir / "update.tar.gz", tarItemsOf(app, "Example 2.app"), true);
    UpdateInfo info = published(dir / "update.tar.gz", "example.tar.gz");
    info.edSignature.reset();
    InstalledApp keyless = installed();
    keyless.edKey.reset();

    // The bundle on disk decides: while it names an update key, an unsigned download is refused
    // whatever the listing said.
    EXPECT_EQ(installer().install(info, keyless).refusal(), UpdateRefusal::signatureMissing);
    makeApp(appPath, "1.0", "com.example.app", std::nullopt, false);
    signApp(appPath, developer);

    UpdateInstaller::Result result = installer().install(info, keyless);

    ASSERT_TRUE(result.isInstalled()) << result.text();
    EXPECT_EQ(versionAt(appPath), "2.0") << "the only app found is placed at the installed app's path";
    const Call unpack = runner->calls().at(0);
    const std::string folder = Path::parent(unpack.args.at(1));
    EXPECT_EQ(unpack.tool, tools().tar);
    EXPECT_EQ(unpack.args, (std::vector<std::string>{"-xf", folder + "/update.tar.gz", "-C", folder + "/unpacked"}));
    EXPECT_TRUE(noPerInstallFolderLeft());
}

TEST_F(UpdateInstallerTest, DiskImageAppIsCopiedOutTheLinkIgnoredAndTheImageDetached) {
    if (!DiskImages::sevenZip())
        GTEST_SKIP() << "7-Zip is not installed (scripts/install-deps.sh)";
    std::string app = dir / "v2/Example.app";
    makeApp(app, "2.0");
    signApp(app, developer);
    std::vector<TarItem> image{{"Applications", 'l', "/Applications"}};
    for (TarItem& item : tarItemsOf(app, "Example.app"))
        image.push_back(std::move(item));
    writeTar(dir / "Example.dmg", image);

    UpdateInstaller::Result result = installer().install(published(dir / "Example.dmg", "Example.dmg"), installed());

    ASSERT_TRUE(result.isInstalled()) << result.text();
    EXPECT_EQ(versionAt(appPath), "2.0");
    std::vector<Call> calls = runner->calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0].tool, tools().hdiutil);
    ASSERT_EQ(calls[0].args.size(), 7u);
    EXPECT_EQ(Path::lastComponent(calls[0].args[5]), "mount");
    EXPECT_EQ(calls[1].tool, tools().ditto);
    EXPECT_EQ(calls[1].args,
              (std::vector<std::string>{Path::join(calls[0].args[5], "Example.app"),
                                        Path::join(Path::parent(calls[0].args[5]), "unpacked/Example.app")}));
    EXPECT_EQ(calls[2].tool, tools().hdiutil);
    EXPECT_EQ(calls[2].args, (std::vector<std::string>{"detach", calls[0].args[5], "-force"}));
    EXPECT_TRUE(noPerInstallFolderLeft());
}

TEST_F(UpdateInstallerTest, RefusalsBeforeTheDownloadMakeNoRequestAndRunNoTool) {
    std::string zip = zippedUpdate();
    std::string bytes = *Fs::readFile(zip);
    server.route("/Example.PKG", ScriptedResponse(200, bytes));
    int downloads = 0;
    UpdateInstaller counting = installer();
    counting.download = [&](const Url& from, const std::string& to, std::uint64_t maxBytes) {
        ++downloads;
        return UpdateInstaller::urlSessionDownload(from, to, maxBytes);
    };

    EXPECT_EQ(counting.install(offer(std::nullopt, key.sign(bytes)), installed()).refusal(), UpdateRefusal::noDownload);
    EXPECT_FALSE(Fs::exists(work)) << "nothing is created without a download";
    EXPECT_EQ(counting.install(offer(server.url("/Example.PKG"), key.sign(bytes)), installed()).refusal(),
              UpdateRefusal::installerPackage);
    EXPECT_EQ(server.count("/Example.PKG"), 0u);
    // Only the web and local files are fetched.
    EXPECT_EQ(counting.install(offer(Url::parse("ftp://127.0.0.1/update.zip"), key.sign(bytes)), installed()).refusal(),
              UpdateRefusal::downloadFailed);
    EXPECT_EQ(downloads, 0);
    EXPECT_TRUE(runner->calls().empty());
    EXPECT_EQ(versionAt(appPath), "1.0");
}

TEST_F(UpdateInstallerTest, FailedDownloadsAndBadSignaturesStopBeforeUnpacking) {
    std::string zip = zippedUpdate();
    std::string bytes = *Fs::readFile(zip);
    server.route("/update.zip", ScriptedResponse(200, bytes));
    UpdateKey otherKey;
    struct Case {
        const char* name;
        std::optional<Url> url;
        std::optional<std::string> signature;
        UpdateRefusal expected;
    };
    const std::vector<Case> cases = {
        {"404", server.url("/missing.zip"), key.sign(bytes), UpdateRefusal::downloadFailed},
        {"no signature", server.url("/update.zip"), std::nullopt, UpdateRefusal::signatureMissing},
        {"another key's signature", server.url("/update.zip"), otherKey.sign("other"), UpdateRefusal::signatureInvalid},
        {"signature of other bytes", server.url("/update.zip"), key.sign(bytes + "x"), UpdateRefusal::signatureInvalid},
        {"signature with a line break", server.url("/update.zip"), key.sign(bytes) + "\n",
         UpdateRefusal::signatureInvalid},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(installer().install(offer(c.url, c.signature), installed()).refusal(), c.expected) << c.name;
        EXPECT_TRUE(noPerInstallFolderLeft()) << c.name;
    }
    EXPECT_EQ(server.count("/missing.zip"), 1u);
    EXPECT_TRUE(runner->calls().empty());
    EXPECT_EQ(versionAt(appPath), "1.0");

    // A download function that throws, or claims success without a file, is a failed download.
    UpdateInstaller throwing = installer();
    throwing.download = [](const Url&, const std::string&, std::uint64_t) -> Expected<std::uint64_t, FetchError> {
        throw std::runtime_error("gone");
    };
    EXPECT_EQ(throwing.install(offer(server.url("/update.zip"), key.sign(bytes)), installed()).refusal(),
              UpdateRefusal::downloadFailed);
    UpdateInstaller lying = installer();
    lying.download = [](const Url&, const std::string&, std::uint64_t) -> Expected<std::uint64_t, FetchError> {
        return std::uint64_t(1000);
    };
    EXPECT_EQ(lying.install(offer(server.url("/update.zip"), key.sign(bytes)), installed()).refusal(),
              UpdateRefusal::downloadFailed);
    EXPECT_TRUE(noPerInstallFolderLeft());
}

// More bytes than the feed announced are not the download it signed: refused before the
// signature check reads them, whether the server sends them or a download function writes them.
// A feed that announces no length, or 0, leaves the download its usual cap.
TEST_F(UpdateInstallerTest, ADownloadLargerThanAnnouncedIsRefusedBeforeItIsChecked) {
    const std::string bytes = *Fs::readFile(zippedUpdate());
    server.route("/update.zip", ScriptedResponse(200, bytes));
    UpdateInfo info = offer(server.url("/update.zip"), key.sign(bytes));
    info.length = std::int64_t(bytes.size()) - 1;

    EXPECT_EQ(installer().install(info, installed()).refusal(), UpdateRefusal::downloadFailed);
    std::uint64_t allowed = 0;
    UpdateInstaller overfilling = installer();
    overfilling.download = [&](const Url&, const std::string& to,
                               std::uint64_t maxBytes) -> Expected<std::uint64_t, FetchError> {
        allowed = maxBytes;
        writeFile(to, bytes);
        return std::uint64_t(bytes.size());
    };
    EXPECT_EQ(overfilling.install(info, installed()).refusal(), UpdateRefusal::downloadFailed);
    EXPECT_EQ(allowed, bytes.size() - 1);
    EXPECT_TRUE(runner->calls().empty()) << "nothing was unpacked";
    EXPECT_EQ(versionAt(appPath), "1.0");
    EXPECT_TRUE(noPerInstallFolderLeft());

    for (std::int64_t announced : {std::int64_t(bytes.size()), std::int64_t(0)}) {
        makeApp(appPath, "1.0");
        signApp(appPath, developer);
        info.length = announced;
        const UpdateInstaller::Result result = installer().install(info, installed());
        EXPECT_TRUE(result.isInstalled()) << "announced " << announced << ": " << result.text();
    }
}

TEST_F(UpdateInstallerTest, ADownloadSentFromHttpsToHttpIsRefusedAsInsecure) {
    LoopbackServer secure(LoopbackScheme::https);
    const std::string bytes = *Fs::readFile(zippedUpdate());
    server.route("/update.zip", ScriptedResponse(200, bytes));
    secure.route("/update.zip", ScriptedResponse(302, "", {{"Location", server.url("/update.zip").text()}}));
    UpdateInstaller trusting = installer();
    trusting.download = [](const Url& from, const std::string& to, std::uint64_t maxBytes) {
        DownloadOptions options;
        options.maxBytes = maxBytes;
        options.certificateAuthorities = LoopbackServer::certificateFile();
        return Network::download(from, to, options);
    };

    EXPECT_EQ(trusting.install(offer(secure.url("/update.zip"), key.sign(bytes)), installed()).refusal(),
              UpdateRefusal::insecureDownload);
    EXPECT_EQ(server.count("/update.zip"), 0u);
    EXPECT_EQ(versionAt(appPath), "1.0");
    EXPECT_TRUE(noPerInstallFolderLeft());
    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(explanation(UpdateRefusal::insecureDownload),
              "Der Server des Herstellers hat den Download von einer sicheren auf eine unsichere Verbindung "
              "umgeleitet. Dovrane hat ihn nicht installiert.");
}

TEST_F(UpdateInstallerTest, HostileOrAmbiguousArchivesFailToUnpackAndNothingEscapes) {
    makeFolder(dir / "outside");
    std::string elsewhere = dir / "elsewhere/Example.app";
    makeApp(elsewhere, "9.0");
    signApp(elsewhere, developer);
    const std::string plist = Plist::toXml(PlistValue(PlistDict{{"CFBundleIdentifier", "com.example.app"}}));

    writeTar(dir / "dotdot.tar", {{"Example.app", 'd', ""},
                                  {"Example.app/Contents", 'd', ""},
                                  {"Example.app/Contents/Info.plist", 'f', plist},
                                  {"../../../escaped.txt", 'f', "out"}});
    writeTar(dir / "through-link.tar", {{"Example.app", 'd', ""},
                                        {"Example.app/Contents", 'l', dir / "outside"},
                                        {"Example.app/Contents/Info.plist", 'f', plist}});
    // A link named like the app must not bring in an app from somewhere else on the disk.
    writeTar(dir / "app-link.tar", {{"Example.app", 'l', elsewhere}});
    std::string pair = dir / "pair";
    makeApp(pair + "/One.app", "2.0");
    makeApp(pair + "/Two.app", "2.0");
    ASSERT_TRUE(Archives::createZip(pair, dir / "pair.zip"));
    std::string deep = dir / "deep";
    makeApp(deep + "/inner/Example.app", "2.0");
    signApp(deep + "/inner/Example.app", developer);
    ASSERT_TRUE(Archives::createZip(deep, dir / "deep.zip"));
    writeFile(dir / "garbage.zip", "this is no archive");

    for (const char* name : {"dotdot.tar", "through-link.tar", "app-link.tar", "pair.zip", "deep.zip", "garbage.zip"}) {
        UpdateInstaller::Result result = installer().install(published(dir / name, name), installed());
        EXPECT_EQ(result.refusal(), UpdateRefusal::unpackFailed) << name << ": " << result.text();
        EXPECT_TRUE(noPerInstallFolderLeft()) << name;
    }
    EXPECT_FALSE(Fs::exists(dir / "escaped.txt"));
    EXPECT_FALSE(Fs::exists(dir / "work/escaped.txt"));
    EXPECT_TRUE(Fs::list(dir / "outside").empty());
    for (const Call& call : runner->calls())
        EXPECT_TRUE(call.tool == tools().ditto || call.tool == tools().tar)
            << call.tool << " ran after unpacking failed";
    EXPECT_FALSE(anyPlacingCopy());
    EXPECT_EQ(versionAt(appPath), "1.0");
}

TEST_F(UpdateInstallerTest, FindAppPrefersTheInstalledNameTakesASingleOtherAndNeverALink) {
    TempDir tree;
    makeFolder(tree / "a/Example 2.app/Contents");
    Url a = Url::fromPath(tree / "a");
    EXPECT_EQ(UpdateInstallerInternals::findApp(a, "Example.app"), Url::fromPath(tree / "a/Example 2.app"));

    makeFolder(tree / "b/Other.app");
    makeFolder(tree / "b/Sub/Example.app");
    makeFolder(tree / "b/Sub/Deeper/Third.app");
    Url b = Url::fromPath(tree / "b");
    EXPECT_EQ(UpdateInstallerInternals::findApp(b, "Example.app"), Url::fromPath(tree / "b/Sub/Example.app"));
    EXPECT_EQ(UpdateInstallerInternals::findApp(b, "example.app"), std::nullopt) << "names compare exactly; two others";

    makeFolder(tree / "elsewhere/Example.app");
    makeFolder(tree / "c/Real.app");
    makeSymlink(tree / "elsewhere/Example.app", tree / "c/Example.app");
    makeSymlink(tree / "elsewhere", tree / "c/Applications");
    writeFile(tree / "c/Plain.app", "a file, not a bundle");
    EXPECT_EQ(UpdateInstallerInternals::findApp(Url::fromPath(tree / "c"), "Example.app"),
              Url::fromPath(tree / "c/Real.app"));
    EXPECT_EQ(UpdateInstallerInternals::findApp(Url::fromPath(tree / "missing"), "Example.app"), std::nullopt);
}

TEST(UpdateInstallerArchiveType, SuffixTableThenPlainExtensionThenZip) {
    auto type = [](const char* url) { return UpdateInstallerInternals::archiveType(*Url::parse(url)); };
    EXPECT_EQ(type("https://example.com/app-2.1.tar.gz"), "tar.gz");
    EXPECT_EQ(type("https://example.com/App.TAR.BZ2"), "tar.bz2");
    EXPECT_EQ(type("https://example.com/App.DMG?sig=1.pkg"), "dmg") << "the query is not part of the name";
    EXPECT_EQ(type("https://example.com/Setup.PKG"), "pkg");
    EXPECT_EQ(type("https://example.com/app.tgz"), "tgz");
    EXPECT_EQ(type("https://example.com/app.7z"), "7z");
    EXPECT_EQ(type("https://example.com/app.TXZ"), "txz");
    EXPECT_EQ(type("https://example.com/download"), "zip");
    EXPECT_EQ(type("https://example.com/app.t%C3%BCz"), "zip");
    EXPECT_EQ(type("https://example.com/app.a%20b"), "zip");
    EXPECT_EQ(type("https://example.com/app.x_y"), "zip");
    EXPECT_EQ(type("https://example.com/app.%2F..%2F..%2Fevil"), "zip");
    EXPECT_EQ(type("https://example.com/app.tar%2F.."), "zip");
}

TEST_F(UpdateInstallerTest, VerdictRefusalsLeaveTheAppAndStopBeforePlacing) {
    ASSERT_TRUE(SigningIdentities::create(stranger, "OTHER98765"));
    struct Case {
        std::string name;
        std::function<void(const std::string& newApp)> build; // makes and signs the new app
        UpdateRefusal expected;
        std::function<void()> prepare = {}; // changes the installed app first
    };
    const std::vector<Case> cases = {
        {"no Info.plist",
         [&](const std::string& a) {
             makeApp(a, "2.0");
             unlink((a + "/Contents/Info.plist").c_str());
         },
         UpdateRefusal::noApp},
        {"another identifier",
         [&](const std::string& a) {
             makeApp(a, "2.0", "com.example.App");
             signApp(a, developer);
         },
         UpdateRefusal::otherApp},
        {"changed after signing",
         [&](const std::string& a) {
             makeApp(a, "2.0");
             signApp(a, developer);
             writeFile(a + "/Contents/MacOS/example", "#!/bin/sh\nexit 1\n");
         },
         UpdateRefusal::notSigned},
        {"unsigned", [&](const std::string& a) { makeApp(a, "2.0"); }, UpdateRefusal::notSigned},
        {"installed app signed ad hoc",
         [&](const std::string& a) {
             makeApp(a, "2.0");
             signApp(a, developer);
         },
         UpdateRefusal::installedNotSigned, [&] { signApp(appPath, CodeSigning::adHocIdentity); }},
        {"new app signed ad hoc",
         [&](const std::string& a) {
             makeApp(a, "2.0");
             signApp(a, CodeSigning::adHocIdentity);
         },
         UpdateRefusal::otherDeveloper},
        {"another team",
         [&](const std::string& a) {
             makeApp(a, "2.0");
             signApp(a, stranger);
         },
         UpdateRefusal::otherDeveloper},
        {"same build",
         [&](const std::string& a) {
             makeApp(a, "2.0", "com.example.app", "1.0");
             signApp(a, developer);
         },
         UpdateRefusal::notNewer},
    };
    int round = 0;
    for (const Case& c : cases) {
        makeApp(appPath, "1.0");
        signApp(appPath, developer);
        if (c.prepare)
            c.prepare();
        const std::string newApp = dir / ("case" + std::to_string(++round) + "/Example.app");
        c.build(newApp);
        ASSERT_TRUE(Archives::createZip(newApp, newApp + ".zip"));
        const std::size_t before = runner->calls().size();

        UpdateInstaller::Result result =
            installer().install(published(newApp + ".zip", "case" + std::to_string(round) + ".zip"), installed());

        EXPECT_EQ(result.refusal(), c.expected) << c.name << ": " << result.text();
        EXPECT_FALSE(result.removed()) << c.name;
        EXPECT_EQ(versionAt(appPath), "1.0") << c.name;
        EXPECT_TRUE(Fs::list(trashFiles().path()).empty()) << c.name;
        EXPECT_TRUE(noPerInstallFolderLeft()) << c.name;
        // The verdict is the last word: its checks were the last tools run.
        std::vector<Call> calls = runner->calls();
        ASSERT_GT(calls.size(), before) << c.name;
        EXPECT_EQ(calls.back().tool, c.expected == UpdateRefusal::noApp ? tools().ditto : tools().spctl) << c.name;
    }
    EXPECT_FALSE(anyPlacingCopy());
}

TEST_F(UpdateInstallerTest, InstalledSideIsReadFromTheBundleNotFromTheListing) {
    // The app updated itself to 3.0 since it was listed as 1.0: a 2.0 download is older.
    makeApp(appPath, "3.0");
    signApp(appPath, developer);
    UpdateInstaller::Result result = installer().install(published(zippedUpdate("2.0"), "two.zip"), installed());
    EXPECT_EQ(result.refusal(), UpdateRefusal::notNewer) << result.text();
    EXPECT_EQ(versionAt(appPath), "3.0");

    // Another app now sits at the listed path.
    makeApp(appPath, "1.0", "com.example.replacement");
    signApp(appPath, developer);
    result = installer().install(published(dir / "update-2.0.zip", "two.zip"), installed());
    EXPECT_EQ(result.refusal(), UpdateRefusal::otherApp) << result.text();

    // Nothing readable at the listed path: nothing shows the download is the same app.
    Fs::removeAll(appPath);
    makeFolder(appPath);
    result = installer().install(published(dir / "update-2.0.zip", "two.zip"), installed());
    EXPECT_EQ(result.refusal(), UpdateRefusal::otherApp) << result.text();
    EXPECT_FALSE(anyPlacingCopy());
    EXPECT_TRUE(noPerInstallFolderLeft());
}

TEST_F(UpdateInstallerTest, GatekeeperRefusesAnUntrustedSignerWhenTheOldOneIsTrusted) {
    // Gatekeeper's own trust store knows only the installed app's signer; the user's store
    // also holds a second key of the same team, so team and signature both check out.
    const std::string gatekeeperData = dir / "gatekeeper-data";
    writeFile(Path::join(gatekeeperData, "Dovrane/signing/identities.json"),
              *Fs::readFile(SigningIdentities::storePath()));
    const std::string sameTeam = "Apple Development: Jane Doe (second key)";
    ASSERT_TRUE(SigningIdentities::create(sameTeam, "TEAM123456"));
    runner->perform = [&](const std::string& tool, const std::vector<std::string>& args) {
        if (tool != tools().spctl)
            return runner->real.run(tool, args);
        std::vector<std::string> redirected{"XDG_DATA_HOME=" + gatekeeperData, tool};
        redirected.insert(redirected.end(), args.begin(), args.end());
        return runner->real.run("/usr/bin/env", redirected);
    };

    UpdateInstaller::Result result =
        installer().install(published(zippedUpdate("2.0", sameTeam), "u.zip"), installed());

    EXPECT_EQ(result.refusal(), UpdateRefusal::gatekeeper) << result.text();
    EXPECT_EQ(versionAt(appPath), "1.0");
    EXPECT_FALSE(anyPlacingCopy());
    EXPECT_TRUE(noPerInstallFolderLeft());

    // The same signer for both passes this fence.
    result = installer().install(published(zippedUpdate("3.0", developer), "v3.zip"), installed());
    EXPECT_TRUE(result.isInstalled()) << result.text();
}

TEST_F(UpdateInstallerTest, AFailedCopyNeverMovesTheOldAppAndAFailedMovePutsItBack) {
    UpdateInfo info = published(zippedUpdate(), "u.zip");
    runner->perform = [&](const std::string& tool, const std::vector<std::string>& args) -> std::optional<std::string> {
        if (isPlacingCopy({tool, args})) {
            writeFile(args[1] + "/Contents/partial", "half a copy");
            return std::nullopt;
        }
        return runner->real.run(tool, args);
    };
    const auto untouched = [&] {
        EXPECT_EQ(versionAt(appPath), "1.0");
        EXPECT_TRUE(CodeSigning::verify(appPath)) << "the old app is whole, no partial copy mixed in";
        EXPECT_EQ(Fs::list(Path::parent(appPath)), std::vector<std::string>{"Example.app"});
        EXPECT_TRUE(Fs::list(FreedesktopTrash::homeTrash(home.path()) + "/info").empty());
        EXPECT_TRUE(noPerInstallFolderLeft());
    };

    // Plain copy fails and the administrator declines: the old app never left its place.
    UpdateInstaller::Result result = installer().install(info, installed());
    EXPECT_EQ(result.refusal(), UpdateRefusal::replaceFailed) << result.text();
    EXPECT_FALSE(result.removed());
    untouched();
    EXPECT_TRUE(Fs::list(trashFiles().path()).empty());
    ASSERT_EQ(adminCommands.size(), 1u);
    EXPECT_EQ(adminCommands[0].rfind(Trasher::quote(tools().ditto) + " '", 0), 0u) << adminCommands[0];
    const std::string staged = runner->calls().back().args[1];
    EXPECT_TRUE(adminCommands[0].ends_with("' " + Trasher::quote(staged))) << adminCommands[0];
    EXPECT_EQ(Path::parent(staged), Path::parent(appPath));

    // The administrator claims success but nothing arrived.
    adminAnswer = [](const std::string&) { return true; };
    result = installer().install(info, installed());
    EXPECT_EQ(result.refusal(), UpdateRefusal::replaceFailed) << result.text();
    untouched();

    // The new version took the place, but the old one cannot take its name in the Trash: the two
    // are swapped back and the copy goes.
    runner->perform = nullptr;
    UpdateInstaller swapping = installer();
    std::vector<UpdateInstaller::Step> steps;
    swapping.reached = [&](UpdateInstaller::Step step) {
        steps.push_back(step);
        if (step != UpdateInstaller::Step::placed)
            return;
        EXPECT_EQ(versionAt(appPath), "2.0");
        writeFile(Path::join(trashFiles().path(), "Example.app"), "another program's");
    };
    result = swapping.install(info, installed());
    EXPECT_EQ(result.refusal(), UpdateRefusal::replaceFailed) << result.text();
    using Step = UpdateInstaller::Step;
    EXPECT_EQ(steps,
              (std::vector<Step>{Step::downloaded, Step::verified, Step::journaled, Step::copied, Step::placed}));
    untouched();
    EXPECT_EQ(Fs::list(trashFiles().path()), std::vector<std::string>{"Example.app"});
}

TEST_F(UpdateInstallerTest, AdministratorCopyPlacesTheAppWhenThePlainCopyFails) {
    runner->perform = [&](const std::string& tool, const std::vector<std::string>& args) -> std::optional<std::string> {
        if (isPlacingCopy({tool, args}))
            return std::nullopt;
        return runner->real.run(tool, args);
    };
    adminAnswer = [](const std::string& command) {
        int status = std::system((command + " 2>/dev/null").c_str());
        return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };

    UpdateInstaller::Result result = installer().install(published(zippedUpdate(), "u.zip"), installed());

    ASSERT_TRUE(result.isInstalled()) << result.text();
    EXPECT_EQ(adminCommands.size(), 1u);
    EXPECT_EQ(versionAt(appPath), "2.0");
    EXPECT_TRUE(CodeSigning::verify(appPath));
}

TEST_F(UpdateInstallerTest, TrashMoveRefusedLeavesTheAppWhereItIs) {
    appPath = home / ".ssh/Example.app";
    makeApp(appPath, "1.0");
    signApp(appPath, developer);

    UpdateInstaller::Result result = installer().install(published(zippedUpdate(), "u.zip"), installed());

    EXPECT_EQ(result.refusal(), UpdateRefusal::replaceFailed) << result.text();
    EXPECT_FALSE(result.removed());
    EXPECT_EQ(versionAt(appPath), "1.0");
    EXPECT_FALSE(anyPlacingCopy());
    EXPECT_TRUE(adminCommands.empty());
    EXPECT_TRUE(noPerInstallFolderLeft());
}

TEST_F(UpdateInstallerTest, WorkFolderMustBeThisUsersPrivateFolder) {
    UpdateInfo info = published(zippedUpdate(), "u.zip");
    auto refusalWith = [&](const std::string& folder) {
        work = folder;
        return installer().install(info, installed()).refusal();
    };

    makeFolder(dir / "open");
    chmod((dir / "open").c_str(), 0755);
    EXPECT_EQ(refusalWith(dir / "open"), UpdateRefusal::downloadFailed);
    makeFolder(dir / "private");
    chmod((dir / "private").c_str(), 0700);
    makeSymlink(dir / "private", dir / "link");
    EXPECT_EQ(refusalWith(dir / "link"), UpdateRefusal::downloadFailed);
    writeFile(dir / "file", "x");
    EXPECT_EQ(refusalWith(dir / "file"), UpdateRefusal::downloadFailed);
    if (geteuid() == 0) {
        makeFolder(dir / "theirs");
        chmod((dir / "theirs").c_str(), 0700);
        ASSERT_EQ(chown((dir / "theirs").c_str(), 65534, 65534), 0);
        EXPECT_EQ(refusalWith(dir / "theirs"), UpdateRefusal::downloadFailed);
        EXPECT_TRUE(Fs::list(dir / "theirs").empty());
    }
    EXPECT_EQ(server.count("/u.zip"), 0u) << "nothing is downloaded into a folder others control";
    EXPECT_TRUE(runner->calls().empty());

    // A missing one is made private, parents included; the folder itself stays afterwards.
    work = dir / "fresh/nested/work";
    const UpdateInstaller::Result result = installer().install(info, installed());
    EXPECT_TRUE(result.isInstalled()) << result.text();
    struct stat made;
    ASSERT_EQ(lstat(work.c_str(), &made), 0);
    EXPECT_EQ(made.st_mode & 0777, 0700u);
    EXPECT_TRUE(noPerInstallFolderLeft());
}

// What installs killed part-way left in the work folder goes at the next start: only per-install
// folders of ours that no running install holds, never through a link, never another user's.
TEST(UpdateInstallerLeftovers, OnlyInstallFoldersNoRunningInstallHoldsAreRemoved) {
    TempDir dir;
    const std::string work = dir / "work";
    makeFolder(work);
    chmod(work.c_str(), 0700);
    const auto installFolder = [&](bool marked) {
        const std::string folder = Path::join(work, Fs::makeUuid());
        makeFolder(folder);
        if (marked)
            writeFile(folder + "/.dovrane-install", "");
        writeFile(folder + "/unpacked/Example.app/Contents/Info.plist", "plist");
        return folder;
    };
    const std::string killed = installFolder(true), held = installFolder(true), notOurs = work + "/notes";
    const std::string unmarked = Path::join(work, Fs::makeUuid());
    makeFolder(unmarked); // killed before its mark was made
    writeFile(notOurs + "/.dovrane-install", "");
    makeFolder(dir / "elsewhere");
    writeFile(dir / "elsewhere/.dovrane-install", "");
    const std::string linked = Path::join(work, Fs::makeUuid());
    makeSymlink(dir / "elsewhere", linked);
    const int running = open((held + "/.dovrane-install").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(flock(running, LOCK_EX | LOCK_NB), 0);
    std::string theirs;
    if (geteuid() == 0) {
        theirs = installFolder(true);
        ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    }

    // Nothing goes from a work folder others may write in.
    chmod(work.c_str(), 0755);
    UpdateInstaller::removeLeftovers(Url::fromPath(work));
    EXPECT_TRUE(Fs::exists(killed));
    chmod(work.c_str(), 0700);
    UpdateInstaller::removeLeftovers(Url::fromPath(work));
    EXPECT_FALSE(Fs::exists(killed));
    EXPECT_FALSE(Fs::exists(unmarked));
    EXPECT_TRUE(Fs::exists(held + "/unpacked/Example.app/Contents/Info.plist"));
    EXPECT_TRUE(Fs::exists(notOurs + "/.dovrane-install"));
    EXPECT_TRUE(Fs::isSymlink(linked));
    EXPECT_TRUE(Fs::exists(dir / "elsewhere/.dovrane-install"));
    if (!theirs.empty()) {
        EXPECT_TRUE(Fs::exists(theirs + "/unpacked"));
    }
    close(running);
}

TEST(Homebrew, UpgradesOnlyPlainTokensWithTheFirstBrewFound) {
    TempDir dir;
    writeFile(dir / "bin/brew", "#!/bin/sh\nexit 0\n");
    chmod((dir / "bin/brew").c_str(), 0755);
    writeFile(dir / "noexec/brew", "#!/bin/sh\nexit 0\n");
    ToolPaths paths;
    paths.brew = {dir / "missing/brew", dir / "noexec/brew", dir / "bin/brew"};
    RecordingRunner runner;

    EXPECT_EQ(Homebrew::brew(paths), dir / "bin/brew");

    for (const char* token : {"firefox@developer-edition", "c++-tools", "visual-studio-code", "font_fira.code"}) {
        EXPECT_TRUE(Homebrew::upgrade(token, runner, paths)) << token;
        ASSERT_FALSE(runner.calls().empty());
        EXPECT_EQ(runner.calls().back().tool, dir / "bin/brew");
        EXPECT_EQ(runner.calls().back().args, (std::vector<std::string>{"upgrade", "--cask", "--greedy", token}));
    }
    const std::size_t ran = runner.calls().size();
    for (const char* token : {"", "-rf", "--greedy", "fire fox", "a;reboot", "a/b", "it's", "caf\xC3\xA9", "a\nb"})
        EXPECT_FALSE(Homebrew::upgrade(token, runner, paths)) << token;
    EXPECT_EQ(runner.calls().size(), ran) << "an unsafe token runs nothing";

    writeFile(dir / "bin/brew", "#!/bin/sh\nexit 1\n");
    EXPECT_FALSE(Homebrew::upgrade("firefox", runner, paths)) << "a failing upgrade";

    paths.brew = {dir / "missing/brew", dir / "noexec/brew"};
    EXPECT_EQ(Homebrew::brew(paths), std::nullopt);
    const std::size_t before = runner.calls().size();
    EXPECT_FALSE(Homebrew::upgrade("firefox", runner, paths));
    EXPECT_EQ(runner.calls().size(), before);
}
