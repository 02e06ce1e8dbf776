// Stand-in for spctl: Gatekeeper's assessment of a bundle for running it.
#include "ToolSupport.h"

#include "DovraneKit/updates/CodeSigning.h"

using namespace dovrane;

int main(int argc, char** argv) {
    const char* name = "dovrane-spctl";
    auto args = tool::arguments(argc, argv);
    if (!tool::matches(args, {"--assess", "--type", "execute", "*"}))
        return tool::usage("dovrane-spctl --assess --type execute PATH");
    auto assessed = CodeSigning::assess(args[3]);
    return assessed ? tool::success : tool::fail(name, args[3] + ": " + assessed.error().message);
}
