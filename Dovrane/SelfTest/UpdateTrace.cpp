#include "SelfTest/UpdateTrace.h"

#include "SelfTest/Traces.h"

#include "DovraneKit/AppInventory.h"
#include "DovraneKit/Concurrently.h"
#include "DovraneKit/FileSystem.h"
#include "DovraneKit/Network.h"
#include "DovraneKit/UpdateChecker.h"

#include <unicode/locid.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace dovrane::SelfTest {

namespace {

// Feeds gate their items by a minimum macOS version, and Linux has none to offer. The trace
// claims this one, recent enough that current feeds offer their newest builds to it.
constexpr OperatingSystemVersion assumedSystemVersion{15, 0, 0};

#ifndef DOVRANE_VERSION
#define DOVRANE_VERSION "1.0"
#endif

std::string userAgent() { return std::string("Dovrane/") + DOVRANE_VERSION; }

// The region of ICU's default locale (taken from the POSIX locale variables), else "US".
std::string country() {
    const char* region = icu::Locale::getDefault().getCountry();
    return region && *region ? std::string(region) : "US";
}

// Tests and CI point the checker at a loopback server instead of the public services.
Url serviceFromEnvironment(const char* name, Url fallback) {
    const char* value = std::getenv(name);
    if (value && *value)
        if (auto url = Url::parse(value); url && url->isHttp())
            return *url;
    return fallback;
}

std::string status(const InstalledApp& app, const std::map<std::string, UpdateCheck>& results) {
    auto found = results.find(app.id());
    if (found == results.end())
        return "skipped (system)";
    const UpdateCheck& result = found->second;
    switch (result.kind()) {
    case UpdateCheck::Kind::available: {
        UpdateInfo info = *result.update();
        return "UPDATE " + app.version + " -> " + info.newVersion + (info.edSignature ? " signed" : "");
    }
    case UpdateCheck::Kind::failed:
        return "FAILED " + result.message();
    case UpdateCheck::Kind::unsupported:
        return "unsupported";
    case UpdateCheck::Kind::upToDate:
        break;
    }
    return "current " + app.version;
}

void runUpdateTrace(const std::vector<std::string>& arguments) {
    const auto start = std::chrono::steady_clock::now();
    const AppInventory inventory(Url::fromPath(Fs::homeDirectory()), std::nullopt,
                                 {Url::fromPath("/opt/homebrew/Caskroom"), Url::fromPath("/usr/local/Caskroom")});
    const std::vector<InstalledApp> apps = inventory.list();

    const UpdateChecker checker(Network::fetch(userAgent()), country(), assumedSystemVersion,
                                Url::fromPath(Fs::temporaryDirectory()),
                                serviceFromEnvironment("APP_CASK_INDEX_URL", UpdateChecker::defaultCaskIndexURL()),
                                serviceFromEnvironment("APP_STORE_LOOKUP_URL", StoreLookup::defaultService()));
    const auto results = checker.check(apps, [](std::size_t, std::size_t) {});

    for (const InstalledApp& app : apps)
        printLine("TRACE [" + std::string(rawValue(app.source)) + "] " + app.name + ": " + status(app, results) + "\n");
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    printLine("TRACE done in " + oneDecimal(took.count()) + " s\n");
    traceDone(arguments);
}

} // namespace

bool updateTraceIfRequested(const std::vector<std::string>& arguments) {
    if (std::find(arguments.begin(), arguments.end(), "--update-trace") == arguments.end())
        return false;
    useLineBuffering();
    // Without a thread to be had the trace runs here.
    runOnThreadElseInline([arguments] { runUpdateTrace(arguments); }).detach();
    return true;
}

} // namespace dovrane::SelfTest
