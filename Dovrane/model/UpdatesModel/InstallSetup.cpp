#include "UpdatesModel/InstallSetup.h"

#include <DovraneKit/system/FileSystem.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace dovrane::InstallSetup {

Url workFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return Url::fromPath(Path::join(runtime, "dovrane-updates"));
    return Url::fromPath(Path::join(Fs::temporaryDirectory(), "dovrane-updates-" + std::to_string(getuid())));
}

} // namespace dovrane::InstallSetup
