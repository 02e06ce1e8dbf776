// Stand-in for spctl: Gatekeeper's assessment of a bundle for running it.
#include "ToolSupport.h"

#include "DovraneKit/apps/CodeSigning.h"

using namespace dovrane;

int main(int argc, char** argv) {
    const tool::Forms forms("dovrane-spctl", {{"--assess", "--type", "execute", "PATH"}});
    auto args = tool::arguments(argc, argv);
    if (!forms.match(args))
        return forms.answer(args);
    auto assessed = CodeSigning::assess(args[3]);
    return assessed ? tool::success : tool::fail(forms.program(), args[3] + ": " + assessed.error().message);
}
