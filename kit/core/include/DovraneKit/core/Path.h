#pragma once
// Paths as text: joining and taking apart byte paths without asking the file system.

#include <optional>
#include <string>
#include <string_view>

namespace dovrane {

namespace Path {
// "a" + "/" + "b", without doubling a slash.
std::string join(std::string_view base, std::string_view component);
// A path as seen from the folder base: itself when absolute, else joined to base, each leading
// ".." taking the last component off base. Lexical, so only for a base without symbolic links
// (a program's own folder, as the system names it).
std::string resolve(std::string_view base, std::string_view path);
// Last component, trailing slashes ignored; "/" for the root, "" for "".
std::string lastComponent(std::string_view path);
// Everything before the last component; "/" for a child of the root, "" for a bare name.
std::string parent(std::string_view path);
// The text after the last "." of a name; empty when there is none or the only dot leads.
std::string extension(std::string_view name);
// The name without ".extension" (unchanged when extension() is empty).
std::string deletingExtension(std::string_view name);
// The path spelled from another folder: when `path` is `from` or lies below it (whole
// components), `to` followed by the rest; otherwise nothing. Both folders are absolute,
// without a trailing slash except "/" itself.
std::optional<std::string> rebased(std::string_view path, std::string_view from, std::string_view to);
} // namespace Path

} // namespace dovrane
