// Stand-in for codesign: signs a bundle with an identity of the user's store (or ad hoc) and
// verifies a bundle's signature.
#include "ToolSupport.h"

#include "DovraneKit/apps/CodeSigning.h"

using namespace dovrane;

int main(int argc, char** argv) {
    const tool::Forms forms("dovrane-codesign",
                            {{"--force", "--sign", "IDENTITY", "PATH"}, {"--verify", "--deep", "--strict", "PATH"}});
    const char* name = forms.program();
    auto args = tool::arguments(argc, argv);
    const auto form = forms.match(args);
    if (!form)
        return forms.answer(args);
    if (*form == 0) {
        auto signedInfo = CodeSigning::sign(args[3], args[2]);
        return signedInfo ? tool::success : tool::fail(name, args[3] + ": " + signedInfo.error().message);
    }
    auto verified = CodeSigning::verify(args[3]);
    return verified ? tool::success : tool::fail(name, args[3] + ": invalid signature: " + verified.error().message);
}
