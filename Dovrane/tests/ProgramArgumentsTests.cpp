// The small programs beside the application, the tool stand-ins and the benchmarks, answer
// --help with their usage and refuse what they do not take before they write anything.

#include "AppRun.h"

#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/Shell.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

const std::vector<std::string> programs = {"dovrane-codesign", "dovrane-spctl",   "dovrane-security", "dovrane-ditto",
                                           "dovrane-tar",      "dovrane-hdiutil", "dovrane-move",     "make_home",
                                           "floor_walk",       "scan_memory",     "model_bench",      "cache_bench",
                                           "reader_memory",    "cleanup_bench"};

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
    const AppRun ran = runProgram("/bin/sh", {"-c", command}, {}, std::chrono::seconds(30));
    Answer answer{ran.status, {}, Fs::readFile(scratch / "errors").value_or("")};
    for (const auto& line : ran.lines)
        answer.output += line + "\n";
    return answer;
}

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
        {"cleanup_bench", {"0"}},
        {"cleanup_bench", {"many"}},
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
    // The cache benchmark reads in processes of its own, through its --read form.
    const Answer cache = run("cache_bench", {"10", "1"}, work.path(), scratch);
    EXPECT_EQ(cache.status, 0) << cache.errors;
    EXPECT_NE(cache.output.find("equal   one pass yes   document yes"), std::string::npos) << cache.output;
    const Answer model = run("model_bench", {"10", "10"}, work.path(), scratch);
    EXPECT_EQ(model.status, 0) << model.errors;
    EXPECT_NE(model.output.find("journal list: 10 records"), std::string::npos) << model.output;
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
