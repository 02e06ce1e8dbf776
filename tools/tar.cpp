// Stand-in for tar: extracts an archive (any tar flavour and compression) securely into a folder.
#include "ToolSupport.h"

#include "DovraneKit/updates/Archives.h"

using namespace dovrane;

int main(int argc, char** argv) {
    const char* name = "dovrane-tar";
    auto args = tool::arguments(argc, argv);
    if (!tool::matches(args, {"-xf", "*", "-C", "*"}))
        return tool::usage("dovrane-tar -xf FILE -C FOLDER");
    auto extracted = Archives::extract(args[1], args[3]);
    return extracted ? tool::success : tool::fail(name, extracted.error().message);
}
