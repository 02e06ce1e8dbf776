// Stand-in for codesign: signs a bundle with an identity of the user's store (or ad hoc) and
// verifies a bundle's signature.
#include "ToolSupport.h"

#include "DovraneKit/updates/CodeSigning.h"

using namespace dovrane;

int main(int argc, char** argv) {
    const char* name = "dovrane-codesign";
    auto args = tool::arguments(argc, argv);
    if (tool::matches(args, {"--force", "--sign", "*", "*"})) {
        auto signedInfo = CodeSigning::sign(args[3], args[2]);
        return signedInfo ? tool::success : tool::fail(name, args[3] + ": " + signedInfo.error().message);
    }
    if (tool::matches(args, {"--verify", "--deep", "--strict", "*"})) {
        auto verified = CodeSigning::verify(args[3]);
        return verified ? tool::success
                        : tool::fail(name, args[3] + ": invalid signature: " + verified.error().message);
    }
    return tool::usage("dovrane-codesign --force --sign IDENTITY PATH\n"
                       "       dovrane-codesign --verify --deep --strict PATH");
}
