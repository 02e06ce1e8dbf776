#include "DovraneKit/scan/ToolOutputParsers.h"

#include "DovraneKit/apps/BundleInfo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <unicode/timezone.h>

#include <ctime>
#include <map>
#include <memory>
#include <random>

using namespace dovrane;
namespace support = dovrane::testing;

namespace {

Date utc(int year, int month, int day, int hour, int minute, int second) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    return Date::fromUnix(double(timegm(&parts)));
}

// Makes the given zone the current one while it lives.
class ScopedZone {
public:
    explicit ScopedZone(const char* id) : saved_(icu::TimeZone::createDefault()) {
        icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(id));
    }
    ~ScopedZone() { icu::TimeZone::adoptDefault(saved_.release()); }

private:
    std::unique_ptr<icu::TimeZone> saved_;
};

std::vector<std::string> stamps(const std::vector<SnapshotParser::Snapshot>& snapshots) {
    std::vector<std::string> result;
    for (const auto& snapshot : snapshots)
        result.push_back(snapshot.stamp);
    return result;
}

std::string garbage(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (auto& byte : bytes)
        byte = char(random() & 0xFF);
    return bytes;
}

std::string simctl(const std::string& devices) { return R"({"devices":{)" + devices + "}}"; }

void put32(std::string& out, std::uint64_t value, int width) {
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        out += char((value >> shift) & 0xFF);
}

// A binary property list {"Deep": [[[...]]]} with the given number of nested arrays.
std::string deepBinaryPlist(std::uint32_t depth) {
    std::string out = "bplist00";
    std::vector<std::uint64_t> offsets;
    offsets.push_back(out.size()); // 0: the dictionary
    out += '\xD1';
    put32(out, 1, 4);
    put32(out, 2, 4);
    offsets.push_back(out.size()); // 1: its key
    out += "\x54"
           "Deep";
    for (std::uint32_t i = 0; i < depth; ++i) { // 2...: the arrays, each holding the next
        offsets.push_back(out.size());
        if (i + 1 < depth) {
            out += '\xA1';
            put32(out, 3 + i, 4);
        } else {
            out += '\xA0';
        }
    }
    std::uint64_t table = out.size();
    for (auto offset : offsets)
        put32(out, offset, 4);
    out += std::string(6, '\0');
    out += '\x04';
    out += '\x04';
    put32(out, offsets.size(), 8);
    put32(out, 0, 8);
    put32(out, table, 8);
    return out;
}

std::string deepXmlPlist(int depth) {
    std::string arrays;
    for (int i = 0; i < depth; ++i)
        arrays += "<array>";
    for (int i = 0; i < depth; ++i)
        arrays += "</array>";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>Deep</key>" + arrays +
           "</dict></plist>";
}

std::string xmlPlist(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>";
}

} // namespace

TEST(SnapshotParsing, HeaderFallsAwayAndStampsSortOldestFirst) {
    auto snapshots = SnapshotParser::parse("Snapshot dates for all disks:\n2024-05-01-093012\n2024-04-30-120000\n");
    ASSERT_EQ(snapshots.size(), 2u);
    EXPECT_EQ(snapshots[0], (SnapshotParser::Snapshot{"2024-04-30-120000", utc(2024, 4, 30, 12, 0, 0)}));
    EXPECT_EQ(snapshots[1], (SnapshotParser::Snapshot{"2024-05-01-093012", utc(2024, 5, 1, 9, 30, 12)}));
}

TEST(SnapshotParsing, EachStampOnceAndOnlyTheFirstOnALine) {
    EXPECT_EQ(stamps(SnapshotParser::parse("2024-05-01-093012\nx 2024-05-01-093012 y\n")),
              std::vector<std::string>{"2024-05-01-093012"});
    EXPECT_EQ(stamps(SnapshotParser::parse("com.apple.TimeMachine.2024-05-03-101010.local 2024-05-02-101010\n")),
              std::vector<std::string>{"2024-05-03-101010"});
    EXPECT_TRUE(SnapshotParser::parse("2024-13-40-999999\n").empty());
    EXPECT_TRUE(SnapshotParser::parse("").empty());
    EXPECT_TRUE(SnapshotParser::parse("\n\r\n  \n").empty());
}

