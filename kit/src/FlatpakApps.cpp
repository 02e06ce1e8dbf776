#include "DovraneKit/FlatpakApps.h"

#include "DovraneKit/AppImages.h"
#include "DovraneKit/FileSystem.h"
#include "DovraneKit/NameOrder.h"

#include <flatpak.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>

namespace dovrane::FlatpakApps {

namespace {

struct GObjectRelease {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct ArrayRelease {
    void operator()(GPtrArray* array) const { g_ptr_array_unref(array); }
};

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

void appendApps(FlatpakInstallation* installation, std::set<std::string>& seen, std::vector<InstalledApp>& apps) {
    GError* error = nullptr;
    std::unique_ptr<GPtrArray, ArrayRelease> refs(
        flatpak_installation_list_installed_refs_by_kind(installation, FLATPAK_REF_KIND_APP, nullptr, &error));
    if (error)
        g_error_free(error);
    if (!refs)
        return;
    for (guint i = 0; i < refs->len; ++i) {
        auto* ref = FLATPAK_INSTALLED_REF(g_ptr_array_index(refs.get(), i));
        const char* id = flatpak_ref_get_name(FLATPAK_REF(ref));
        const char* deployed = flatpak_installed_ref_get_deploy_dir(ref);
        // Only the current branch of each app counts; another branch is the same app.
        if (!id || !deployed || !flatpak_installed_ref_get_is_current(ref) || !seen.insert(deployed).second)
            continue;
        InstalledApp app;
        app.bundleID = id;
        const char* name = flatpak_installed_ref_get_appdata_name(ref);
        const char* version = flatpak_installed_ref_get_appdata_version(ref);
        AppImages::Metainfo own;
        if (!name || !*name || !version || !*version)
            own = deployedMetainfo(deployed, app.bundleID);
        // Flatpak itself names an app without AppStream data by the last word of its ID.
        const std::string lastWord = app.bundleID.substr(app.bundleID.rfind('.') + 1);
        app.name = name && *name ? name : own.name ? *own.name : lastWord;
        app.version = version && *version ? version : own.newestRelease ? *own.newestRelease : "?";
        app.path = Url::fromPath(deployed);
        app.size = std::int64_t(std::min<guint64>(flatpak_installed_ref_get_installed_size(ref), INT64_MAX));
        app.source = AppSource::unknown;
        app.isSystem = true;
        apps.push_back(std::move(app));
    }
}

} // namespace

std::vector<InstalledApp> list() {
    std::vector<InstalledApp> apps;
    std::set<std::string> seen;
    GError* error = nullptr;
    // Where Flatpak keeps the user's installation, read now: GLib caches the data home for the
    // life of the process, which would pin the first home a process ever looked at.
    const char* userDir = std::getenv("FLATPAK_USER_DIR");
    const std::string userPath = userDir && *userDir ? userDir : Path::join(Fs::dataHome(), "flatpak");
    if (Fs::isDirectory(userPath)) {
        std::unique_ptr<GFile, GObjectRelease> folder(g_file_new_for_path(userPath.c_str()));
        if (std::unique_ptr<FlatpakInstallation, GObjectRelease> user{
                flatpak_installation_new_for_path(folder.get(), TRUE, nullptr, &error)})
            appendApps(user.get(), seen, apps);
    }
    if (error)
        g_clear_error(&error);
    if (GPtrArray* systems = flatpak_get_system_installations(nullptr, &error)) {
        std::unique_ptr<GPtrArray, ArrayRelease> owned(systems);
        for (guint i = 0; i < systems->len; ++i)
            appendApps(FLATPAK_INSTALLATION(g_ptr_array_index(systems, i)), seen, apps);
    }
    if (error)
        g_clear_error(&error);
    std::stable_sort(apps.begin(), apps.end(), [order = NameOrder()](const InstalledApp& a, const InstalledApp& b) {
        return order(a.name, b.name);
    });
    return apps;
}

bool isFlatpak(const InstalledApp& app) {
    return app.isSystem && app.path.path().find("/flatpak/app/") != std::string::npos;
}

} // namespace dovrane::FlatpakApps
