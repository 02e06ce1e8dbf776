#include "DovraneKit/apps/FlatpakApps.h"

#include "DovraneKit/apps/AppImages.h"
#include "DovraneKit/core/NameOrder.h"
#include "DovraneKit/system/FileSystem.h"

#include "DovraneKit/system/SharedLibrary.h"
#include "system/DlopenNote.h"

#include <flatpak.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>

namespace dovrane::FlatpakApps {

namespace {

// libflatpak's functions, and the few of GLib and GIO that go with them, from the library loaded
// when apps are first listed: it and what it pulls in (GLib's object system and GIO among it)
// would otherwise load with every start of the program.
struct Flatpak {
    decltype(&g_object_unref) object_unref = nullptr;
    decltype(&g_ptr_array_unref) ptr_array_unref = nullptr;
    decltype(&g_error_free) error_free = nullptr;
    decltype(&g_file_new_for_path) file_new_for_path = nullptr;
    decltype(&flatpak_installation_new_for_path) installation_new_for_path = nullptr;
    decltype(&flatpak_get_system_installations) get_system_installations = nullptr;
    decltype(&flatpak_installation_list_installed_refs_by_kind) installation_list_installed_refs_by_kind = nullptr;
    decltype(&flatpak_ref_get_name) ref_get_name = nullptr;
    decltype(&flatpak_installed_ref_get_deploy_dir) installed_ref_get_deploy_dir = nullptr;
    decltype(&flatpak_installed_ref_get_is_current) installed_ref_get_is_current = nullptr;
    decltype(&flatpak_installed_ref_get_appdata_name) installed_ref_get_appdata_name = nullptr;
    decltype(&flatpak_installed_ref_get_appdata_version) installed_ref_get_appdata_version = nullptr;
    decltype(&flatpak_installed_ref_get_installed_size) installed_ref_get_installed_size = nullptr;
};

DOVRANE_DLOPEN_NOTE(flatpakNote, R"([{"feature":"flatpak","description":"The Flatpak apps among the installed apps",)"
                                 R"("priority":"recommended","soname":["libflatpak.so.0"]}])");

Expected<Flatpak> loadFlatpak() {
    static const SharedLibrary library("libflatpak.so.0");
    Flatpak flatpak;
    std::optional<Failure> missing;
    // Found through the library's own dependencies.
    library.bind(flatpak.object_unref, "g_object_unref", missing);
    library.bind(flatpak.ptr_array_unref, "g_ptr_array_unref", missing);
    library.bind(flatpak.error_free, "g_error_free", missing);
    library.bind(flatpak.file_new_for_path, "g_file_new_for_path", missing);
    library.bind(flatpak.installation_new_for_path, "flatpak_installation_new_for_path", missing);
    library.bind(flatpak.get_system_installations, "flatpak_get_system_installations", missing);
    library.bind(flatpak.installation_list_installed_refs_by_kind, "flatpak_installation_list_installed_refs_by_kind",
                 missing);
    library.bind(flatpak.ref_get_name, "flatpak_ref_get_name", missing);
    library.bind(flatpak.installed_ref_get_deploy_dir, "flatpak_installed_ref_get_deploy_dir", missing);
    library.bind(flatpak.installed_ref_get_is_current, "flatpak_installed_ref_get_is_current", missing);
    library.bind(flatpak.installed_ref_get_appdata_name, "flatpak_installed_ref_get_appdata_name", missing);
    library.bind(flatpak.installed_ref_get_appdata_version, "flatpak_installed_ref_get_appdata_version", missing);
    library.bind(flatpak.installed_ref_get_installed_size, "flatpak_installed_ref_get_installed_size", missing);
    if (missing)
        return *missing;
    return flatpak;
}

struct GObjectRelease {
    decltype(&g_object_unref) unref;
    void operator()(gpointer object) const { unref(object); }
};
struct ArrayRelease {
    decltype(&g_ptr_array_unref) unref;
    void operator()(GPtrArray* array) const { unref(array); }
};

// Frees and clears a GLib error, if there is one.
void clearError(const Flatpak& flatpak, GError*& error) {
    if (error)
        flatpak.error_free(error);
    error = nullptr;
}

// AppStream descriptions are small; a larger file is not one.
constexpr std::uint64_t maximumMetainfoSize = 512u << 10;

// The app's own AppStream file inside its deployed folder, for when the installation keeps no
// AppStream data of the app (a repository without it).
AppImages::Metainfo deployedMetainfo(const std::string& deployed, const std::string& id) {
    for (const char* suffix : {".metainfo.xml", ".appdata.xml"})
        for (const char* folder : {"files/share/metainfo/", "files/share/appdata/"})
            if (auto text = Fs::readFile(Path::join(deployed, folder + id + suffix), maximumMetainfoSize))
                return AppImages::metainfo(*text);
    return {};
}

void appendApps(const Flatpak& flatpak, FlatpakInstallation* installation, std::set<std::string>& seen,
                std::vector<InstalledApp>& apps) {
    GError* error = nullptr;
    std::unique_ptr<GPtrArray, ArrayRelease> refs(
        flatpak.installation_list_installed_refs_by_kind(installation, FLATPAK_REF_KIND_APP, nullptr, &error),
        ArrayRelease{flatpak.ptr_array_unref});
    clearError(flatpak, error);
    if (!refs)
        return;
    for (guint i = 0; i < refs->len; ++i) {
        // The array holds installed refs, each also a ref (its GObject parent class).
        const gpointer element = g_ptr_array_index(refs.get(), i);
        auto* ref = static_cast<FlatpakInstalledRef*>(element);
        const char* id = flatpak.ref_get_name(static_cast<FlatpakRef*>(element));
        const char* deployed = flatpak.installed_ref_get_deploy_dir(ref);
        // Only the current branch of each app counts; another branch is the same app.
        if (!id || !deployed || !flatpak.installed_ref_get_is_current(ref) || !seen.insert(deployed).second)
            continue;
        InstalledApp app;
        app.bundleID = id;
        const char* name = flatpak.installed_ref_get_appdata_name(ref);
        const char* version = flatpak.installed_ref_get_appdata_version(ref);
        AppImages::Metainfo own;
        if (!name || !*name || !version || !*version)
            own = deployedMetainfo(deployed, app.bundleID);
        // Flatpak itself names an app without AppStream data by the last word of its ID.
        const std::string lastWord = app.bundleID.substr(app.bundleID.rfind('.') + 1);
        app.name = name && *name ? name : own.name ? *own.name : lastWord;
        app.version = version && *version ? version : own.newestRelease ? *own.newestRelease : "?";
        app.path = Url::fromPath(deployed);
        app.size = std::int64_t(std::min<guint64>(flatpak.installed_ref_get_installed_size(ref), INT64_MAX));
        app.source = AppSource::unknown;
        app.isSystem = true;
        apps.push_back(std::move(app));
    }
}

// The folder a variable of Flatpak's names, else Flatpak's own default.
std::string folderFromEnvironment(const char* name, std::string fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::string(value) : fallback;
}

// Whether any installation may hold an app. Flatpak deploys each app in its installation's
// "app" folder, and installations besides the user's and the system's are configured in
// installations.d. Without either, there is nothing to list and the library, with the dozen
// it pulls in, stays unloaded: every scan lists the Flatpak apps, on most machines none.
bool mayHoldApps(const std::string& userPath) {
    const std::string system = folderFromEnvironment("FLATPAK_SYSTEM_DIR", "/var/lib/flatpak");
    const std::string config = folderFromEnvironment("FLATPAK_CONFIG_DIR", "/etc/flatpak");
    for (const std::string& folder :
         {Path::join(userPath, "app"), Path::join(system, "app"), Path::join(config, "installations.d")})
        if (!Fs::list(folder).empty())
            return true;
    return false;
}

} // namespace

std::vector<InstalledApp> list() {
    std::vector<InstalledApp> apps;
    // Where Flatpak keeps the user's installation, read now: GLib caches the data home for the
    // life of the process, which would pin the first home a process ever looked at.
    const std::string userPath = folderFromEnvironment("FLATPAK_USER_DIR", Path::join(Fs::dataHome(), "flatpak"));
    if (!mayHoldApps(userPath))
        return apps;
    // Without the library there is no Flatpak on this machine to list.
    static const Expected<Flatpak> loaded = loadFlatpak();
    if (!loaded)
        return apps;
    const Flatpak& flatpak = *loaded;
    std::set<std::string> seen;
    GError* error = nullptr;
    if (Fs::isDirectory(userPath)) {
        const GObjectRelease release{flatpak.object_unref};
        std::unique_ptr<GFile, GObjectRelease> folder(flatpak.file_new_for_path(userPath.c_str()), release);
        if (std::unique_ptr<FlatpakInstallation, GObjectRelease> user{
                flatpak.installation_new_for_path(folder.get(), TRUE, nullptr, &error), release})
            appendApps(flatpak, user.get(), seen, apps);
    }
    clearError(flatpak, error);
    if (GPtrArray* systems = flatpak.get_system_installations(nullptr, &error)) {
        std::unique_ptr<GPtrArray, ArrayRelease> owned(systems, ArrayRelease{flatpak.ptr_array_unref});
        for (guint i = 0; i < systems->len; ++i)
            appendApps(flatpak, static_cast<FlatpakInstallation*>(g_ptr_array_index(systems, i)), seen, apps);
    }
    clearError(flatpak, error);
    std::stable_sort(apps.begin(), apps.end(), [order = NameOrder()](const InstalledApp& a, const InstalledApp& b) {
        return order(a.name, b.name);
    });
    return apps;
}

bool isFlatpak(const InstalledApp& app) {
    return app.isSystem && app.path.path().find("/flatpak/app/") != std::string::npos;
}

} // namespace dovrane::FlatpakApps