TEST(SnapshotParsing, EveryKindOfLineBreakSeparatesStamps) {
    for (std::string separator : {"\n", "\r", "\r\n", "\v", "\f", "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9"}) {
        SCOPED_TRACE(separator);
        auto text = "2024-05-02-000000" + separator + "2024-05-01-000000" + separator + separator;
        EXPECT_EQ(stamps(SnapshotParser::parse(text)),
                  (std::vector<std::string>{"2024-05-01-000000", "2024-05-02-000000"}));
    }
}

TEST(SnapshotParsing, StrictStampsOnly) {
    EXPECT_EQ(SnapshotParser::date("2024-02-29-235959"), utc(2024, 2, 29, 23, 59, 59));
    for (const char* bad :
         {"2023-02-29-120000", "2024-02-30-120000", "2024-13-01-120000", "2024-00-10-120000", "2024-05-01-240000",
          "2024-05-01-126000", "2024-05-01-123060", "2024-5-01-093012", "2024-05-01-09301", "2024-05-01-0930120",
          " 2024-05-01-093012", "2024-05-01-093012 ", "2024/05/01-093012", "2024-05-01-09301x", "",
          "\xD9\xA2\xD9\xA0\xD9\xA2\xD9\xA4-05-01-093012"})
        EXPECT_FALSE(SnapshotParser::date(bad).has_value()) << bad;
}

TEST(SnapshotParsing, StampsAreReadInTheCurrentTimeZone) {
    ScopedZone berlin("Europe/Berlin");
    EXPECT_EQ(SnapshotParser::date("2024-05-01-093012"), utc(2024, 5, 1, 7, 30, 12));
    EXPECT_EQ(SnapshotParser::date("2024-01-15-120000"), utc(2024, 1, 15, 11, 0, 0));
    // Skipped by the change to summer time: no such moment.
    EXPECT_FALSE(SnapshotParser::date("2024-03-31-023000").has_value());
}

TEST(SnapshotParsing, HostileOutputGivesOnlyRealStamps) {
    EXPECT_TRUE(SnapshotParser::parse("Snapshot dates for all disks:\n2024-05-01-0930").empty());
    EXPECT_EQ(stamps(SnapshotParser::parse("\xFF\xFE"
                                           "2024-05-01-093012\xC0\n")),
              std::vector<std::string>{"2024-05-01-093012"});
    EXPECT_EQ(stamps(SnapshotParser::parse(std::string(8u << 20, 'x') + "2024-05-01-093012")),
              std::vector<std::string>{"2024-05-01-093012"});
    for (unsigned seed = 1; seed <= 4; ++seed) {
        auto noise = garbage(1u << 20, seed) + "\n2024-05-01-093012\n";
        auto found = SnapshotParser::parse(noise);
        ASSERT_FALSE(found.empty());
        for (const auto& snapshot : found)
            EXPECT_EQ(SnapshotParser::date(snapshot.stamp), snapshot.date);
    }
}

