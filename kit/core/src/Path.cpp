#include "DovraneKit/core/Path.h"

#include <algorithm>

namespace dovrane {

namespace Path {

std::string join(std::string_view base, std::string_view component) {
    std::string result(base);
    while (!component.empty() && component.front() == '/')
        component.remove_prefix(1);
    if (result.empty() || result.back() != '/')
        result.push_back('/');
    result.append(component);
    return result;
}

std::string resolve(std::string_view base, std::string_view path) {
    if (path.starts_with('/'))
        return std::string(path);
    std::string folder(base);
    while (path == ".." || path.starts_with("../")) {
        folder = parent(folder);
        path.remove_prefix(std::min<std::size_t>(3, path.size()));
    }
    return path.empty() ? folder : join(folder, path);
}

std::string lastComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    if (path == "/")
        return "/";
    auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string parent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    auto slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    if (slash == 0)
        return "/";
    return std::string(path.substr(0, slash));
}

std::string extension(std::string_view name) {
    auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    return std::string(name.substr(dot + 1));
}

std::string deletingExtension(std::string_view name) {
    auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size())
        return std::string(name);
    return std::string(name.substr(0, dot));
}

std::optional<std::string> rebased(std::string_view path, std::string_view from, std::string_view to) {
    if (from == "/") {
        if (!path.starts_with('/'))
            return std::nullopt;
    } else if (!path.starts_with(from) || (path.size() > from.size() && path[from.size()] != '/')) {
        return std::nullopt;
    }
    std::string_view rest = path.substr(from == "/" ? 0 : from.size());
    while (!rest.empty() && rest.front() == '/')
        rest.remove_prefix(1);
    return rest.empty() ? std::string(to) : join(to, rest);
}

} // namespace Path

} // namespace dovrane
