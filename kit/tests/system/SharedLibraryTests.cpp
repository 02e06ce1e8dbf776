#include "DovraneKit/system/SharedLibrary.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

bool mentions(const Failure& failure, const std::string& text) {
    return failure.message.find(text) != std::string::npos;
}

} // namespace

TEST(SharedLibrary, ALibraryThatCannotBeOpenedFailsEveryLookupWithTheLoadersReason) {
    const SharedLibrary absent("libdovrane-absent.so.9");
    const auto first = absent.symbol("anything");
    ASSERT_FALSE(first);
    EXPECT_TRUE(mentions(first.error(), "libdovrane-absent.so.9")) << first.error().message;
    EXPECT_TRUE(mentions(first.error(), "cannot open shared object file")) << first.error().message;
    // Opened once only: a later lookup gives the same reason, not a new attempt's or none.
    const auto second = absent.symbol("other");
    ASSERT_FALSE(second);
    EXPECT_EQ(second.error(), first.error());

    // A damaged file where the library should be.
    TempDir folder;
    writeFile(folder / "damaged.so", "not a library");
    const SharedLibrary damaged(folder / "damaged.so");
    const auto found = damaged.symbol("anything");
    ASSERT_FALSE(found);
    EXPECT_TRUE(mentions(found.error(), folder / "damaged.so")) << found.error().message;
}

TEST(SharedLibrary, FunctionsAreBoundByNameAndTheFirstMissingOneEndsTheTable) {
    const SharedLibrary libc("libc.so.6");
    decltype(&::getpid) processId = nullptr;
    decltype(&::getppid) parentId = nullptr;
    decltype(&::getuid) userId = nullptr;
    std::optional<Failure> missing;
    libc.bind(processId, "getpid", missing);
    ASSERT_FALSE(missing) << missing->message;
    ASSERT_NE(processId, nullptr);
    EXPECT_EQ(processId(), ::getpid());

    libc.bind(parentId, "dovrane_no_such_function", missing);
    libc.bind(userId, "getuid", missing);
    ASSERT_TRUE(missing);
    EXPECT_TRUE(mentions(*missing, "dovrane_no_such_function")) << missing->message;
    EXPECT_EQ(parentId, nullptr);
    EXPECT_EQ(userId, nullptr) << "a slot after the missing one was still filled";
}
