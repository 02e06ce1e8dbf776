#include "Services/Workspace.h"

#include <DovraneKit/apps/AppInventory.h>
#include <DovraneKit/apps/BundleInfo.h>
#include <DovraneKit/system/FileSystem.h>

#include <QFile>
#include <QProcess>
#include <QStringList>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>

namespace dovrane {

namespace {

std::optional<std::string> readLink(const std::string& path) {
    std::string buffer(4096, '\0');
    const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
    if (length <= 0 || size_t(length) >= buffer.size())
        return std::nullopt;
    buffer.resize(size_t(length));
    return buffer;
}

std::vector<std::string> splitNul(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\0', start);
        if (end == std::string::npos)
            end = text.size();
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::optional<pid_t> pidOf(const std::string& name) {
    pid_t pid = 0;
    auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (error != std::errc() || end != name.data() + name.size() || pid <= 0)
        return std::nullopt;
    return pid;
}

std::optional<std::string> identifierOf(const Url& bundle) {
    auto info = BundleInfo::read(bundle);
    if (!info)
        return std::nullopt;
    auto it = info->find("CFBundleIdentifier");
    if (it == info->end() || !it->second.string() || it->second.string()->empty())
        return std::nullopt;
    return *it->second.string();
}

QString qPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

} // namespace

ProcWorkspace::ProcWorkspace(Url home, std::optional<std::vector<Url>> applicationFolders, Paths paths)
    : home_(std::move(home)), applicationFolders_(std::move(applicationFolders)), paths_(std::move(paths)) {}

std::optional<ProcWorkspace::ProcessStat> ProcWorkspace::parseStat(std::string_view text) {
    const size_t close = text.rfind(')');
    if (close == std::string_view::npos)
        return std::nullopt;
    // After ") " come the fields from the third on: state is field 3, the start time field 22.
    std::string_view rest = text.substr(close + 1);
    std::vector<std::string_view> fields;
    size_t position = 0;
    while (position < rest.size()) {
        while (position < rest.size() && rest[position] == ' ')
            ++position;
        size_t end = rest.find(' ', position);
        if (end == std::string_view::npos)
            end = rest.size();
        if (end > position)
            fields.push_back(rest.substr(position, end - position));
        position = end;
    }
    constexpr size_t stateIndex = 0, startIndex = 22 - 3;
    if (fields.size() <= startIndex || fields[stateIndex].size() != 1)
        return std::nullopt;
    ProcessStat stat;
    stat.state = fields[stateIndex][0];
    const std::string_view start = fields[startIndex];
    auto [end, error] = std::from_chars(start.data(), start.data() + start.size(), stat.startTime);
    if (error != std::errc() || end != start.data() + start.size())
        return std::nullopt;
    return stat;
}

std::optional<std::string> ProcWorkspace::bundleOfProgram(std::string_view path) {
    constexpr std::string_view marker = ".app/Contents/MacOS/";
    const size_t found = path.rfind(marker);
    if (path.empty() || path[0] != '/' || found == std::string_view::npos)
        return std::nullopt;
    const std::string_view program = path.substr(found + marker.size());
    if (program.empty() || program.find('/') != std::string_view::npos)
        return std::nullopt;
    const std::string_view bundle = path.substr(0, found + 4);
    if (Path::lastComponent(bundle) == ".app")
        return std::nullopt;
    return std::string(bundle);
}

std::optional<ProcWorkspace::ProcessStat> ProcWorkspace::stat(pid_t pid) const {
    auto text = Fs::readFile(Path::join(Path::join(paths_.proc, std::to_string(pid)), "stat"), 1 << 16);
    if (!text)
        return std::nullopt;
    return parseStat(*text);
}

std::vector<RunningApplication> ProcWorkspace::runningApplications() const {
    std::vector<RunningApplication> applications;
    const uid_t user = getuid();
    for (const std::string& name : Fs::list(paths_.proc)) {
        auto pid = pidOf(name);
        if (!pid)
            continue;
        const std::string folder = Path::join(paths_.proc, name);
        struct stat info {};
        if (::stat(folder.c_str(), &info) != 0 || info.st_uid != user)
            continue;
        std::optional<std::string> bundle;
        if (auto program = readLink(Path::join(folder, "exe")))
            bundle = bundleOfProgram(*program);
        if (!bundle) {
            // A script: the interpreter runs, and the script is its first absolute argument.
            auto commandLine = Fs::readFile(Path::join(folder, "cmdline"), 1 << 20);
            const auto arguments = commandLine ? splitNul(*commandLine) : std::vector<std::string>();
            for (size_t index = 1; index < arguments.size() && !bundle; ++index)
                if (!arguments[index].empty() && arguments[index][0] == '/') {
                    bundle = bundleOfProgram(arguments[index]);
                    break;
                }
        }
        if (!bundle)
            continue;
        auto processStat = stat(*pid);
        if (!processStat || processStat->state == 'Z' || processStat->state == 'X')
            continue;
        const Url url = Url::fromPath(*bundle);
        applications.push_back({*pid, processStat->startTime, url, identifierOf(url)});
    }
    return applications;
}

bool ProcWorkspace::isTerminated(const RunningApplication& application) const {
    auto current = stat(application.pid);
    return !current || current->state == 'Z' || current->state == 'X' || current->startTime != application.startTime;
}

bool ProcWorkspace::terminate(const RunningApplication& application) {
    if (isTerminated(application))
        return false;
    return kill(application.pid, SIGTERM) == 0;
}

bool ProcWorkspace::open(const Url& url) {
    const std::string scheme = url.scheme();
    if (scheme != "http" && scheme != "https" && scheme != "mailto")
        return false;
    if (!Fs::isExecutableFile(paths_.opener))
        return false;
    return QProcess::startDetached(qPath(paths_.opener), {QString::fromStdString(url.text())});
}

bool ProcWorkspace::openApplication(const Url& bundle) {
    if (!bundle.isFile())
        return false;
    std::string program;
    if (auto info = BundleInfo::read(bundle)) {
        auto it = info->find("CFBundleExecutable");
        if (it != info->end() && it->second.string())
            program = *it->second.string();
    }
    if (program.empty() || program.find('/') != std::string::npos)
        program = Path::deletingExtension(bundle.lastPathComponent());
    const std::string executable = Path::join(Path::join(bundle.path(), "Contents/MacOS"), program);
    if (!Fs::isExecutableFile(executable) || !Fs::isExecutableFile(paths_.setsid))
        return false;
    return QProcess::startDetached(qPath(paths_.setsid), {qPath(executable)});
}

std::optional<Url> ProcWorkspace::applicationURL(const std::string& bundleID) const {
    const AppInventory inventory(home_, applicationFolders_, {});
    for (const Url& folder : inventory.folders)
        for (const std::string& name : Fs::list(folder.path())) {
            if (Path::extension(name) != "app")
                continue;
            const Url bundle = folder.appending(name);
            if (identifierOf(bundle) == bundleID)
                return bundle;
        }
    return std::nullopt;
}

} // namespace dovrane
