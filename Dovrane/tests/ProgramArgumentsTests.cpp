// Dovrane and the small programs beside it, the tool stand-ins and the benchmarks, answer --help
// with their usage and refuse what they do not take before they write anything.

#include "AppRun.h"

#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/Shell.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

const std::vector<std::string> programs = {
    "dovrane-codesign", "dovrane-spctl", "dovrane-security", "dovrane-ditto", "dovrane-tar",
    "dovrane-hdiutil",  "dovrane-move",  "make_home",        "floor_walk",    "scan_memory",
    "model_bench",      "cache_bench",   "reader_memory",    "cleanup_bench", "journal_bench",
    "signature_memory", "sort_bench",    "flood_bench",      "removal_bench"};

struct Answer {
    int status = -1;
    std::string output;
    std::string errors;
};

// Runs the program in `folder` as its working folder, its standard error kept apart.
Answer run(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder,
           const TempDir& scratch) {
    std::string command =
        "cd " + Shell::quote(folder) + " && exec " + Shell::quote(Path::join(DOVRANE_BIN_DIR, program));
    for (const auto& argument : arguments)
        command += " " + Shell::quote(argument);
    command += " 2>" + Shell::quote(scratch / "errors");
    const AppRun ran = runProgram("/bin/sh", {"-c", command}, {}, patient(std::chrono::seconds(10)));
    Answer answer{ran.status, {}, Fs::readFile(scratch / "errors").value_or("")};
    for (const auto& line : ran.lines)
        answer.output += line + "\n";
    return answer;
}

// A running Dovrane as a later start sees it: a socket listening at path, taking one message per
// connection.
class FakeInstance {
public:
    explicit FakeInstance(const std::string& path) : path_(path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        EXPECT_LT(path.size(), sizeof address.sun_path);
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        EXPECT_EQ(::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(listener_, 8), 0);
    }
    ~FakeInstance() {
        ::close(listener_);
        ::unlink(path_.c_str());
    }
    FakeInstance(const FakeInstance&) = delete;
    FakeInstance& operator=(const FakeInstance&) = delete;

    // What a start that has ended sent, or nullopt when none connected.
    std::optional<std::string> takeMessage() const {
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            return std::nullopt;
        std::string message;
        char buffer[4096];
        for (ssize_t got; (got = ::read(connection, buffer, sizeof buffer)) > 0;)
            message.append(buffer, std::size_t(got));
        ::close(connection);
        return message;
    }

private:
    std::string path_;
    int listener_ = -1;
};

} // namespace

TEST(ProgramArguments, HelpPrintsTheUsageAndDoesNothingElse) {
    TempDir work, scratch;
    for (const auto& program : programs) {
        SCOPED_TRACE(program);
        const Answer help = run(program, {"--help"}, work.path(), scratch);
        EXPECT_EQ(help.status, 0);
        EXPECT_TRUE(help.output.starts_with("usage: " + program + " ")) << help.output;
        EXPECT_EQ(help.errors, "");
        EXPECT_EQ(run(program, {"-h"}, work.path(), scratch).output, help.output);
    }
    EXPECT_TRUE(Fs::list(work.path()).empty()) << "a program took --help for a name";
}

TEST(ProgramArguments, UnknownOptionsAndWrongCountsAreRefusedBeforeAnythingIsWritten) {
    TempDir work, scratch;
    const std::string target = work / "target";
    for (const auto& program : programs) {
        SCOPED_TRACE(program);
        const Answer option = run(program, {"--frobnicate", target}, work.path(), scratch);
        EXPECT_EQ(option.status, 2);
        EXPECT_EQ(option.output, "");
        EXPECT_TRUE(option.errors.starts_with(program + ": unknown option '--frobnicate'\nusage: " + program + " "))
            << option.errors;

        const Answer many = run(program, std::vector<std::string>(9, target), work.path(), scratch);
        EXPECT_EQ(many.status, 2);
        EXPECT_EQ(many.output, "");
        EXPECT_TRUE(many.errors.starts_with(program + ": takes ")) << many.errors;
        EXPECT_NE(many.errors.find(", not 9\nusage: "), std::string::npos) << many.errors;
    }
    // Each needs at least one argument but the model's benchmarks, which need none.
    for (const char* program : {"dovrane-tar", "make_home", "floor_walk", "scan_memory"}) {
        const Answer none = run(program, {}, work.path(), scratch);
        EXPECT_EQ(none.status, 2) << program;
        EXPECT_TRUE(none.errors.starts_with(std::string(program) + ": takes ")) << none.errors;
    }
    EXPECT_TRUE(Fs::list(work.path()).empty());
}

