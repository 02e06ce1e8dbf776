// The memory the update cache's and the settings file's readers add at their peak, for files of
// about MEGABYTES (default 15; the settings file is read only up to 16 MiB) of several shapes, each beside the JSON
// document's way (Json::read, then the record's decoder) that they replaced. Every read runs in a process of its own
// after the file's text is in memory, so only the reading is counted. Works in a temporary folder only.
//
//   build/bin/reader_memory [MEGABYTES]

#include "AppModel/UpdatesCache.h"
#include "ProcessStatus.h"
#include "Services/JsonSettings.h"
#include "ToolSupport.h"

#include <DovraneKit/formats/JsonReading.h>
#include <DovraneKit/system/FileSystem.h>

#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <string>

using namespace dovrane;
using bench::statusKilobytes;

namespace {

// The reads, each run by a fresh process of this program ("--read WAY FILE") so that no heap
// left by making the files hides what it takes.
bool read(const std::string& way, const std::string& file, const std::string& text) {
    if (way == "cache-one-pass")
        return bool(UpdatesCache::Saved::fromJsonText(text));
    if (way == "cache-document") {
        auto document = Json::read(text);
        return document && UpdatesCache::Saved::fromJson(*document);
    }
    if (way == "settings-one-pass") {
        // A value of another shape reads as absent after the whole file was read.
        JsonSettings settings(file);
        return settings.texts(QStringLiteral("scan.excluded")) || !settings.texts(QStringLiteral("k"));
    }
    return Json::read(text).has_value(); // the settings' document, before any value was converted
}

void measure(const char* what, const char* way, const std::string& file) {
    std::printf("  %-10s", what);
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        execl("/proc/self/exe", "reader_memory", "--read", way, file.c_str(), static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    std::printf("\n");
}

std::string fill(std::size_t bytes, const std::string& head, const std::function<std::string(std::size_t)>& element,
                 const std::string& tail) {
    std::string text = head;
    for (std::size_t i = 0; text.size() + tail.size() < bytes; ++i)
        text += (i ? "," : "") + element(i);
    return text + tail;
}

} // namespace

int main(int argc, char** argv) {
    // --read is how the program measures a read in a process of its own.
    const tool::Forms forms("reader_memory", {{"[MEGABYTES]"}, {"--read", "WAY", "FILE"}},
                            "MEGABYTES: 15 unless given; WAY: cache-one-pass, cache-document, settings-one-pass or "
                            "settings-document");
    const auto args = tool::arguments(argc, argv);
    const auto form = forms.match(args);
    if (!form)
        return forms.answer(args);
    if (*form == 1) {
        static const std::set<std::string> ways = {"cache-one-pass", "cache-document", "settings-one-pass",
                                                   "settings-document"};
        if (!ways.contains(args[1]))
            return forms.refuse("WAY must be one of the four reads, not '" + args[1] + "'");
        const auto text = Fs::readFile(args[2], 1ull << 30);
        const long before = statusKilobytes("VmHWM");
        const bool accepted = text && read(args[1], args[2], *text);
        std::printf("%8.1f MB added, %s", double(statusKilobytes("VmHWM") - before) / 1024.0,
                    accepted ? "read" : "refused");
        return 0;
    }
    const auto size = forms.number(args, 0, "MEGABYTES", 15, 1, 4096);
    if (!size)
        return tool::usageError;
    const std::size_t megabytes = std::size_t(*size);
    const std::size_t bytes = megabytes << 20;
    auto folder = Fs::makeUniqueDirectory(Fs::temporaryDirectory(), "dovrane-reader-bench-");
    if (!folder)
        return 1;
    const std::string file = Path::join(*folder, "file.json");

    // Each file is made, written and let go before its reads, so they start from a small heap.
    struct Shape {
        const char* name;
        std::function<std::string()> text;
    };
    const std::string notes(2000, 'n');
    const Shape caches[] = {
        {"many small results",
         [&] {
             return fill(
                 bytes, R"({"date":0,"results":{)",
                 [](std::size_t i) { return "\"/A/" + std::to_string(i) + "\":{\"upToDate\":{}}"; }, "}}");
         }},
        {"an unknown array of zeros",
         [&] {
             return fill(
                 bytes, R"({"date":0,"results":{},"x":[)", [](std::size_t) { return std::string("0"); }, "]}");
         }},
        {"updates with long notes",
         [&] {
             return fill(
                 bytes, R"({"date":0,"results":{)",
                 [&](std::size_t i) {
                     return "\"/A/" + std::to_string(i) +
                            R"(.AppImage":{"available":{"_0":{"bundleID":"b","appPath":"file:///A","currentVersion":"1",)"
                            R"("newVersion":"2","source":"sparkle","checkedAt":0,"releaseNotes":")" +
                            notes + "\"}}}";
                 },
                 "}}");
         }},
    };
    std::printf("Update cache, %zu MB:\n", megabytes);
    for (const Shape& shape : caches) {
        Fs::writeFile(file, shape.text());
        std::printf(" %s\n", shape.name);
        measure("one pass", "cache-one-pass", file);
        measure("document", "cache-document", file);
    }

    const Shape settings[] = {
        {"a list of excluded folders",
         [&] {
             return fill(
                 bytes, R"({"scan.excluded":[)",
                 [](std::size_t i) { return "\"/home/ada/Projects/client-" + std::to_string(i) + "/build\""; }, "]}");
         }},
        {"a foreign array of zeros",
         [&] {
             return fill(
                 bytes, R"({"k":[)", [](std::size_t) { return std::string("0"); }, "]}");
         }},
    };
    std::printf("Settings file, %zu MB:\n", megabytes);
    for (const Shape& shape : settings) {
        Fs::writeFile(file, shape.text());
        std::printf(" %s\n", shape.name);
        measure("one pass", "settings-one-pass", file);
        measure("document", "settings-document", file);
    }
    Fs::removeAll(*folder);
    return 0;
}
