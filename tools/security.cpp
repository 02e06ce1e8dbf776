// Stand-in for security: lists the user's code-signing identities and creates new ones.
#include "ToolSupport.h"

#include "DovraneKit/apps/SigningIdentities.h"

#include <cstdio>

using namespace dovrane;

namespace {

void printIdentity(std::size_t number, const SigningIdentity& identity) {
    std::printf("  %zu) %s \"%s\"\n", number, identity.fingerprint().c_str(), identity.name.c_str());
}

} // namespace

int main(int argc, char** argv) {
    const tool::Forms forms("dovrane-security",
                            {{"find-identity", "-v", "-p", "codesigning"}, {"create-identity", "NAME", "TEAM"}});
    const char* name = forms.program();
    auto args = tool::arguments(argc, argv);
    const auto form = forms.match(args);
    if (!form)
        return forms.answer(args);
    if (*form == 0) {
        auto identities = SigningIdentities::load();
        if (!identities)
            return tool::fail(name, identities.error().message);
        for (std::size_t i = 0; i < identities->size(); ++i)
            printIdentity(i + 1, (*identities)[i]);
        std::printf("     %zu valid identities found\n", identities->size());
        return std::fflush(stdout) == 0 ? tool::success : tool::failure;
    }
    auto identity = SigningIdentities::create(args[1], args[2]);
    if (!identity)
        return tool::fail(name, identity.error().message);
    printIdentity(1, *identity);
    return std::fflush(stdout) == 0 ? tool::success : tool::failure;
}
