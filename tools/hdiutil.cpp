// Stand-in for hdiutil: "attaches" a disk image by presenting its contents read-only at the
// mount point (extracted with 7-Zip), and "detaches" it by removing them.
#include "ToolSupport.h"

#include "DovraneKit/system/CommandRunner.h"
#include "DovraneKit/updates/DiskImages.h"

using namespace dovrane;

int main(int argc, char** argv) {
    const tool::Forms forms("dovrane-hdiutil",
                            {{"attach", "-nobrowse", "-readonly", "-noautoopen", "-mountpoint", "MOUNTPOINT", "FILE"},
                             {"detach", "MOUNTPOINT", "-force"}});
    const char* name = forms.program();
    auto args = tool::arguments(argc, argv);
    const auto form = forms.match(args);
    if (!form)
        return forms.answer(args);
    if (*form == 0) {
        auto sevenZip = DiskImages::sevenZip();
        if (!sevenZip)
            return tool::fail(name, "7-Zip (/usr/bin/7zz or /usr/bin/7z) is not installed");
        // Below the installer's own 300-second limit, so 7-Zip never outlives this tool.
        ProcessRunner runner(120);
        auto attached = DiskImages::attach(args[6], args[5], runner, *sevenZip);
        return attached ? tool::success : tool::fail(name, attached.error().message);
    }
    auto detached = DiskImages::detach(args[1]);
    return detached ? tool::success : tool::fail(name, detached.error().message);
}
