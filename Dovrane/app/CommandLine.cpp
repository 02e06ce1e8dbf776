#include "CommandLine.h"

#include <QString>
#include <QtGlobal>

#include <DovraneKit/core/TextPieces.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <vector>

namespace dovrane::CommandLine {

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

bool isDeveloperMode(std::string_view argument) {
    return argument == "--selftest" || argument == "--scan-trace" || argument == "--update-trace";
}

// Qt's own platforms that draw on a display server; the others (offscreen, minimal, vnc, eglfs,
// linuxfb, …) need no DISPLAY.
bool needsDisplayServer(std::string_view platform) {
    const std::string_view name = platform.substr(0, platform.find(':'));
    return name.empty() || name == "xcb" || name.starts_with("wayland");
}

void sayNoDisplay(const char* reason) {
    std::fprintf(stderr,
                 "Dovrane needs a display to open its window: %s (Dovrane --help lists what runs without one)\n",
                 reason);
}

QtMessageHandler previousHandler = nullptr;

// A message logged while the platform starts, copied so that it can be passed on afterwards.
struct HeldMessage {
    QtMsgType type;
    std::string file, function, category;
    int line;
    QString text;
};

std::mutex heldLock;
std::vector<HeldMessage> held;

void passOnHeld() {
    std::vector<HeldMessage> messages;
    {
        const std::lock_guard lock(heldLock);
        messages.swap(held);
    }
    for (const HeldMessage& message : messages) {
        const QMessageLogContext context(message.file.empty() ? nullptr : message.file.c_str(), message.line,
                                         message.function.empty() ? nullptr : message.function.c_str(),
                                         message.category.c_str());
        previousHandler(message.type, context, message.text); // Qt's own handler when there was none before
    }
}

// Qt's platform plugin gives up with a fatal message and an abort, after warnings of its own
// ("could not connect to display", "Could not load the Qt platform plugin"): those are held
// back until the platform has started, so a start that cannot reach its display says only
// Dovrane's line, and one that can loses none of Qt's messages.
void holdUntilStarted(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg && message.contains(QLatin1String("platform plugin"))) {
        sayNoDisplay("the one DISPLAY or WAYLAND_DISPLAY names cannot be used");
        std::fflush(stderr);
        std::_Exit(1);
    }
    if (type == QtFatalMsg) {
        passOnHeld();
        previousHandler(type, context, message);
        return;
    }
    const std::lock_guard lock(heldLock);
    held.push_back({type, context.file ? context.file : "", context.function ? context.function : "",
                    context.category ? context.category : "", context.line, message});
}

} // namespace

std::string help() {
    return "usage: Dovrane [--selftest] [--scan-trace] [--update-trace] [APP...]\n"
           "       Dovrane --help | --version\n"
           "\n"
           "Shows what fills your disk and wins space back safely. Apps named here are offered for\n"
           "removal; while Dovrane runs, a new start hands them to the running one.\n"
           "\n"
           "Launch arguments:\n"
           "  APP...          apps to offer for removal, as paths or URLs\n"
           "  --selftest      a headless check of the safe-removal road on a test store, one line\n"
           "                  per check; exits 0 when every check passed, 1 otherwise\n"
           "  --scan-trace    scans the home folder, one line per category with its items, size\n"
           "                  and seconds\n"
           "  --update-trace  checks every installed app for an update, one line per app\n"
           "  -h, --help      prints this help\n"
           "  --version       prints the version\n"
           "\n"
           "Environment:\n"
           "  APP_STORE=FILE            a test store (a file in /tmp) instead of the database; no\n"
           "                            settings are stored and the self-updater is off; needed by\n"
           "                            --selftest, APP_SEED and APP_SNAPSHOT\n"
           "  APP_SEED=1                fills the window with demo data\n"
           "  APP_NO_FDA=1              with demo data, reports Full Disk Access as missing\n"
           "  APP_PAGE=PAGE             the page to open: overview, storage, apps, updates,\n"
           "                            developer or cleaned\n"
           "  APP_SETTINGS=TAB          the Settings tab to open: general, scan or appearance\n"
           "  APP_ACCENT=ID             the accent theme, over the stored choice\n"
           "  APP_GRID=1                draws the 8-point layout grid\n"
           "  APP_LANG=en|de            the language of Dovrane's texts\n"
           "  APP_SNAPSHOT=FOLDER       captures every view into FOLDER, then ends\n"
           "  APP_SNAPSHOT_PAGES=A,B    the views the capture takes, by name\n"
           "  TRACE_PROJECTS=DIR:DIR    project folders for --scan-trace\n"
           "  APP_CASK_INDEX_URL=URL    the Homebrew cask index the update checks read\n"
           "  APP_STORE_LOOKUP_URL=URL  the App Store lookup service the update checks ask\n"
           "  DOVRANE_TOOL_DIR=FOLDER   the folder of Dovrane's tool stand-ins\n"
           "  DISPLAY, WAYLAND_DISPLAY  the display the window opens on (QT_QPA_PLATFORM picks\n"
           "                            Qt's platform)\n";
}

std::optional<int> answer(const std::vector<std::string>& arguments) {
    for (std::size_t index = 1; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (argument == "--help" || argument == "-h") {
            std::fputs(help().c_str(), stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("Dovrane %s\n", DOVRANE_VERSION);
            return 0;
        }
        if (argument.starts_with('-') && !isDeveloperMode(argument)) {
            std::fprintf(stderr, "Dovrane: unknown option '%s' (Dovrane --help lists what it takes)\n",
                         argument.c_str());
            return 2;
        }
    }
    return std::nullopt;
}

bool isDeveloperRun(const std::vector<std::string>& arguments) {
    return isSet("APP_SNAPSHOT") || std::any_of(arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end(),
                                                [](const std::string& argument) { return isDeveloperMode(argument); });
}

std::optional<int> refuseWithoutDisplay() {
    if (isSet("DISPLAY") || isSet("WAYLAND_DISPLAY"))
        return std::nullopt;
    // Qt tries the platforms a list names in turn; one that needs no display server will do.
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    for (std::string_view platform : splitDroppingEmpty(chosen ? chosen : "", ';'))
        if (!needsDisplayServer(platform))
            return std::nullopt;
    sayNoDisplay("neither DISPLAY nor WAYLAND_DISPLAY is set");
    return 1;
}

DisplayGuard::DisplayGuard() { previousHandler = qInstallMessageHandler(holdUntilStarted); }

DisplayGuard::~DisplayGuard() {
    qInstallMessageHandler(previousHandler);
    passOnHeld();
}

} // namespace dovrane::CommandLine
