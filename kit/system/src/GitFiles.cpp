#include "system/GitFiles.h"

#include "DovraneKit/core/TextPieces.h"

#include <cctype>
#include <cstdint>

namespace dovrane::gitfiles {

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

std::string lowered(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = lower(c);
    return result;
}

std::optional<bool> boolean(const std::string& value) {
    if (value == "true" || value == "yes" || value == "on" || value == "1")
        return true;
    if (value.empty() || value == "false" || value == "no" || value == "off" || value == "0")
        return false;
    return std::nullopt;
}

std::uint32_t bigEndian32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = (value << 8) | std::uint8_t(bytes[at + i]);
    return value;
}

std::uint16_t bigEndian16(std::string_view bytes, std::size_t at) {
    return std::uint16_t((std::uint8_t(bytes[at]) << 8) | std::uint8_t(bytes[at + 1]));
}

bool sameText(std::string_view a, std::string_view b, bool ignoreCase) {
    if (a.size() != b.size())
        return false;
    if (!ignoreCase)
        return a == b;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// An entry named `name` is `path` or lies below it.
bool isAtOrBelow(std::string_view name, std::string_view path, unsigned stage, bool ignoreCase) {
    if (name.size() > path.size() && name[path.size()] == '/')
        return sameText(name.substr(0, path.size()), path, ignoreCase);
    return stage == 0 && sameText(name, path, ignoreCase);
}

} // namespace

std::optional<Config> plainConfig(std::string_view text) {
    Config config;
    bool inCore = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = trimmedLine(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#' || line.front() == ';')
            continue;
        if (line.back() == '\\')
            return std::nullopt;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            if (close == std::string_view::npos)
                return std::nullopt;
            const std::string_view rest = trimmedLine(line.substr(close + 1));
            if (!rest.empty() && rest.front() != '#' && rest.front() != ';')
                return std::nullopt;
            const std::string_view header = trimmedLine(line.substr(1, close - 1));
            const std::string_view name = header.substr(0, header.find_first_of(" \t\"."));
            if (sameText(name, "include", true) || sameText(name, "includeif", true) ||
                sameText(name, "extensions", true))
                return std::nullopt;
            inCore = sameText(header, "core", true);
            continue;
        }
        if (!inCore)
            continue;
        std::size_t keyEnd = 0;
        while (keyEnd < line.size() && (std::isalnum(static_cast<unsigned char>(line[keyEnd])) || line[keyEnd] == '-'))
            ++keyEnd;
        const std::string key = lowered(line.substr(0, keyEnd));
        std::string_view rest = trimmedLine(line.substr(keyEnd));
        std::string value = "true"; // a key alone is set
        if (!rest.empty()) {
            if (rest.front() != '=' || rest.find('"') != std::string_view::npos)
                return std::nullopt;
            rest.remove_prefix(1);
            value = lowered(trimmedLine(rest.substr(0, rest.find_first_of("#;"))));
        }
        if (key == "worktree")
            return std::nullopt;
        if (key == "bare" && boolean(value) != false)
            return std::nullopt;
        if (key == "ignorecase") {
            const std::optional<bool> set = boolean(value);
            if (!set)
                return std::nullopt;
            config.ignoreCase = *set;
        }
        if (key == "repositoryformatversion" && value != "0" && value != "1")
            return std::nullopt;
    }
    return config;
}

std::optional<std::vector<bool>> tracked(std::string_view index, const std::vector<std::string>& paths,
                                         const Config& config) {
    // A header ("DIRC", version, entries), the entries, the extensions, then a SHA-1 of it all.
    constexpr std::size_t header = 12, hash = 20;
    // Before an entry's name: its file's status (40 bytes), its object's name, its flags.
    constexpr std::size_t fixed = 40 + 20 + 2;
    if (index.size() < header + hash || index.substr(0, 4) != "DIRC")
        return std::nullopt;
    const std::uint32_t version = bigEndian32(index, 4), count = bigEndian32(index, 8);
    if (version < 2 || version > 4)
        return std::nullopt;
    const std::string_view body = index.substr(0, index.size() - hash);
    std::vector<bool> found(paths.size(), false);
    std::string previous; // version 4 names each name by what it shares with the one before
    std::size_t at = header;
    for (std::uint32_t entry = 0; entry < count; ++entry) {
        if (body.size() - at < fixed)
            return std::nullopt;
        const std::uint16_t flags = bigEndian16(body, at + fixed - 2);
        std::size_t nameAt = at + fixed;
        if (flags & 0x4000) { // extended flags follow
            if (version < 3 || body.size() - nameAt < 2)
                return std::nullopt;
            nameAt += 2;
        }
        std::string_view name;
        if (version == 4) {
            // How many bytes of the name before to drop, as git's varint, then the rest.
            if (nameAt >= body.size())
                return std::nullopt;
            std::uint8_t byte = std::uint8_t(body[nameAt++]);
            std::uint64_t drop = byte & 0x7f;
            while (byte & 0x80) {
                if (nameAt >= body.size() || drop >= (std::uint64_t(1) << 40))
                    return std::nullopt;
                byte = std::uint8_t(body[nameAt++]);
                drop = ((drop + 1) << 7) | (byte & 0x7f);
            }
            const std::size_t end = body.find('\0', nameAt);
            if (end == std::string_view::npos || drop > previous.size())
                return std::nullopt;
            previous.resize(previous.size() - std::size_t(drop));
            previous.append(body.substr(nameAt, end - nameAt));
            name = previous;
            at = end + 1;
        } else {
            const std::size_t end = body.find('\0', nameAt);
            if (end == std::string_view::npos)
                return std::nullopt;
            name = body.substr(nameAt, end - nameAt);
            // Padded with one to eight NULs to a multiple of eight bytes.
            const std::size_t size = (nameAt - at + name.size() + 8) & ~std::size_t(7);
            if (body.size() - at < size)
                return std::nullopt;
            at += size;
        }
        // The flags hold the name's length, up to 0xfff for any longer one.
        const std::size_t length = flags & 0xfff;
        if (name.empty() || (length < 0xfff ? name.size() != length : name.size() < 0xfff))
            return std::nullopt;
        const unsigned stage = (flags >> 12) & 3;
        for (std::size_t i = 0; i < paths.size(); ++i)
            if (!found[i] && isAtOrBelow(name, paths[i], stage, config.ignoreCase))
                found[i] = true;
    }
    // Extensions: a signature, a length and as many bytes. One whose signature does not begin
    // with a capital letter changes what the entries mean (a split index, a sparse one).
    while (at < body.size()) {
        if (body.size() - at < 8 || body[at] < 'A' || body[at] > 'Z' ||
            body.size() - at - 8 < bigEndian32(body, at + 4))
            return std::nullopt;
        at += 8 + bigEndian32(body, at + 4);
    }
    return found;
}

} // namespace dovrane::gitfiles