TEST(ProgramArguments, ArgumentsThatFitAFormButNotWhatItTakesAreRefused) {
    TempDir work, scratch;
    const std::string home = work / "home";
    const std::vector<std::pair<std::string, std::vector<std::string>>> refused = {
        {"make_home", {home, "many"}},
        {"make_home", {home, "0"}},
        {"make_home", {home, "12x"}},
        {"make_home", {home, "100", "round"}},
        {"floor_walk", {work.path(), "0"}},
        {"floor_walk", {work.path(), "9999"}},
        {"model_bench", {"-5"}},
        {"model_bench", {"10", "many"}},
        {"cache_bench", {"10", "0"}},
        {"cache_bench", {"--read", "sideways", "10", "1"}},
        {"reader_memory", {"0"}},
        {"signature_memory", {"0"}},
        {"cleanup_bench", {"0"}},
        {"cleanup_bench", {"many"}},
        {"journal_bench", {"10", "0"}},
        {"removal_bench", {"0"}},
        {"sort_bench", {"0"}},
        {"flood_bench", {"1500", "15", "10"}},
        {"reader_memory", {"--read", "sideways", home}},
        // A literal word that differs, and an empty value.
        {"dovrane-spctl", {"--assess", "--type", "install", home}},
        {"dovrane-tar", {"-xf", "", "-C", home}},
        // A path outside the root it is to be reached from.
        {"dovrane-move", {home, work / "elsewhere", home, home + "/moved"}},
    };
    for (const auto& [program, arguments] : refused) {
        const Answer answer = run(program, arguments, work.path(), scratch);
        EXPECT_EQ(answer.status, 2) << program << " " << arguments.back();
        EXPECT_TRUE(answer.errors.starts_with(program + ": ")) << answer.errors;
        EXPECT_NE(answer.errors.find("\nusage: "), std::string::npos) << answer.errors;
    }
    EXPECT_TRUE(Fs::list(work.path()).empty());
}

TEST(ProgramArguments, FormsWithOptionalArgumentsStillRun) {
    TempDir work, scratch;
    writeFile(work / "tree/a/one", "1");
    writeFile(work / "tree/b/two", "22");
    for (const auto& arguments : {std::vector<std::string>{work / "tree"}, {work / "tree", "2"}}) {
        const Answer walked = run("floor_walk", arguments, work.path(), scratch);
        EXPECT_EQ(walked.status, 0) << walked.errors;
        EXPECT_NE(walked.output.find(" in 2 files"), std::string::npos) << walked.output;
    }
    // The floor walker counts every file of a folder wider than the descriptors it may open.
    for (int i = 0; i < 300; ++i)
        writeFile(work / ("wide/folder" + std::to_string(i) + "/file"), "x");
    const AppRun wide =
        runProgram("/bin/sh",
                   {"-c", "ulimit -n 64 && exec " + Shell::quote(Path::join(DOVRANE_BIN_DIR, "floor_walk")) + " " +
                              Shell::quote(work / "wide")},
                   {}, patient(std::chrono::seconds(10)));
    EXPECT_EQ(wide.status, 0);
    ASSERT_EQ(wide.lines.size(), 1u);
    EXPECT_TRUE(wide.lines[0].ends_with(" in 300 files")) << wide.lines[0];
    // The cache benchmark reads in processes of its own, through its --read form.
    const Answer cache = run("cache_bench", {"10", "1"}, work.path(), scratch);
    EXPECT_EQ(cache.status, 0) << cache.errors;
    EXPECT_NE(cache.output.find("equal   one pass yes   document yes"), std::string::npos) << cache.output;
    const Answer model = run("model_bench", {"10", "10"}, work.path(), scratch);
    EXPECT_EQ(model.status, 0) << model.errors;
    EXPECT_NE(model.output.find("journal list: 10 records"), std::string::npos) << model.output;
    const Answer removal = run("removal_bench", {"3"}, work.path(), scratch);
    EXPECT_EQ(removal.status, 0) << removal.errors;
    EXPECT_NE(removal.output.find("settle after a kill: 3 items left under way, 1 record written"), std::string::npos)
        << removal.output;
    // A path given where the tar stand-in wants one is no option, even when the archive is absent.
    const Answer missing = run("dovrane-tar", {"-xf", work / "missing.tar", "-C", work / "out"}, work.path(), scratch);
    EXPECT_EQ(missing.status, 1) << missing.errors;
    EXPECT_TRUE(missing.errors.starts_with("dovrane-tar: ")) << missing.errors;
    EXPECT_EQ(missing.errors.find("usage:"), std::string::npos) << missing.errors;
}

