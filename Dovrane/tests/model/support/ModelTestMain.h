#pragma once
// The model suites register here; the entry runs the one named on the command line, or all.

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dovrane::testing {

struct SuiteRegistration {
    SuiteRegistration(const char* name, std::function<std::unique_ptr<QObject>()> make);
};

// Runs the suite named by argv[1] (with the Qt Test options after it), or every suite when the
// first argument is an option or missing. 2 for an unknown suite.
int runRegisteredSuites(int argc, char** argv);

// The process a crash test kills: moves every file of `folder` to the home's Trash with its
// journal and waits at `stop` (RemovalJournalTests).
int journaledMoveChild(const std::string& home, const std::string& folder, const std::string& stop);
// The owner of a removal under way in the store argv[2], in a PID namespace of its own when argv[3]
// is "own-pid-namespace": says "BEGUN" once its record is under way and waits to be killed.
int journalOwnerChild(int argc, char** argv);
// A move of argv[2] files on a disk of its own whose power is cut at the move's stop argv[3]
// ("end" once it ended); says what the next start finds amiss, then "DONE" (RemovalJournalTests).
int powerCutChild(int argc, char** argv);
// The process a crash test kills in a Put Back: puts the items of the test store's first record
// back from the home's Trash with its journal and waits at `stop` (RemovalJournalTests).
int journaledPutBackChild(const std::string& home, const std::string& stop);

// The process an update crash test kills: installs the update its home's app is offered through
// a model, with `ditto` as the copy tool when given, and waits at the install step `stop`
// (UpdateInstallKillTests).
int killedInstallChild(const std::string& home, const std::string& stop, const std::string& ditto);

} // namespace dovrane::testing

#define DOVRANE_MODEL_SUITE(Class)                                                                                     \
    static const ::dovrane::testing::SuiteRegistration registration##Class(                                            \
        #Class, [] { return std::unique_ptr<QObject>(new Class); });
