#include "SelfTest/InstallChecks.h"

#include <DovraneKit/apps/AppInventory.h>
#include <DovraneKit/apps/BundleInfo.h>
#include <DovraneKit/formats/Plist.h>
#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/system/ToolPaths.h>
#include <DovraneKit/trash/FreedesktopTrash.h>
#include <DovraneKit/updates/Archives.h>
#include <DovraneKit/updates/UpdateInstaller.h>

#include <QString>
#include <QtConcurrent/QtConcurrentRun>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#include <sodium.h>

#include <array>
#include <filesystem>
#include <memory>

namespace dovrane::SelfTest {

namespace {

const std::string built = "the signed test apps were built";
const std::string bundleID = "com.marrowdine.dovrane.selftest-update";

std::string base64(const unsigned char* bytes, std::size_t length) {
    std::string text(sodium_base64_ENCODED_LEN(length, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), bytes, length, sodium_base64_VARIANT_ORIGINAL);
    text.resize(text.size() - 1); // the terminating zero
    return text;
}

// An Ed25519 key pair that lives only as long as the run.
struct SigningKey {
    std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> publicKey{};
    std::array<unsigned char, crypto_sign_SECRETKEYBYTES> secretKey{};

    SigningKey() { crypto_sign_keypair(publicKey.data(), secretKey.data()); }
    ~SigningKey() { sodium_memzero(secretKey.data(), secretKey.size()); }