TEST(SimctlParsing, RuntimeNamesComeFromTheKey) {
    auto devices = SimctlParser::parse(simctl(R"(
        "com.apple.CoreSimulator.SimRuntime.iOS-18-0": [{"udid": "A", "name": "a"}],
        "com.apple.CoreSimulator.SimRuntime.xrOS-2": [{"udid": "B", "name": "b"}],
        "tvOS": [{"udid": "C", "name": "c"}],
        "com.apple.--": [{"udid": "D", "name": "d"}],
        "com.apple.CoreSimulator.SimRuntime.watchOS-10-0": []
    )"));
    std::map<std::string, std::string> runtimes;
    for (const auto& device : devices)
        runtimes[device.udid] = device.runtime;
    EXPECT_EQ(runtimes, (std::map<std::string, std::string>{
                            {"A", "iOS 18.0"}, {"B", "xrOS 2"}, {"C", "tvOS"}, {"D", "com.apple.--"}}));
}

TEST(SimctlParsing, OptionalFieldsAndOrder) {
    auto devices = SimctlParser::parse(simctl(R"(
        "com.apple.CoreSimulator.SimRuntime.watchOS-10-0": [{"udid": "W", "name": "Apple Watch", "isAvailable": true}],
        "com.apple.CoreSimulator.SimRuntime.iOS-17-5": [
            {"udid": "P", "name": "iPhone 15", "isAvailable": null, "state": "Shutdown", "dataPath": "/d/P"},
            {"udid": "A", "name": "iPad Air", "dataPath": null},
            {"udid": "Z", "name": "Zed", "isAvailable": false},
            {"udid": "A2", "name": "iPad Air", "isAvailable": true}
        ]
    )"));
    std::vector<SimctlParser::Device> expected = {
        {"Z", "Zed", "iOS 17.5", false, std::nullopt},
        {"A", "iPad Air", "iOS 17.5", false, std::nullopt},
        {"A2", "iPad Air", "iOS 17.5", true, std::nullopt},
        {"P", "iPhone 15", "iOS 17.5", false, "/d/P"},
        {"W", "Apple Watch", "watchOS 10.0", true, std::nullopt},
    };
    EXPECT_EQ(devices, expected);
}

TEST(SimctlParsing, OneBadDeviceOrMalformedOutputGivesNothing) {
    const std::string good = R"({"udid": "G", "name": "Good"})";
    ASSERT_EQ(SimctlParser::parse(simctl(R"("iOS-17-5": [)" + good + "]")).size(), 1u);
    std::vector<std::string> hostile = {
        simctl(R"("iOS-17-5": [)" + good + R"(, {"udid": "X"}])"),
        simctl(R"("iOS-17-5": [{"udid": 7, "name": "n"}])"),
        simctl(R"("iOS-17-5": [{"udid": "u", "name": null}])"),
        simctl(R"("iOS-17-5": [{"udid": "u", "name": "n", "isAvailable": "true"}])"),
        simctl(R"("iOS-17-5": [{"udid": "u", "name": "n", "isAvailable": 1}])"),
        simctl(R"("iOS-17-5": [{"udid": "u", "name": "n", "dataPath": 5}])"),
        simctl(R"("iOS-17-5": [)" + good + R"(, "device"])"),
        simctl(R"("iOS-17-5": {"x": )" + good + "}"),
        simctl(R"("iOS-17-5": null)"),
        R"({"devices": null})",
        R"({"devices": []})",
        R"({"runtimes": {}})",
        R"([{"devices": {}}])",
        simctl(R"("iOS-17-5": [)" + good + "]").substr(0, 40),
        simctl(R"("iOS-17-5": [{"udid": "u", "name": ")"
               "\xFF"
               R"("}])"),
        "",
        "null",
        std::string(200000, '[') + std::string(200000, ']'),
        std::string(100000, '['),
        garbage(1u << 16, 7),
        std::string("{\"devices\":{}}\0", 15),
    };
    for (std::size_t i = 0; i < hostile.size(); ++i)
        EXPECT_TRUE(SimctlParser::parse(hostile[i]).empty()) << "case " << i;
}

