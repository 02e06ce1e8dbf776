#pragma once
// What the kernel says of this process's memory, for the benchmarks that measure it.

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace bench {

// A field of /proc/self/status in kB: VmRSS now, VmHWM at the peak; 0 when it is not there.
inline long statusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':')
            return std::atol(line.c_str() + length + 1);
    return 0;
}

} // namespace bench
