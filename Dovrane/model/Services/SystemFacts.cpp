#include "Services/SystemFacts.h"

#include <DovraneKit/system/FileSystem.h>

#include <sys/utsname.h>

#include <QString>

#include <cstdlib>
#include <cstring>

namespace dovrane::SystemFacts {

namespace {
// The machine field of uname, up to its first zero byte, at most 256 bytes, as valid UTF-8.
std::string unameField(const char* field, size_t capacity) {
    const size_t length = strnlen(field, std::min<size_t>(capacity, 256));
    return QString::fromUtf8(field, qsizetype(length)).toStdString();
}

// A value as the shell reads it: "…" with \\ \" \$ \` escaped, '…' taken as it stands, or bare.
std::string unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
        return std::string(value.substr(1, value.size() - 2));
    if (value.size() < 2 || value.front() != '"' || value.back() != '"')
        return std::string(value);
    value = value.substr(1, value.size() - 2);
    std::string text;
    for (size_t index = 0; index < value.size(); ++index) {
        if (value[index] == '\\' && index + 1 < value.size() &&
            std::string_view("\\\"$`").find(value[index + 1]) != std::string_view::npos)
            ++index;
        text += value[index];
    }
    return text;
}

} // namespace

std::string prettyName(std::string_view osRelease) {
    std::string_view found;
    while (!osRelease.empty()) {
        const size_t end = osRelease.find('\n');
        std::string_view line = osRelease.substr(0, end);
        osRelease = end == std::string_view::npos ? std::string_view() : osRelease.substr(end + 1);
        if (line.starts_with("PRETTY_NAME="))
            found = line.substr(12);
    }
    // The diagnostics are six lines of text: no control character may break one.
    QString name = QString::fromStdString(unquoted(found));
    for (QChar& character : name)
        if (character.category() == QChar::Other_Control || character.category() == QChar::Other_Format)
            character = QLatin1Char(' ');
    name = name.simplified();
    if (name.size() > 100)
        name = name.left(name[99].isHighSurrogate() ? 99 : 100);
    return name.toStdString();
}

std::string threeNumberVersion(std::string_view release) {
    std::string numbers[3] = {"0", "0", "0"};
    size_t position = 0;
    for (int index = 0; index < 3; ++index) {
        size_t end = position;
        while (end < release.size() && release[end] >= '0' && release[end] <= '9')
            ++end;
        if (end == position)
            break;
        numbers[index] = std::string(release.substr(position, end - position));
        if (end >= release.size() || release[end] != '.')
            break;
        position = end + 1;
    }
    return numbers[0] + "." + numbers[1] + "." + numbers[2];
}

std::string languageTag(std::string_view localeName) {
    localeName = localeName.substr(0, localeName.find_first_of(".@"));
    if (localeName.empty() || localeName == "C" || localeName == "POSIX")
        return {};
    std::string tag(localeName);
    for (char& character : tag)
        if (character == '_')
            character = '-';
    return tag;
}

std::string kernelVersion() {
    struct utsname names {};
    if (uname(&names) != 0)
        return threeNumberVersion("");
    return threeNumberVersion(unameField(names.release, sizeof names.release));
}

std::string distribution(const std::vector<std::string>& osReleaseFiles) {
    for (const std::string& file : osReleaseFiles) {
        if (const std::optional<std::string> text = Fs::readFile(file, 64 * 1024)) {
            const std::string name = prettyName(*text);
            return name.empty() ? "Linux" : name;
        }
    }
    return "Linux";
}

std::string machine() {
    struct utsname names {};
    if (uname(&names) != 0)
        return "?";
    return unameField(names.machine, sizeof names.machine);
}

std::string preferredLanguageTag() {
    // The order in which the C library looks for the language of messages; LANGUAGE is a list.
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value)
            continue;
        std::string_view first(value);
        first = first.substr(0, first.find(':'));
        std::string tag = languageTag(first);
        if (!tag.empty())
            return tag;
    }
    return "?";
}

} // namespace dovrane::SystemFacts
