#include "Services/SystemFacts.h"

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
} // namespace

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

std::string systemVersion() {
    struct utsname names {};
    if (uname(&names) != 0)
        return threeNumberVersion("");
    return threeNumberVersion(unameField(names.release, sizeof names.release));
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
