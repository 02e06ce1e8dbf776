#include "SelfTest/SelfTest.h"

#include "App/ExitCode.h"
#include "AppModel/AppModel.h"
#include "SelfTest/InstallChecks.h"
#include "SelfTest/Traces.h"
#include "SelfTest/UpdateTrace.h"
#include "Store/Store.h"

#include <DovraneKit/apps/Leftovers.h>
#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/system/HomeLayout.h>
#include <DovraneKit/system/SizeCounter.h>
#include <DovraneKit/system/VolumeInfo.h>

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace dovrane::SelfTest {

namespace {

const std::string bundleID = "com.marrowdine.dovrane.selftest";
const QString title = QStringLiteral("Self-test");
constexpr int fileSize = 64'000;

int count = 0;
int failures = 0;
QPointer<AppModel> runningModel;

void check(const std::string& name, bool passed, const std::string& detail = {}) {
    ++count;
    if (!passed)
        ++failures;
    if (passed)
        printLine("PASS " + name + "\n");
    else
        printLine("FAIL " + name + (detail.empty() ? "" : ": " + detail) + "\n");
}

// The check run: steps on the main thread, each continuing when the model's operation it
// waits for has finished there. It never blocks the main thread, whose event loop finishes
// those very operations.
class CheckRun : public std::enable_shared_from_this<CheckRun> {
public:
    explicit CheckRun(AppModel& model) : model_(&model) {}

    void start() {
        QTimer::singleShot(500, qApp, [self = shared_from_this()] { self->moveToTrash(); });
    }

private:
    void moveToTrash() {
        root_ = makeWorkFolder();
        if (root_.empty()) {
            check("a work folder can be made", false);
            return end(1);
        }
        runFolder_ = Path::join(root_, Fs::makeUuid());
        Fs::makeDirectories(runFolder_);
        for (int number = 1; number <= 3; ++number) {
            files_.push_back(Path::join(runFolder_, "cache-" + std::to_string(number) + ".bin"));
            Fs::writeFile(files_.back(), std::string(fileSize, '\x01'));
        }
        if (!model_)
            return end(1);

        const TrashPlan guarded = model_->trasher().plan(
            {{Url::fromPath("/System/Library"), 1, 1, false}, {Url::fromPath(files_[0]), fileSize, 1, false}});
        check("the blocklist refuses /System in a plan", guarded.refused.size() == 1 && guarded.entries.size() == 1);

        std::vector<CleanupItem> items;
        for (const std::string& file : files_) {
            const Url url = Url::fromPath(file);
            items.emplace_back(url, std::nullopt, SizeCounter::measure(url).size, 1, std::nullopt, "self-test",
                               "selftest", Safety::safe, CleanupAction::trash);
        }
        // The plan is made off the main thread; the sheet shows once it is ready.
        model_->requestCleanup(std::move(items), title).then(qApp, [self = shared_from_this()] { self->planned(); });
    }

    void planned() {
        if (!model_)
            return end(1);
        const CleanupRequest* request = model_->sheet() ? model_->sheet()->cleanupRequest() : nullptr;
        if (!request) {
            check("the cleanup sheet opens with a plan", false);
            return end(1);
        }
        check("the plan counts three files", request->plan.files() == 3);
        model_->perform(*request).then(qApp, [self = shared_from_this()] { self->checkJournal(); });
    }

    bool allGone() const {
        return std::none_of(files_.begin(), files_.end(), [](const std::string& file) { return Fs::exists(file); });
    }
    bool allBack() const {
        return std::all_of(files_.begin(), files_.end(), [](const std::string& file) { return Fs::exists(file); });
    }

    // This run's record: on a reused store the first "Self-test" record may be an earlier
    // run's, already put back. Only this run's items lie in its freshly named run folder.
    std::shared_ptr<Removal> thisRunsRecord() const {
        const auto removals = model_->container().removals();
        if (!removals)
            return nullptr;
        const std::string inRunFolder = runFolder_ + "/";
        for (const std::shared_ptr<Removal>& removal : *removals)
            if (removal->title() == title && !removal->items().empty() &&
                std::all_of(removal->items().begin(), removal->items().end(),
                            [&](const RemovedItem& item) { return item.originalPath.path().starts_with(inRunFolder); }))
                return removal;
        return nullptr;
    }

    void checkJournal() {
        check("the files left their folder", allGone());
        if (!model_)
            return end(1);
        entry_ = thisRunsRecord();
        if (!entry_) {
            check("a journal entry lists three items", false);
            check("the items are in the Trash", false);
            return checkLeftovers();
        }
        // Listed is not enough: the record must be in the database, where Put Back finds it later.
        check("a journal entry lists three items", entry_->items().size() == 3 && !model_->container().hasChanges(),
              model_->container().hasChanges() ? "the database could not be saved" : "");
        check("the items are in the Trash",
              std::all_of(entry_->items().begin(), entry_->items().end(), &Trasher::isInTrash));
        model_->undo(entry_).then(qApp, [self = shared_from_this()] { self->checkPutBack(); });
    }

    void checkPutBack() {
        check("Put Back restores every file", allBack());
        check("the entry is marked as put back", entry_->undone());
        checkLeftovers();
    }

    void checkLeftovers() {
        const LeftoverFinder finder(Url::fromPath(Fs::homeDirectory()), Url::fromPath("/Library"));
        const std::vector<Leftover> found = finder.find(bundleID, "Dovrane Selftest", std::nullopt, std::nullopt);
        // The search reads the home's cache folder, Library/Caches or the Linux cache home, where
        // the run's folder lies; without one there is nothing of ours to find.
        if (leftoversFindable_)
            check("leftovers are found by bundle id",
                  std::any_of(found.begin(), found.end(), [](const Leftover& leftover) {
                      return leftover.exact && leftover.url.lastPathComponent() == bundleID;
                  }));
        else
            printLine("SKIP leftovers: this home keeps no Library/Caches folder\n");
        updateChecks(root_).then(qApp, [self = shared_from_this()](const std::vector<CheckReport>& reports) {
            for (const CheckReport& report : reports) {
                if (report.name.empty())
                    printLine("SKIP update install: no Apple Development certificate on this computer\n");
                else
                    check(report.name, report.passed, report.detail);
            }
            self->checkVolume();
        });
    }

    void checkVolume() {
        if (const auto volume = VolumeInfo::read(Url::fromPath("/")))
            check("free space is within the disk size", volume->free > 0 && volume->free <= volume->total);
        if (failures == 0)
            printLine("SELFTEST PASS " + std::to_string(count) + " checks\n");
        else
            printLine("SELFTEST FAIL " + std::to_string(failures) + " of " + std::to_string(count) + " checks\n");
        end(failures == 0 ? 0 : 1);
    }

    // The run's own folder in the folder the scan reads as the home's caches, so that its files
    // go to the home's Trash; in the temporary folder when the home has none, since a folder the
    // run made there would stay behind in the home.
    std::string makeWorkFolder() {
        const std::string home = Fs::homeDirectory();
        const std::string caches = HomeLayout(Url::fromPath(home)).folder("Library/Caches").path();
        if (!Fs::isDirectory(caches))
            return Fs::makeUniqueDirectory(Fs::temporaryDirectory(), bundleID + "-").value_or(std::string());
        const std::string folder = Path::join(caches, bundleID);
        leftoversFindable_ = true;
        return Fs::makeDirectories(folder, 0700) ? folder : std::string();
    }

    void end(int code) {
        if (!root_.empty())
            Fs::removeAll(root_);
        finish(code);
    }

    QPointer<AppModel> model_;
    std::string root_;
    bool leftoversFindable_ = false;
    std::string runFolder_;
    std::vector<std::string> files_;
    std::shared_ptr<Removal> entry_;
};

} // namespace

std::vector<std::string> launchArguments() {
    std::vector<std::string> arguments;
    for (const QString& argument : QCoreApplication::arguments())
        arguments.push_back(argument.toLocal8Bit().toStdString());
    return arguments;
}

bool requested(const std::vector<std::string>& arguments) {
    return std::find(arguments.begin(), arguments.end(), "--selftest") != arguments.end();
}

void preferHeadless(const std::vector<std::string>& arguments) {
    if (std::getenv("QT_QPA_PLATFORM"))
        return;
    // The traces start from the launch steps, after the application: without a display they
    // would never start.
    const bool trace = std::any_of(arguments.begin(), arguments.end(), [](const std::string& argument) {
        return argument == "--scan-trace" || argument == "--update-trace";
    });
    const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (requested(arguments) || (trace && !display))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

std::optional<std::string> refusal(const std::vector<std::string>& arguments) {
    return requested(arguments) ? Store::refusalLine("SELFTEST") : std::nullopt;
}

int refuseUnopenedStore(const std::vector<std::string>& arguments, const std::string& path, const std::string& reason) {
    if (requested(arguments)) {
        printLine("SELFTEST refused: the database at " + path + " could not be opened: " + reason + "\n");
        printLine("EXIT 1\n");
        std::fflush(stdout);
    }
    return 1;
}

void runIfRequested(AppModel& model) {
    static bool started = false;
    if (std::exchange(started, true))
        return;
    const std::vector<std::string> arguments = launchArguments();
    traceIfRequested(arguments);
    updateTraceIfRequested(arguments);
    if (!requested(arguments))
        return;
    useLineBuffering();
    runningModel = &model;
    if (!Store::isOverridden()) {
        printLine("SELFTEST refused: set APP_STORE to a file in /tmp\n");
        finish(1);
        return;
    }
    std::make_shared<CheckRun>(model)->start();
}

void finish(int code) {
    exitCode = code;
    finished = true;
    if (runningModel)
        runningModel->setSheet(std::nullopt);
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

} // namespace dovrane::SelfTest
