#include "DovraneKit/scan/Explanations.h"

#include "DovraneKit/core/Language.h"

#include <iterator>

namespace dovrane::Explanations {

namespace {

// In English; the German is in kit/catalogue/de/explanations.txt. Indexed by the category's position.
struct Texts {
    const char* title;
    const char* text;
};

constexpr Texts texts[] = {
    {N_("Apps"),
     N_("Programs in Applications. Remove the ones you no longer use on the Apps page, leftovers included.")},
    {N_("Your files"), N_("Documents, Desktop, Downloads, Pictures, Music, Movies and iCloud Drive files kept on this "
                          "computer. Dovrane only shows them.")},
    {N_("Caches"), N_("Temporary copies apps keep to load faster. Apps rebuild them when needed, so the first start "
                      "afterwards can be slower.")},
    {N_("Logs"), N_("Records apps and the system write for troubleshooting. Nothing needs the old ones.")},
    {N_("Trash"), N_("Files you already deleted. They still take space until the Trash is emptied.")},
    {N_("Old installers"), N_("Disk images, installer packages and archives in Downloads older than two weeks, plus "
                              "macOS installer apps. The app they installed stays.")},
    {N_("Mail attachments"), N_("Copies of attachments you opened in Mail. The original stays in the email.")},
    {N_("Messages attachments"),
     N_("Photos and files from your chats. Manage them in Messages or in System Settings > General > Storage.")},
    {N_("iPhone and iPad backups"),
     N_("Full backups of iPhones and iPads made with Finder. Keep the newest backup of a device you still use.")},
    {N_("Local Time Machine snapshots"),
     N_("Time Machine keeps hourly snapshots on this disk while the backup disk is away. macOS removes them on its own "
        "when space runs low, and does not tell how big they are.")},
    {N_("Xcode"), N_("Build products, archives and device support files from Xcode. Build products come back with the "
                     "next build. Archives are your released builds.")},
    {N_("Simulators"), N_("Simulated iPhones, iPads and Watches with their apps and data. Unavailable ones belong to "
                          "Xcode versions you no longer have.")},
    {N_("Docker disk image"), N_("One file that holds all Docker images and containers. Shrink it in Docker Desktop, "
                                 "never by deleting the file.")},
    {N_("Package caches"),
     N_("Downloads kept by Homebrew, npm, pnpm, Yarn, pip, Cargo and Gradle. They download again when needed.")},
    {N_("Old project folders"), N_("node_modules, .venv, target, .next and build folders in projects you have not "
                                   "changed for a while. The project's tool rebuilds them in minutes.")},
    {N_("System and the rest"), N_("The system itself, other users, swap and space the system does not break down. "
                                   "No app can see inside it.")},
};
static_assert(std::size(texts) == allCategoryIDs.size());

} // namespace

std::string title(CategoryID id) {
    const auto& t = texts[position(id)];
    return L(t.title);
}

std::string text(CategoryID id, bool linuxHome) {
    if (linuxHome && id == CategoryID::personal)
        return L("Documents, Desktop, Downloads, Pictures, Music and Videos files kept on this computer. Dovrane only "
                 "shows them.");
    if (linuxHome && id == CategoryID::installers)
        return L("Disk images, installer packages and archives in Downloads older than two weeks. The app they "
                 "installed stays.");
    const auto& t = texts[position(id)];
    return L(t.text);
}

Safety safety(CategoryID id) {
    switch (id) {
    case CategoryID::apps:
    case CategoryID::personal:
    case CategoryID::messages:
    case CategoryID::docker:
    case CategoryID::other:
        return Safety::keep;
    case CategoryID::iosBackups:
    case CategoryID::snapshots:
    case CategoryID::xcode:
    case CategoryID::simulators:
        return Safety::review;
    case CategoryID::caches:
    case CategoryID::logs:
    case CategoryID::trash:
    case CategoryID::installers:
    case CategoryID::mailDownloads:
    case CategoryID::packageCaches:
    case CategoryID::projects:
        return Safety::safe;
    }
    return Safety::keep;
}

std::string label(Safety safety) {
    switch (safety) {
    case Safety::safe:
        return L("Safe");
    case Safety::review:
        return L("Review");
    case Safety::keep:
        return L("Keep");
    }
    return {};
}

} // namespace dovrane::Explanations
