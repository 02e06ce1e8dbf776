#include "Services/SettingKeys.h"

namespace dovrane::SettingKeys {

bool menuBarItemShown(const Settings& settings, bool testStore) {
    return menuBarEnabled.stored(settings).value_or(!testStore);
}

std::vector<QString> all() {
    std::vector<QString> keys;
    forEach([&keys](const auto& setting) { keys.push_back(setting.key()); });
    return keys;
}

} // namespace dovrane::SettingKeys
