// Stand-in for ditto: copies a tree, extracts a zip archive securely, and archives a folder as a
// zip with the folder itself as the top entry.
#include "ToolSupport.h"

#include "DovraneKit/updates/Archives.h"

using namespace dovrane;

int main(int argc, char** argv) {
    // The copy's paths may not look like options: an unknown option is refused, not guessed at.
    const tool::Forms forms(
        "dovrane-ditto",
        {{"SRC", "DST"}, {"-x", "-k", "ZIP", "DESTFOLDER"}, {"-c", "-k", "--keepParent", "SRC", "ZIP"}});
    const char* name = forms.program();
    auto args = tool::arguments(argc, argv);
    const auto form = forms.match(args);
    if (!form)
        return forms.answer(args);
    if (*form == 0) {
        auto copied = Archives::copy(args[0], args[1]);
        return copied ? tool::success : tool::fail(name, copied.error().message);
    }
    if (*form == 1) {
        auto extracted = Archives::extract(args[2], args[3]);
        return extracted ? tool::success : tool::fail(name, extracted.error().message);
    }
    auto archived = Archives::createZip(args[3], args[4]);
    return archived ? tool::success : tool::fail(name, archived.error().message);
}
