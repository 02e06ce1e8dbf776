#pragma once
// The application's rules for opening files, for ending with its last window and for the
// moment it ends.

#include <DovraneKit/core/Url.h>

#include <string>
#include <vector>

namespace dovrane {

class Settings;

class AppDelegate {
public:
    // Apps handed to the application (command line, a second start): one "DovraneRemoveApp"
    // per URL, in the order given. The main window decides what to do with each.
    static void open(const std::vector<Url>& urls);
    // With a test store, yes; else the negation of a Boolean "menubar.enabled", and no when
    // nothing or something else is stored (the menu bar item keeps the process).
    static bool shouldTerminateAfterLastWindowClosed(const Settings& settings, bool testStore);
    // With "--selftest": closes the store, prints "EXIT " and the self-test's code as one
    // flushed line and ends the process at once with that code; a quit the self-test's finish
    // did not ask for ends with 1. Otherwise nothing.
    static void willTerminate(const std::vector<std::string>& arguments);
};

} // namespace dovrane