    std::string publicBase64() const { return base64(publicKey.data(), publicKey.size()); }
    std::optional<std::string> sign(std::string_view bytes) const {
        std::array<unsigned char, crypto_sign_BYTES> signature{};
        if (crypto_sign_detached(signature.data(), nullptr, reinterpret_cast<const unsigned char*>(bytes.data()),
                                 bytes.size(), secretKey.data()) != 0)
            return std::nullopt;
        return base64(signature.data(), signature.size());
    }
    // Over the archive file's bytes; absent when it cannot be read.
    std::optional<std::string> signFile(const std::string& path) const {
        const auto bytes = Fs::readFile(path);
        return bytes ? sign(*bytes) : std::nullopt;
    }
};

// Writes a test app under appFolder and signs it with the identity ("-": ad hoc); true when
// it was signed.
bool makeApp(const std::string& version, const std::string& appFolder, const std::string& identity,
             const SigningKey& key, const CommandRunner& runner) {
    Fs::makeDirectories(Path::join(appFolder, "Contents/MacOS"));
    const PlistDict info{{"CFBundleIdentifier", bundleID},     {"CFBundleName", "Selftest Update"},
                         {"CFBundleExecutable", "selftest"},   {"CFBundleShortVersionString", version},
                         {"CFBundleVersion", version},         {"CFBundlePackageType", "APPL"},
                         {"SUPublicEDKey", key.publicBase64()}};
    const std::string xml = Plist::toXml(PlistValue(info));
    if (xml.empty())
        return false;
    Fs::writeFile(Path::join(appFolder, "Contents/Info.plist"), xml);
    (void)Archives::copy("/usr/bin/true", Path::join(appFolder, "Contents/MacOS/selftest"));
    return runner.run(ToolPaths::current().codesign, {"--force", "--sign", identity, appFolder}).has_value();
}

bool archive(const std::string& appFolder, const std::string& zipPath, const CommandRunner& runner) {
    return runner.run(ToolPaths::current().ditto, {"-c", "-k", "--keepParent", appFolder, zipPath}).has_value();
}

std::optional<InstalledApp> readApp(const std::string& home, const std::string& appFolder) {
    const AppInventory inventory(Url::fromPath(home), std::nullopt,
                                 {Url::fromPath("/opt/homebrew/Caskroom"), Url::fromPath("/usr/local/Caskroom")});
    return inventory.read(Url::fromPath(appFolder), {});
}

bool hasVersion(const std::string& appFolder, const std::string& version) {
    const auto info = BundleInfo::read(Url::fromPath(appFolder));
    return info && Plist::string(*info, "CFBundleShortVersionString") == version;
}

UpdateInfo record(const InstalledApp& app, const std::string& currentVersion, const std::string& version,
                  const std::string& archivePath, const SigningKey& key) {
    UpdateInfo info;
    info.bundleID = app.bundleID;
    info.appPath = app.path;
    info.currentVersion = currentVersion;
    info.newVersion = version;
    info.newBuild = version;
    info.source = AppSource::sparkle;
    info.downloadURL = Url::fromPath(archivePath);
    info.edSignature = key.signFile(archivePath);
    info.checkedAt = Date::now();
    return info;
}

// Deletes an old test app from the home Trash: its entry in files/ and its info file. Only
// what lies directly in that files/ folder: nothing outside the Trash is ever deleted.
void deleteFromTrash(const RemovedItem& item, const std::string& home) {
    const std::string path = item.trashPath.path();
    if (Path::parent(path) != FreedesktopTrash::homeTrashFiles(home) || Path::lastComponent(path).empty())
        return;
    if (Fs::removeAll(path))
        Fs::removeAll(FreedesktopTrash::infoPathFor(path));
}

// A stand-in that is not where the install should have put it fails the run by name; it is
// never taken for a missing identity.
std::optional<CheckReport> missingTools() {
    const std::vector<std::string> missing = ToolPaths::current().missingStandIns();
    if (missing.empty())
        return std::nullopt;
    std::string detail = "not found: ";
    for (const std::string& path : missing)
        detail.append(&path == &missing.front() ? "" : ", ").append(path);
    return CheckReport{"the update installer's tools are installed", false, detail};
}

std::vector<CheckReport> runChecks(const std::string& root) {
    if (auto missing = missingTools())
        return {*std::move(missing)};
    std::vector<CheckReport> reports;
    const ProcessRunner runner(120);
    const auto listing = runner.run(ToolPaths::current().security, {"find-identity", "-v", "-p", "codesigning"});
    const std::string identity =
        listing ? developmentIdentity(QString::fromUtf8(listing->data(), qsizetype(listing->size())).toStdString())
                : std::string();
    if (identity.empty())
        return {CheckReport{}};
    if (sodium_init() < 0)
        return {CheckReport{built, false, {}}};

    const std::string home = Fs::homeDirectory();
    const std::string folder = Path::join(root, "updates");
    const std::string installed = Path::join(folder, "Applications/Selftest Update.app");
    const std::string version2 = Path::join(folder, "v2/Selftest Update.app");
    const std::string version3 = Path::join(folder, "v3/Selftest Update.app");
    const std::string archive2 = Path::join(folder, "update-2.zip");
    const std::string archive3 = Path::join(folder, "update-3.zip");

    const SigningKey key;
    std::optional<InstalledApp> app;
    if (!makeApp("1.0", installed, identity, key, runner) || !makeApp("2.0", version2, identity, key, runner) ||
        !makeApp("3.0", version3, "-", key, runner) || !archive(version2, archive2, runner) ||
        !archive(version3, archive3, runner) || !(app = readApp(home, installed)))
        return {CheckReport{built, false, {}}};

    // The archives are local files: the download is a copy. Neither administrator closure
    // asks anyone; the trasher keeps its default one, which answers false.
    const UpdateInstaller installer{
        [](const Url& from, const std::string& toPath, std::uint64_t) -> Expected<std::uint64_t, FetchError> {
            if (auto copied = Archives::copy(from.path(), toPath); !copied)
                return FetchError{FetchErrorDomain::other, NetworkErrorCode::other, 0, copied.error().message};
            std::error_code unknown;
            return std::uint64_t(std::filesystem::file_size(toPath, unknown));
        },
        std::make_shared<ProcessRunner>(300),
        Trasher{DeletionGuard(Url::fromPath(home), {}), Url::fromPath(FreedesktopTrash::homeTrashFiles(home))},
        Url::fromPath(Path::join(folder, "work")), [](const std::string&) { return false; }};

    UpdateInfo wrong = record(*app, app->version, "2.0", archive2, key);
    wrong.edSignature = SigningKey().sign("other");
    const auto refusedSignature = installer.install(wrong, *app).refusal();
    reports.push_back(
        {"an update with a wrong EdDSA signature is refused", refusedSignature == UpdateRefusal::signatureInvalid, {}});

    const UpdateInstaller::Result good = installer.install(record(*app, app->version, "2.0", archive2, key), *app);
    reports.push_back({"a signed update replaces the app", hasVersion(installed, "2.0"), good.text()});
    if (good.isInstalled()) {
        const RemovedItem& previous = std::get<UpdateInstaller::Installed>(good.value).previous;
        reports.push_back({"the previous version is in the Trash", Trasher::isInTrash(previous), {}});
    }
    // The self-test leaves nothing of its own in the Trash.
    if (const auto removed = good.removed())
        deleteFromTrash(*removed, home);

    const std::optional<InstalledApp> updated = readApp(home, installed);
    if (!updated)
        return reports;
    const UpdateInstaller::Result other =
        installer.install(record(*updated, app->version, "3.0", archive3, key), *updated);
    reports.push_back({"an update without the same developer is refused",
                       other.refusal() == UpdateRefusal::otherDeveloper, other.text()});
    reports.push_back({"the refused update leaves the app as it was", hasVersion(installed, "2.0"), {}});
    return reports;
}

} // namespace

std::string developmentIdentity(const std::string& listing) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    const auto pattern = reinterpret_cast<PCRE2_SPTR>("\"(Apple Development: [^\"]+)\"");
    std::unique_ptr<pcre2_code, decltype(&pcre2_code_free)> code(
        pcre2_compile(pattern, PCRE2_ZERO_TERMINATED, PCRE2_UTF, &error, &offset, nullptr), &pcre2_code_free);
    if (!code)
        return {};
    std::unique_ptr<pcre2_match_data, decltype(&pcre2_match_data_free)> match(
        pcre2_match_data_create_from_pattern(code.get(), nullptr), &pcre2_match_data_free);
    if (!match || pcre2_match(code.get(), reinterpret_cast<PCRE2_SPTR>(listing.data()), listing.size(), 0, 0,
                              match.get(), nullptr) < 2)
        return {};
    const PCRE2_SIZE* range = pcre2_get_ovector_pointer(match.get());
    return listing.substr(range[2], range[3] - range[2]);
}

QFuture<std::vector<CheckReport>> updateChecks(const std::string& root) {
    return QtConcurrent::run([root] { return runChecks(root); });
}

} // namespace dovrane::SelfTest