// The scan benchmark takes a relative folder from its working folder, as the shell means it,
// and refuses one that is not there rather than reporting an empty scan.
TEST(ProgramArguments, TheScanBenchmarkResolvesRelativeFoldersAndRefusesMissingOnes) {
    TempDir work, scratch;
    writeFile(work / "home/Library/Caches/com.example.app/cache.bin", std::string(8192, 'x'));
    const auto items = [](const Answer& answer) {
        const std::size_t comma = answer.output.find("s, ");
        return comma == std::string::npos
                   ? std::string()
                   : answer.output.substr(comma + 3, answer.output.find(' ', comma + 3) - comma - 3);
    };
    const Answer absolute = run("scan_memory", {work / "home", work.path()}, work.path(), scratch);
    ASSERT_EQ(absolute.status, 0) << absolute.errors;
    ASSERT_NE(items(absolute), "0") << absolute.output;
    const Answer relative = run("scan_memory", {"home", "."}, work.path(), scratch);
    EXPECT_EQ(relative.status, 0) << relative.errors;
    EXPECT_EQ(items(relative), items(absolute)) << relative.output;

    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"missing"},
                                                      {"home", "missing"},
                                                      {"home/Library/Caches/com.example.app/cache.bin"}}) {
        const Answer refused = run("scan_memory", arguments, work.path(), scratch);
        EXPECT_EQ(refused.status, 1) << arguments.back();
        EXPECT_EQ(refused.output, "");
        EXPECT_EQ(refused.errors, "scan_memory: no folder at " + arguments.back() + "\n");
    }
}

