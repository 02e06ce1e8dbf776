#include "Services/Permissions.h"

#include <cstdlib>
#include <string_view>

namespace dovrane::Permissions {

namespace {
bool isOne(const char* name) {
    const char* value = std::getenv(name);
    return value && std::string_view(value) == "1";
}
} // namespace

bool hasFullDiskAccess() {
    if (isOne("APP_SEED"))
        return !isOne("APP_NO_FDA");
    return true;
}

} // namespace dovrane::Permissions
