#include "DovraneKit/system/Shell.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace dovrane;

TEST(ShellAdmin, AnswerIsPassedOnAndEveryFailureIsFalse) {
    std::vector<std::string> lines;
    Shell::Admin agreeing = [&lines](const std::string& line) {
        lines.push_back(line);
        return true;
    };
    EXPECT_TRUE(Shell::runAsAdmin(agreeing, "/bin/true"));
    EXPECT_EQ(lines, std::vector<std::string>{"/bin/true"});

    EXPECT_FALSE(Shell::runAsAdmin([](const std::string&) { return false; }, "/bin/true"));
    EXPECT_FALSE(Shell::runAsAdmin(Shell::Admin(), "/bin/true")) << "no closure";
    EXPECT_FALSE(
        Shell::runAsAdmin([](const std::string&) -> bool { throw std::runtime_error("cancelled"); }, "/bin/true"));
}
