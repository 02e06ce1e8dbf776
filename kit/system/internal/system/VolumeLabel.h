#pragma once
// The label of the file system that holds a device number, as udev publishes it. Kept apart
// so that tests can hand in their own mount table and label folder.

#include <sys/types.h>

#include <optional>
#include <string>

namespace dovrane::volumelabel {

std::optional<std::string> find(dev_t device, const std::string& mountInfoPath = "/proc/self/mountinfo",
                                const std::string& labelFolder = "/dev/disk/by-label");

} // namespace dovrane::volumelabel
