#include "Store/Store.h"

#include <DovraneKit/FileSystem.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace dovrane::Store {

namespace {
const char* overridePath() {
    const char* value = std::getenv("APP_STORE");
    return value && *value ? value : nullptr;
}
} // namespace

bool isOverridden() { return overridePath() != nullptr; }

Url url() {
    if (const char* path = overridePath()) {
        std::string file(path);
        if (file[0] != '/') {
            std::string folder(4096, '\0');
            if (getcwd(folder.data(), folder.size()))
                file = Path::join(folder.c_str(), file);
        }
        return Url::fromPath(file);
    }
    const std::string folder = Path::join(Fs::dataHome(), "Dovrane");
    Fs::makeDirectories(folder, 0700);
    return Url::fromPath(Path::join(folder, "Dovrane.store"));
}

std::unique_ptr<ModelContainer> makeContainer() {
    const std::string path = url().path();
    auto container = ModelContainer::open(path);
    if (!container) {
        std::fprintf(stderr, "Could not open the database at %s: %s\n", path.c_str(),
                     container.error().message.c_str());
        std::exit(1);
    }
    return std::move(container).value();
}

} // namespace dovrane::Store
