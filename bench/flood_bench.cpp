// How the window fares while a neighbour floods its single-instance socket: the window opens
// with the instance listening on a socket in a temporary folder and the process's open files
// limited to FILES (1024 unless given, the usual default), then a neighbour process opens
// CONNECTIONS silent connections to it (1500 unless given) and holds them for SECONDS (15 unless
// given), lets go, and hands over one app as a second start would. A probe notes the longest gap
// between two turns of the event loop; the process's processor time over each step is shown as
// a share of one core (the probe's own timer takes a little of it). Offscreen unless
// QT_QPA_PLATFORM names another platform. Works in a temporary folder only.
//
//   build/bin/flood_bench [CONNECTIONS [SECONDS [FILES]]]

#include "ToolSupport.h"
#include "WindowBench.h"

#include "App/SingleInstance.h"
#include "Services/Translations.h"
#include "UiKit/Setup.h"
#include "WindowBehavior/WindowPlacement.h"

#include <DovraneKit/system/FileSystem.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dovrane;

namespace {

// The neighbour: a process of its own, made before the window's threads start, that floods,
// lets go and hands over on a word from the window's process, and answers each word once done.
class Neighbour {
public:
    Neighbour(std::string path, int connections) {
        int orders[2], answers[2];
        if (::pipe(orders) != 0 || ::pipe(answers) != 0)
            return;
        child_ = ::fork();
        if (child_ == 0) {
            ::close(orders[1]);
            ::close(answers[0]);
            serve(path, connections, orders[0], answers[1]);
            ::_exit(0);
        }
        ::close(orders[0]);
        ::close(answers[1]);
        orders_ = orders[1];
        answers_ = answers[0];
        ::fcntl(answers_, F_SETFL, O_NONBLOCK);
    }
    ~Neighbour() {
        ::close(orders_);
        ::close(answers_);
        if (child_ > 0)
            ::waitpid(child_, nullptr, 0);
    }
    Neighbour(const Neighbour&) = delete;
    Neighbour& operator=(const Neighbour&) = delete;

    bool started() const { return child_ > 0; }
    void order(char word) { (void)!::write(orders_, &word, 1); }
    // The neighbour's answer to the last order, once there is one: '+' done, '-' failed.
    char answer() {
        char word = 0;
        return ::read(answers_, &word, 1) == 1 ? word : 0;
    }

private:
    static void serve(const std::string& path, int connections, int orders, int answers) {
        // As many descriptors as the flood needs.
        rlimit files{};
        ::getrlimit(RLIMIT_NOFILE, &files);
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.c_str(), std::min(path.size(), sizeof address.sun_path - 1));
        std::vector<int> held;
        for (char word = 0; ::read(orders, &word, 1) == 1;) {
            bool done = true;
            if (word == 'f') {
                for (int made = 0; made < connections; ++made) {
                    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
                    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
                        done = false;
                        break;
                    }
                    held.push_back(fd);
                }
            } else if (word == 'r') {
                for (int fd : held)
                    ::close(fd);
                held.clear();
            } else if (word == 'h') {
                done = SingleInstance::handOff({Url::fromPath("/Applications/Second Start.app")},
                                               QString::fromStdString(path));
            }
            const char answer = done ? '+' : '-';
            (void)!::write(answers, &answer, 1);
        }
    }

    pid_t child_ = -1;
    int orders_ = -1, answers_ = -1;
};

double processorSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One table row: the window's longest time away, the step's time and the processor's share.
struct Step {
    Step(bench::EventLoopProbe& probe, const char* name) : probe_(probe), name_(name), cpu_(processorSeconds()) {
        probe_.reset();
        clock_.start();
    }
    void print(const char* note = "") {
        const double took = double(clock_.nsecsElapsed()) / 1e9;
        std::printf("| %-46s | %8.3f s | %8.3f s | %5.0f %% |%s\n", name_, probe_.longest(), took,
                    100 * (processorSeconds() - cpu_) / std::max(took, 1e-9), note);
        std::fflush(stdout);
    }

private:
    bench::EventLoopProbe& probe_;
    const char* name_;
    double cpu_;
    QElapsedTimer clock_;
};

