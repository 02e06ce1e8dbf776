#include "support/FakePkexec.h"

#include "support/TestSupport.h"

#include <DovraneKit/system/FileSystem.h>

#include <sys/stat.h>

#include <sstream>

namespace dovrane::testing {

FakePkexec::FakePkexec(std::string folder) : folder_(std::move(folder)), script_(Path::join(folder_, "pkexec")) {
    const std::string calls = Path::join(folder_, "calls");
    const std::string sessions = Path::join(folder_, "sessions");
    const std::string refuse = Path::join(folder_, "refuse");
    const std::string pretend = Path::join(folder_, "pretend");
    const std::string before = Path::join(folder_, "before");
    // Field 6 of /proc/PID/stat is the session; this script's name holds no blank.
    writeFile(script_, "#!/bin/sh\n"
                       "printf '%s\\0' \"$#\" \"$@\" >> '" +
                           calls +
                           "'\n"
                           "echo \"$$ $(awk '{print $6}' /proc/$$/stat) $(readlink /proc/$$/fd/0)\" >> '" +
                           sessions +
                           "'\n"
                           "[ -e '" +
                           refuse +
                           "' ] && exit 126\n"
                           "[ -e '" +
                           pretend +
                           "' ] && exit 0\n"
                           "[ -e '" +
                           before + "' ] && { /bin/sh '" + before + "'; rm -f '" + before +
                           "'; }\n"
                           "exec \"$@\"\n");
    chmod(script_.c_str(), 0755);
}

SystemPaths FakePkexec::paths() const {
    SystemPaths paths;
    paths.pkexec = script_;
    return paths;
}

namespace {
void setSwitch(const std::string& path, bool on) {
    if (on)
        writeFile(path);
    else
        Fs::removeAll(path);
}
} // namespace

Services FakePkexec::applied(Services services) const {
    services.systemPaths = paths();
    return services;
}

void FakePkexec::setRefusing(bool refusing) const { setSwitch(Path::join(folder_, "refuse"), refusing); }

void FakePkexec::setPretending(bool pretending) const { setSwitch(Path::join(folder_, "pretend"), pretending); }

void FakePkexec::setBeforeNextRun(const std::string& shellLine) const {
    if (shellLine.empty())
        Fs::removeAll(Path::join(folder_, "before"));
    else
        writeFile(Path::join(folder_, "before"), shellLine + "\n");
}

std::vector<std::vector<std::string>> FakePkexec::calls() const {
    const std::string text = Fs::readFile(Path::join(folder_, "calls")).value_or("");
    std::vector<std::string> words;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\0', start);
        words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::vector<std::vector<std::string>> calls;
    for (size_t i = 0; i < words.size();) {
        const size_t count = std::stoul(words[i]);
        calls.emplace_back(words.begin() + long(i) + 1, words.begin() + long(i + 1 + count));
        i += 1 + count;
    }
    return calls;
}

std::vector<FakePkexec::Session> FakePkexec::sessions() const {
    std::istringstream lines(Fs::readFile(Path::join(folder_, "sessions")).value_or(""));
    std::vector<Session> sessions;
    std::string pid, session, input;
    while (lines >> pid >> session >> input)
        sessions.push_back({pid == session, input == "/dev/null"});
    return sessions;
}

} // namespace dovrane::testing
