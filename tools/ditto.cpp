// Stand-in for ditto: copies a tree, extracts a zip archive securely, and archives a folder as a
// zip with the folder itself as the top entry.
#include "ToolSupport.h"

#include "DovraneKit/updates/Archives.h"

using namespace dovrane;

int main(int argc, char** argv) {
    const char* name = "dovrane-ditto";
    auto args = tool::arguments(argc, argv);
    if (tool::matches(args, {"-x", "-k", "*", "*"})) {
        auto extracted = Archives::extract(args[2], args[3]);
        return extracted ? tool::success : tool::fail(name, extracted.error().message);
    }
    if (tool::matches(args, {"-c", "-k", "--keepParent", "*", "*"})) {
        auto archived = Archives::createZip(args[3], args[4]);
        return archived ? tool::success : tool::fail(name, archived.error().message);
    }
    // Two plain paths copy; anything that looks like an option is not guessed at.
    if (tool::matches(args, {"*", "*"}) && args[0].front() != '-' && args[1].front() != '-') {
        auto copied = Archives::copy(args[0], args[1]);
        return copied ? tool::success : tool::fail(name, copied.error().message);
    }
    return tool::usage("dovrane-ditto SRC DST\n"
                       "       dovrane-ditto -x -k ZIP DESTFOLDER\n"
                       "       dovrane-ditto -c -k --keepParent SRC ZIP");
}
