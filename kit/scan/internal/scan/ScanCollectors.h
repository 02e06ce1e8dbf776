#pragma once
// The collectors behind DiskScanner::collect: raw categories, before the scanner drops excluded
// paths and makes protected items show-only. Only the scanner and the tests call them; a list
// taken straight from here would offer protected items as safe. Not part of the public API.

#include "DovraneKit/scan/DiskScanner.h"
#include "DovraneKit/scan/ToolOutputParsers.h"

#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane {

class ScanCollectors {
public:
    // Reads the scanner's home, folders, settings, runner and lookups; the scanner must outlive
    // it. The home's folders are read where the layout finds them.
    ScanCollectors(const DiskScanner& scanner, HomeLayout layout) : scanner_(scanner), layout_(std::move(layout)) {}
    explicit ScanCollectors(const DiskScanner& scanner)
        : ScanCollectors(scanner, HomeLayout(scanner.home, scanner.environment)) {}

    // What a collector found, before it is measured.
    struct Candidate {
        Url url;
        std::string name;
        std::string reason;
        std::string source;
        Safety safety;
        CleanupAction action;
    };

    // HomeCollectors.cpp
    Category apps(std::stop_token stop = {}) const;
    Category personal(std::stop_token stop = {}) const;
    Category caches(std::stop_token stop = {}) const;
    // Appends the cache of every Flatpak app (~/.var/app/<ID>/cache) to candidates, named after
    // the installed app (else through the scanner's lookup, else its ID).
    void flatpakCaches(std::vector<Candidate>& candidates) const;
    Category children(const Url& folder, CategoryID id, const std::string& source, Safety safety,
                      const std::string& reason, std::stop_token stop = {}) const;
    Category trash(std::stop_token stop = {}) const;
    Category installers(std::stop_token stop = {}) const;
    // An installer in Downloads is listed once its content is older than ageDays at `now`:
    // Linux keeps no date of adding to a folder.
    static bool isOldInstaller(const Url& url, Date now, int ageDays);
    Category backups(std::stop_token stop = {}) const;
    // A device backup's name: the device's, or "Unknown device", and the date of the backup.
    static std::string backupName(const BackupInfo::Info& info);

    // SystemCollectors.cpp
    Category snapshots(std::stop_token stop = {}) const;
    Category xcode(std::stop_token stop = {}) const;
    Category simulators(std::stop_token stop = {}) const;
    Category packageCaches(std::stop_token stop = {}) const;

    // DiskScanner.cpp
    // One item at the folder the layout gives for relative, kept and show-only (messages, docker).
    Category single(CategoryID id, const std::string& relative, std::string name, std::string reason,
                    std::string source, std::stop_token stop = {}) const;
    Category projects(std::stop_token stop = {}) const;

    // Measures the URL: no item when nothing countable is there, else an item of the measured
    // size, at least one file and the newest use.
    // measuredItem for each candidate, measured all at once; the items in the candidates' order.
    static std::vector<CleanupItem> measuredItems(std::vector<Candidate> candidates, std::stop_token stop = {});
    static std::optional<CleanupItem> measuredItem(const Url& url, std::string name, std::string reason,
                                                   std::string source, Safety safety, CleanupAction action,
                                                   std::stop_token stop = {});

private:
    // The tool's standard output; nothing when there is no runner, the scan was stopped or
    // the tool gave nothing.
    std::optional<std::string> runTool(const std::string& executable, const std::vector<std::string>& arguments,
                                       std::stop_token stop) const;
    // The scanner's Flatpak apps; none when listing them fails.
    std::vector<InstalledApp> flatpaks() const;
    // Where the layout reads a folder named relative to the home folder.
    Url homeFolder(std::string_view relative) const { return layout_.folder(relative); }
    static void add(std::vector<CleanupItem>& items, std::optional<CleanupItem> item) {
        if (item)
            items.push_back(std::move(*item));
    }

    const DiskScanner& scanner_;
    const HomeLayout layout_;
};

} // namespace dovrane
