#include "DovraneKit/formats/DesktopEntry.h"

#include "DovraneKit/core/TextPieces.h"
#include "DovraneKit/system/FileSystem.h"

namespace dovrane::DesktopEntry {

namespace {

// Menu entries are a few kilobytes; a larger file is not one.
constexpr std::uint64_t maximumEntrySize = 256u << 10;

} // namespace

std::map<std::string, std::string> keys(std::string_view text) {
    std::map<std::string, std::string> found;
    bool inEntry = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = trimmedLine(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inEntry || equals == std::string_view::npos)
            continue;
        std::string_view key = trimmedLine(line.substr(0, equals));
        if (key.empty() || key.find('[') != std::string_view::npos)
            continue;
        found[std::string(key)] = std::string(trimmedLine(line.substr(equals + 1)));
    }
    return found;
}

std::optional<std::string> program(std::string_view commandLine) {
    commandLine = trimmedLine(commandLine);
    if (commandLine.empty())
        return std::nullopt;
    std::string word;
    if (commandLine.front() == '"') {
        // Inside quotes a backslash escapes the next character.
        for (std::size_t i = 1; i < commandLine.size(); ++i) {
            char c = commandLine[i];
            if (c == '"')
                return word;
            if (c == '\\' && i + 1 < commandLine.size())
                c = commandLine[++i];
            word += c;
        }
        return std::nullopt; // unterminated quote
    }
    word = std::string(commandLine.substr(0, commandLine.find_first_of(" \t")));
    return word;
}

bool starts(const std::string& path, const std::string& executable) {
    auto text = Fs::readFile(path, maximumEntrySize);
    if (!text)
        return false;
    const auto entry = keys(*text);
    // TryExec is a path as it stands; Exec a command line whose first word is the program.
    if (auto tryExec = entry.find("TryExec"); tryExec != entry.end() && tryExec->second == executable)
        return true;
    auto exec = entry.find("Exec");
    if (exec == entry.end())
        return false;
    auto started = program(exec->second);
    return started && *started == executable;
}

std::vector<std::string> installedIdentifiers(const std::string& dataHome, std::string_view dataDirs) {
    if (dataDirs.empty())
        dataDirs = "/usr/local/share:/usr/share";
    std::vector<std::string> folders = {dataHome};
    while (!dataDirs.empty()) {
        const auto colon = dataDirs.find(':');
        std::string_view folder = dataDirs.substr(0, colon);
        if (folder.starts_with("/")) // relative entries are invalid and ignored
            folders.emplace_back(folder);
        dataDirs = colon == std::string_view::npos ? std::string_view() : dataDirs.substr(colon + 1);
    }
    std::vector<std::string> identifiers;
    for (const std::string& folder : folders)
        for (const std::string& name : Fs::list(Path::join(folder, "applications")))
            if (name.size() > 8 && name.ends_with(".desktop"))
                identifiers.push_back(name.substr(0, name.size() - 8));
    return identifiers;
}

} // namespace dovrane::DesktopEntry