// Dovrane itself answers --help and --version and refuses an option it does not know before it
// looks for a running Dovrane or a display: with neither a display nor a platform chosen, a
// start that went on would end in the display's refusal, and a listening instance would be
// handed the arguments.
TEST(ProgramArguments, DovraneAnswersItsCommandLineWithoutStartingOrHandingItOn) {
    TempDir work, scratch, runtime;
    ScopedEnv store("APP_STORE", std::nullopt), runtimeFolder("XDG_RUNTIME_DIR", runtime.path());
    ScopedEnv display("DISPLAY", std::nullopt), wayland("WAYLAND_DISPLAY", std::nullopt);
    ScopedEnv platform("QT_QPA_PLATFORM", std::nullopt);
    const FakeInstance running(runtime / "dovrane-instance");

    const Answer help = run("Dovrane", {"--help"}, work.path(), scratch);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.errors, "");
    EXPECT_TRUE(help.output.starts_with("usage: Dovrane ")) << help.output;
    for (const char* named : {"--selftest", "--scan-trace", "--update-trace", "--version", "APP_STORE", "APP_SEED",
                              "APP_NO_FDA", "APP_PAGE", "APP_SETTINGS", "APP_ACCENT", "APP_GRID", "APP_LANG",
                              "APP_SNAPSHOT", "APP_SNAPSHOT_PAGES", "TRACE_PROJECTS", "DISPLAY"})
        EXPECT_NE(help.output.find(named), std::string::npos) << named;
    EXPECT_EQ(run("Dovrane", {"-h", "Some.app"}, work.path(), scratch).output, help.output);

    const Answer version = run("Dovrane", {"--version"}, work.path(), scratch);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "Dovrane 1.0\n");
    EXPECT_EQ(version.errors, "");

    // A near miss of a developer mode is no developer mode, nor a window's start.
    for (const char* option : {"--frobnicate", "--selftests", "-x"}) {
        const Answer unknown = run("Dovrane", {"Some.app", option, "--help"}, work.path(), scratch);
        EXPECT_EQ(unknown.status, 2) << option;
        EXPECT_EQ(unknown.output, "");
        EXPECT_TRUE(unknown.errors.starts_with("Dovrane: unknown option '" + std::string(option) + "'"))
            << unknown.errors;
        EXPECT_EQ(std::count(unknown.errors.begin(), unknown.errors.end(), '\n'), 1) << unknown.errors;
    }
    EXPECT_EQ(running.takeMessage(), std::nullopt) << "an answer was handed to the running Dovrane";

    // The same start with an app and nothing else hands it over: the instance above was found.
    EXPECT_EQ(run("Dovrane", {"Some.app"}, work.path(), scratch).status, 0);
    const auto handed = running.takeMessage();
    ASSERT_TRUE(handed.has_value());
    EXPECT_NE(handed->find("/Some.app"), std::string::npos) << *handed;
    EXPECT_TRUE(Fs::list(work.path()).empty());
}

// Without a display for the window, one line says so and the exit is an ordinary one: no
// abort, no core dump. That holds for a display that is named but cannot be reached too.
TEST(ProgramArguments, DovraneWithoutADisplaySaysSoInOneLine) {
    TempDir work, scratch, storeFolder;
    ScopedEnv store("APP_STORE", storeFolder / "test.store");
    ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
    for (const std::optional<std::string>& chosen :
         {std::optional<std::string>(), std::optional<std::string>("xcb"), std::optional<std::string>("wayland;xcb")}) {
        ScopedEnv platform("QT_QPA_PLATFORM", chosen);
        ScopedEnv display("DISPLAY", std::nullopt);
        const Answer refused = run("Dovrane", {}, work.path(), scratch);
        EXPECT_EQ(refused.status, 1) << chosen.value_or("(none)");
        EXPECT_EQ(refused.output, "");
        EXPECT_TRUE(refused.errors.starts_with("Dovrane needs a display to open its window: ")) << refused.errors;
        EXPECT_EQ(std::count(refused.errors.begin(), refused.errors.end(), '\n'), 1) << refused.errors;
    }
    // Named but out of reach, whichever platforms Qt tries on the way: Qt's own warnings of
    // each attempt are not printed, only Dovrane's line.
    ScopedEnv display("DISPLAY", ":4711"); // no server runs there
    for (const std::optional<std::string>& chosen : {std::optional<std::string>("xcb"), std::optional<std::string>()}) {
        ScopedEnv platform("QT_QPA_PLATFORM", chosen);
        ScopedEnv waylandDisplay("WAYLAND_DISPLAY", chosen ? std::nullopt : std::optional<std::string>("wayland-4711"));
        const Answer unreachable = run("Dovrane", {}, work.path(), scratch);
        EXPECT_EQ(unreachable.status, 1) << unreachable.errors; // -1 for a death by a signal
        EXPECT_EQ(unreachable.errors,
                  "Dovrane needs a display to open its window: the one DISPLAY or WAYLAND_DISPLAY names cannot be "
                  "used (Dovrane --help lists what runs without one)\n");
        EXPECT_TRUE(Fs::list(work.path()).empty()) << "a core dump or a file was left";
        EXPECT_FALSE(Fs::exists(storeFolder / "test.store"));
    }
}
