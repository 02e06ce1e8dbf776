#include "Services/LoginItem.h"

#include <DovraneKit/system/FileSystem.h>

#include <QString>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace dovrane {

namespace {
bool isUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size())).toUtf8() == QByteArray::fromStdString(text);
}
} // namespace

AutostartEntry::AutostartEntry(std::string configHome, std::string executable)
    : configHome_(std::move(configHome)), executable_(std::move(executable)) {}

std::string AutostartEntry::path() const { return Path::join(Path::join(configHome_, "autostart"), "dovrane.desktop"); }

std::string AutostartEntry::execArgument(const std::string& argument) {
    // Inside double quotes the specification wants ", `, $ and \ escaped with a backslash, and
    // a literal % doubled; the string-value escaping then doubles every backslash once more.
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (char c : quoted)
        value += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return value;
}

std::optional<std::string> AutostartEntry::entryText(const std::string& executable) {
    if (executable.empty() || executable.find_first_of("\n\r") != std::string::npos || !isUtf8(executable))
        return std::nullopt;
    return "[Desktop Entry]\nType=Application\nName=Dovrane\nExec=" + execArgument(executable) +
           "\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
}

std::optional<std::string> AutostartEntry::set(bool on) {
    const std::string entry = path();
    if (!on) {
        if (unlink(entry.c_str()) != 0 && errno != ENOENT)
            return std::strerror(errno);
        return std::nullopt;
    }
    auto text = entryText(executable_);
    if (!text)
        return "the program's path cannot be written into an autostart entry: " + executable_;
    if (!Fs::makeDirectories(Path::parent(entry)) || !Fs::writeFileAtomically(entry, *text))
        return "could not write " + entry;
    return std::nullopt;
}

bool AutostartEntry::followExecutable() {
    // A write of the entry killed before its rename leaves its temporary file beside it.
    Fs::removeStaleTemporaries(path());
    if (!isOn())
        return true;
    const auto text = Fs::readFile(path(), 1 << 20);
    const std::string exec = "\nExec=" + execArgument(executable_) + "\n";
    if (text && text->find(exec) != std::string::npos)
        return true;
    return !set(true).has_value();
}

bool AutostartEntry::isOn() const {
    auto text = Fs::readFile(path(), 1 << 20);
    if (!text || text->find("[Desktop Entry]") == std::string::npos)
        return false;
    // An entry that is hidden or switched off no longer starts anything.
    return text->find("\nHidden=true") == std::string::npos &&
           text->find("\nX-GNOME-Autostart-enabled=false") == std::string::npos;
}

} // namespace dovrane
