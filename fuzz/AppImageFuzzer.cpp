// An AppImage as any download may be: its payload is read in place for the app's descriptions
// and its icon. The reading runs in a child process (libappimage and the SquashFS library trust
// the payload's tables), so what is fuzzed here is that a child's end, whatever it was, leaves
// this process whole, and that what is handed back stays within its bounds. The seeds are a
// small ELF header marked as a type-2 AppImage with a SquashFS payload each (a .DirIcon link,
// an icon the desktop entry names, AppStream data).
#include "DovraneKit/apps/AppImages.h"
#include "FuzzSupport.h"

#include <pthread.h>
#include <sanitizer/common_interface_defs.h>

#include <vector>

using namespace dovrane;

// A reading child allocates what a crafted payload's tables claim (gigabytes), which ends only
// that child; libFuzzer's allocation limit would report it as this process's own.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static std::vector<char*> arguments(*argv, *argv + *argc);
    static char unlimited[] = "-malloc_limit_mb=1048576";
    arguments.insert(arguments.begin() + 1, unlimited);
    arguments.push_back(nullptr);
    *argc = int(arguments.size()) - 1;
    *argv = arguments.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A reading child that AddressSanitizer stops is a payload the child is there for, not a
    // crash of this process: libFuzzer's own report of it stays in the parent.
    static const int once = pthread_atfork(nullptr, nullptr, [] { __sanitizer_set_death_callback(nullptr); });
    (void)once;
    const std::string path = fuzz::writeScratchFile("Input.AppImage", fuzz::text(data, size));
    if (auto found = AppImages::payload(path)) {
        fuzz::check(!found->desktopEntry || found->desktopEntry->size() <= AppImages::maximumTextSize,
                    "a desktop entry is read within its bound");
        fuzz::check(!found->metainfo || found->metainfo->size() <= AppImages::maximumTextSize,
                    "a metainfo file is read within its bound");
        if (found->metainfo)
            (void)AppImages::metainfo(*found->metainfo);
    }
    const auto icon = AppImages::icon(path);
    fuzz::check(!icon || icon->size() <= AppImages::maximumIconSize, "an icon is read within its bound");
    (void)AppImages::read(Url::fromPath(path));
    return 0;
}
