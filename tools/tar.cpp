// Stand-in for tar: extracts an archive (any tar flavour and compression) securely into a folder.
#include "ToolSupport.h"

#include "DovraneKit/updates/Archives.h"

using namespace dovrane;

int main(int argc, char** argv) {
    const tool::Forms forms("dovrane-tar", {{"-xf", "FILE", "-C", "FOLDER"}});
    auto args = tool::arguments(argc, argv);
    if (!forms.match(args))
        return forms.answer(args);
    auto extracted = Archives::extract(args[1], args[3]);
    return extracted ? tool::success : tool::fail(forms.program(), extracted.error().message);
}
