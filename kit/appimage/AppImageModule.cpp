// The AppImage module: libappimage's payload reading behind one C entry point.
#include "apps/AppImageModule.h"

#include <appimage/core/AppImage.h>

#include <istream>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace {

std::optional<std::string> boundedRead(std::istream& in, std::size_t limit) {
    std::string text;
    char buffer[8192];
    while (in) {
        in.read(buffer, sizeof buffer);
        text.append(buffer, std::size_t(in.gcount()));
        if (text.size() > limit)
            return std::nullopt;
    }
    return text;
}

// The entry a link's target names, as a path inside the payload.
std::string linkedEntry(const std::string& link, std::string target) {
    const auto slash = link.rfind('/');
    if (target.starts_with("/"))
        target.erase(0, 1);
    else if (slash != std::string::npos)
        target = link.substr(0, slash + 1) + target;
    while (target.starts_with("./"))
        target.erase(0, 2);
    return target;
}

std::map<std::string, std::optional<std::string>> chosenEntries(const char* path, int maximumEntries,
                                                                DovraneAppImageLimit limitFor, void* context) {
    appimage::core::AppImage image(path);
    std::map<std::string, std::optional<std::string>> found;
    std::map<std::string, std::pair<std::string, std::size_t>> links; // target to (entry, limit)
    int seen = 0;
    for (auto file = image.files(); file != file.end() && ++seen <= maximumEntries; ++file) {
        const std::string entry = file.path();
        const std::size_t limit = limitFor(context, entry.c_str());
        if (limit == 0)
            continue;
        if (file.type() == appimage::core::PayloadEntryType::LINK) {
            links[linkedEntry(entry, file.linkTarget())] = {entry, limit};
            found[entry] = std::nullopt;
        } else if (file.type() == appimage::core::PayloadEntryType::REGULAR) {
            found[entry] = boundedRead(file.read(), limit);
        }
    }
    if (links.empty())
        return found;
    seen = 0;
    for (auto file = image.files(); file != file.end() && ++seen <= maximumEntries; ++file) {
        auto link = links.find(file.path());
        if (link != links.end() && file.type() == appimage::core::PayloadEntryType::REGULAR)
            found[link->second.first] = boundedRead(file.read(), link->second.second);
    }
    return found;
}

} // namespace

int dovrane_appimage_read(const char* path, int maximumEntries, DovraneAppImageLimit limit, DovraneAppImageFound found,
                          void* context) {
    try {
        for (const auto& [entry, contents] : chosenEntries(path, maximumEntries, limit, context))
            found(context, entry.c_str(), contents ? contents->data() : nullptr, contents ? contents->size() : 0);
        return 1;
    } catch (...) {
        // A damaged payload, or one the library refuses; no exception may leave the module.
        return 0;
    }
}
