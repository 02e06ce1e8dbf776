// The diagnostics text at its boundaries.

#include "DovraneKit/scan/DiagnosticReport.h"

#include <gtest/gtest.h>

using namespace dovrane;

namespace {

const Date now = Date::fromUnix(1714550400);

DiagnosticReport report() {
    DiagnosticReport report;
    report.appVersion = "1.0";
    report.build = "?";
    report.system = "Debian GNU/Linux 12 (bookworm)";
    report.kernel = "6.1.0";
    report.architecture = "x86_64";
    report.language = "de-DE";
    return report;
}

std::string line(const std::string& text, int index) {
    size_t start = 0;
    for (int skipped = 0; skipped < index; ++skipped)
        start = text.find('\n', start) + 1;
    return text.substr(start, text.find('\n', start) - start);
}

} // namespace

TEST(DiagnosticReport, NothingYet) {
    EXPECT_EQ(report().text(now), "Dovrane 1.0 (?)\n"
                                  "Debian GNU/Linux 12 (bookworm), kernel 6.1.0, x86_64, language de-DE\n"
                                  "File access: off\n"
                                  "Last scan: never, 0 categories, 0 MB safe to remove\n"
                                  "Apps: 0, updates checked never: available 0, current 0, failed 0, unsupported 0\n"
                                  "Cleanups in the journal: 0");
}

TEST(DiagnosticReport, AgesAtTheirBoundaries) {
    const std::vector<std::pair<double, std::string>> cases = {
        {0, "0 h ago"},
        {3599, "0 h ago"},
        {3600, "1 h ago"},
        {47 * 3600 + 59 * 60, "47 h ago"},
        {48 * 3600, "2 days ago"},
        {71 * 3600, "2 days ago"},
        {72 * 3600, "3 days ago"},
        {-7200, "0 h ago"}, // a date after now is not a negative age
    };
    for (const auto& [age, expected] : cases) {
        DiagnosticReport r = report();
        r.lastScan = now.adding(-age);
        r.updatesCheckedAt = now.adding(-age);
        const std::string text = r.text(now);
        EXPECT_EQ(line(text, 3), "Last scan: " + expected + ", 0 categories, 0 MB safe to remove") << age;
        EXPECT_EQ(line(text, 4).substr(0, 25 + expected.size()), "Apps: 0, updates checked " + expected) << age;
    }
}

TEST(DiagnosticReport, MegabytesDropTheFraction) {
    DiagnosticReport r = report();
    r.safeBytes = 999'999;
    EXPECT_EQ(line(r.text(now), 3), "Last scan: never, 0 categories, 0 MB safe to remove");
    r.safeBytes = 1'500'000;
    r.categories = 16;
    r.fullDiskAccess = true;
    r.cleanups = 12;
    const std::string text = r.text(now);
    EXPECT_EQ(line(text, 2), "File access: on");
    EXPECT_EQ(line(text, 3), "Last scan: never, 16 categories, 1 MB safe to remove");
    EXPECT_EQ(line(text, 5), "Cleanups in the journal: 12");
    EXPECT_EQ(text.back(), '2');
}

TEST(DiagnosticReport, ListsEveryKindOfUpdateResultWithItsCount) {
    DiagnosticReport r = report();
    r.updates = {{"available", 3}, {"failed", 1}};
    r.appsInstalled = 4;
    EXPECT_EQ(line(r.text(now), 4), "Apps: 4, updates checked never: available 3, current 0, failed 1, unsupported 0");
    r.updates = {{"current", 1}, {"unsupported", 1}};
    EXPECT_EQ(line(r.text(now), 4), "Apps: 4, updates checked never: available 0, current 1, failed 0, unsupported 1");
}
