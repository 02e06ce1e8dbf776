#include "DovraneKit/apps/CodeSigning.h"
#include "DovraneKit/apps/SigningIdentities.h"
#include "DovraneKit/scan/ToolOutputParsers.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/updates/CaskIndex.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace dovrane;
using namespace dovrane::testing;

TEST(JsonReading, EveryReaderOfTheLibraryRefusesDeepDocuments) {
    std::string deep = nestedJson(200'000);
    EXPECT_TRUE(CaskIndex::parse("[" + deep + "]").empty());
    EXPECT_FALSE(StoreLookup::parse("{\"resultCount\":1,\"results\":[{\"x\":" + deep + "}]}"));
    EXPECT_TRUE(SimctlParser::parse("{\"devices\":{\"x\":" + deep + "}}").empty());

    TempHome home;
    writeFile(SigningIdentities::storePath(), "{\"format\":1,\"identities\":[],\"x\":" + deep + "}");
    EXPECT_FALSE(SigningIdentities::load());

    // A signed record with a deep extra key, as the app listing asks every bundle for its team:
    // checking its signature copies and writes out the whole record.
    TempDir dir;
    std::string app = dir / "Deep.app";
    writeFile(Path::join(app, CodeSigning::recordPath),
              "{\"format\":1,\"adhoc\":false,\"team\":\"TEAM123456\",\"publicKey\":\"" + std::string(43, 'A') +
                  "=\",\"signature\":\"" + std::string(86, 'A') + "==\",\"entries\":[],\"x\":" + deep + "}");
    EXPECT_FALSE(CodeSigning::teamID(app));
    auto verdict = CodeSigning::verify(app);
    ASSERT_FALSE(verdict);
    EXPECT_NE(verdict.error().message.find("damaged"), std::string::npos) << verdict.error().message;
}