// Runs the event loop until done answers true, asked every 10 ms, at most `limit` seconds; false
// at the limit. The loop sleeps in between, so that the processor's share is the window's own.
bool sleepUntil(const std::function<bool()>& done, double limit) {
    QEventLoop loop;
    QTimer ask;
    QObject::connect(&ask, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    ask.start(10);
    QTimer::singleShot(int(limit * 1000), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

// Runs the event loop until the neighbour answers, at most `limit` seconds: its answer, or 0.
char awaitAnswer(Neighbour& neighbour, double limit) {
    char answer = 0;
    sleepUntil([&] { return answer != 0 || (answer = neighbour.answer()) != 0; }, limit);
    return answer;
}

} // namespace

int main(int argc, char** argv) {
    const tool::Forms forms("flood_bench", {{"[CONNECTIONS]", "[SECONDS]", "[FILES]"}},
                            "CONNECTIONS: silent connections the neighbour holds, 1500 unless given; SECONDS: how "
                            "long it holds them, 15 unless given; FILES: the window's limit of open files, 1024 "
                            "unless given");
    const auto args = tool::arguments(argc, argv);
    if (!forms.match(args))
        return forms.answer(args);
    const auto connections = forms.number(args, 0, "CONNECTIONS", 1500, 1, 100'000);
    const auto seconds = forms.number(args, 1, "SECONDS", 15, 1, 3600);
    const auto files = forms.number(args, 2, "FILES", 1024, 64, 1'000'000);
    if (!connections || !seconds || !files)
        return tool::usageError;

    auto folder = Fs::makeUniqueDirectory(Fs::temporaryDirectory(), "dovrane-flood-bench-");
    if (!folder)
        return 1;
    const std::string home = Path::join(*folder, "home");
    Fs::makeDirectories(home);
    bench::useThrowawayHome(*folder, home);
    const std::string path = Path::join(*folder, "instance");
    int status = 0;
    {
        Neighbour neighbour(path, int(*connections));
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = std::min<rlim_t>(rlim_t(*files), limit.rlim_max);
        if (!neighbour.started() || ::setrlimit(RLIMIT_NOFILE, &limit) != 0) {
            std::fprintf(stderr, "flood_bench: cannot start the neighbour or limit the open files\n");
            Fs::removeAll(*folder);
            return 1;
        }

        QApplication application(argc, argv);
        UiKit::install();
        Translations::install();
        bench::ShownWindow shown;
        int handedOver = 0, comeForward = 0;
        // As the application's: each start, with apps or without, brings the window forward.
        SingleInstance instance([&](const std::vector<Url>& urls) {
            WindowPlacement::bringToFront(&shown.window);
            ++(urls.empty() ? comeForward : handedOver);
        });
        if (!instance.listen(QString::fromStdString(path))) {
            std::fprintf(stderr, "flood_bench: cannot listen at %s\n", path.c_str());
            Fs::removeAll(*folder);
            return 1;
        }
        bench::EventLoopProbe probe;
        sleepUntil([] { return false; }, 0.5);

        std::printf("%lld connections held for %lld s, %lu open files at most, platform %s\n\n", *connections, *seconds,
                    static_cast<unsigned long>(limit.rlim_cur), qPrintable(QGuiApplication::platformName()));
        std::printf("| %-46s | %10s | %10s | %7s |\n", "step", "away", "took", "cpu");
        std::printf("|%s|%s|%s|%s|\n", std::string(48, '-').c_str(), std::string(12, '-').c_str(),
                    std::string(12, '-').c_str(), std::string(9, '-').c_str());
        {
            Step step(probe, "The window alone, 2 s");
            sleepUntil([] { return false; }, 2);
            step.print();
        }
        {
            Step step(probe, "The neighbour connects");
            neighbour.order('f');
            const char answer = awaitAnswer(neighbour, double(*seconds));
            step.print(answer == '+' ? "" : " not every connection was made");
        }
        {
            Step step(probe, "The neighbour holds them");
            sleepUntil([] { return false; }, double(*seconds));
            step.print();
        }
        {
            Step step(probe, "It lets go; a second start hands over one app");
            neighbour.order('r');
            awaitAnswer(neighbour, 60);
            neighbour.order('h');
            const bool sent = awaitAnswer(neighbour, 60) == '+';
            const bool arrived = sent && sleepUntil([&] { return handedOver > 0; }, 300);
            step.print(arrived ? "" : sent ? " the app did not arrive" : " the hand-off failed");
            status = arrived ? 0 : 1;
        }
        std::printf("\n%d connections ended as a start without apps\n", comeForward);
    }
    Fs::removeAll(*folder);
    return status;
}