TEST(BackupInfoReading, NameAndDateByTheirTypes) {
    support::TempDir dir;
    auto backup = [&](const std::string& name, const std::string& dict) {
        support::writeFile(dir / (name + "/Info.plist"), xmlPlist("<dict>" + dict + "</dict>"));
        return BackupInfo::read(Url::fromPath(dir / name));
    };
    const std::string date = "<key>Last Backup Date</key><date>2024-05-01T09:30:12Z</date>";
    EXPECT_EQ(backup("display", "<key>Display Name</key><string>Anna</string>"),
              (BackupInfo::Info{"Anna", std::nullopt}));
    EXPECT_EQ(
        backup("both", "<key>Display Name</key><string>D</string><key>Device Name</key><string>Phone</string>" + date),
        (BackupInfo::Info{"Phone", utc(2024, 5, 1, 9, 30, 12)}));
    EXPECT_EQ(backup("typed", "<key>Device Name</key><integer>4</integer><key>Display Name</key><string>D</string>"
                              "<key>Last Backup Date</key><string>2024-05-01T09:30:12Z</string>"),
              (BackupInfo::Info{"D", std::nullopt}));
    EXPECT_EQ(BackupInfo::read(Url::fromPath(dir / "none")), BackupInfo::Info{});
    EXPECT_EQ(BackupInfo::read(*Url::parse("https://example.invalid/backup")), BackupInfo::Info{});
}

TEST(BundleInfoReading, TopLevelDictionaryOrAbsent) {
    support::TempDir dir;
    support::writeFile(dir / "My App.app/Contents/Info.plist",
                       xmlPlist("<dict><key>CFBundleIdentifier</key><string>com.example.app</string>"
                                "<key>LSUIElement</key><true/></dict>"));
    auto info = BundleInfo::read(Url::fromPath(dir / "My App.app"));
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(Plist::string(*info, "CFBundleIdentifier"), std::optional<std::string>("com.example.app"));
    EXPECT_EQ(info->at("LSUIElement").boolean(), std::optional<bool>(true));

    support::makeFolder(dir / "Empty.app/Contents");
    EXPECT_FALSE(BundleInfo::read(Url::fromPath(dir / "Empty.app")).has_value());
    support::writeFile(dir / "List.app/Contents/Info.plist", xmlPlist("<array><string>x</string></array>"));
    EXPECT_FALSE(BundleInfo::read(Url::fromPath(dir / "List.app")).has_value());
}

TEST(PropertyListReading, HostileFilesGiveNothingAndNeverCrash) {
    support::TempDir dir;
    auto bundleWith = [&](const std::string& name, const std::string& bytes) {
        support::writeFile(dir / (name + "/Contents/Info.plist"), bytes);
        support::writeFile(dir / (name + "/Info.plist"), bytes);
        return Url::fromPath(dir / name);
    };
    // Shallow versions of the deep ones read fine, so the deep ones fail for their depth alone.
    EXPECT_TRUE(BundleInfo::read(bundleWith("shallowXml", deepXmlPlist(10))).has_value());
    EXPECT_TRUE(BundleInfo::read(bundleWith("shallowBinary", deepBinaryPlist(10))).has_value());

    auto whole = xmlPlist("<dict><key>Device Name</key><string>Phone</string></dict>");
    std::string cyclic = deepBinaryPlist(2);
    cyclic[26] = '\x02'; // the outer array holds itself
    std::vector<std::pair<std::string, std::string>> hostile = {
        {"truncatedXml", whole.substr(0, whole.size() / 2)},
        {"truncatedBinary", deepBinaryPlist(5).substr(0, 30)},
        {"garbage", garbage(1u << 16, 3)},
        {"garbageBinary", "bplist00" + garbage(4096, 5)},
        {"arrayTop", xmlPlist("<array><dict/></array>")},
        {"stringTop", xmlPlist("<string>Phone</string>")},
        {"deepXml", deepXmlPlist(100000)},
        {"deepBinary", deepBinaryPlist(100000)},
        {"cyclicBinary", cyclic},
        {"empty", ""},
    };
    for (const auto& [name, bytes] : hostile) {
        SCOPED_TRACE(name);
        auto url = bundleWith(name, bytes);
        EXPECT_FALSE(BundleInfo::read(url).has_value());
        EXPECT_EQ(BackupInfo::read(url), BackupInfo::Info{});
    }
}
