#include "DovraneKit/scan/ToolOutputParsers.h"

#include "DovraneKit/core/TextPieces.h"
#include "DovraneKit/system/FileSystem.h"
#include "core/Pattern.h"
#include "formats/JsonCoding.h"

#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>
#include <unordered_set>

namespace dovrane {

namespace {

// ---- Snapshot stamps ----------------------------------------------------------------------

constexpr std::size_t stampLength = 17; // yyyy-MM-dd-HHmmss

bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// The exact shape, ASCII digits only: the stamp later names a snapshot to the tool, so a
// look-alike in other digits or with a field of another width must not pass.
bool hasStampShape(std::string_view text) {
    if (text.size() != stampLength)
        return false;
    for (std::size_t i = 0; i < stampLength; ++i) {
        bool dash = i == 4 || i == 7 || i == 10;
        if (dash ? text[i] != '-' : !isAsciiDigit(text[i]))
            return false;
    }
    return true;
}

// One strict formatter, in the current time zone. Not lenient, so a month 13, a 30 February
// or a wall time skipped by a daylight-saving change is no date at all.
class StampReader {
public:
    StampReader() {
        UErrorCode status = U_ZERO_ERROR;
        auto made = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString("yyyy-MM-dd-HHmmss", -1, US_INV),
                                                            icu::Locale("en_US_POSIX"), status);
        if (U_FAILURE(status))
            return;
        made->setLenient(false);
        made->adoptTimeZone(icu::TimeZone::createDefault());
        format_ = std::move(made);
    }

    std::optional<Date> read(std::string_view stamp) const {
        if (!format_ || !hasStampShape(stamp))
            return std::nullopt;
        icu::UnicodeString text = icu::UnicodeString::fromUTF8(icu::StringPiece(stamp.data(), int32_t(stamp.size())));
        icu::ParsePosition position(0);
        UDate milliseconds = format_->parse(text, position);
        if (position.getErrorIndex() >= 0 || position.getIndex() != text.length())
            return std::nullopt;
        return Date::fromUnix(milliseconds / 1000.0);
    }

private:
    std::unique_ptr<icu::SimpleDateFormat> format_;
};

// Lines end at LF, CR, CRLF, VT, FF and, in UTF-8, NEL, LS and PS; empty lines are dropped.
// Byte-wise is safe: the lead bytes of those three never occur inside another sequence.
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0, i = 0;
    auto cut = [&](std::size_t end, std::size_t breakLength) {
        if (end > start)
            lines.push_back(text.substr(start, end - start));
        i = end + breakLength;
        start = i;
    };
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::string_view rest = text.substr(i);
        if (c == '\r')
            cut(i, rest.size() > 1 && rest[1] == '\n' ? 2 : 1);
        else if (c == '\n' || c == '\v' || c == '\f')
            cut(i, 1);
        else if (rest.substr(0, 2) == "\xC2\x85")
            cut(i, 2);
        else if (rest.substr(0, 3) == "\xE2\x80\xA8" || rest.substr(0, 3) == "\xE2\x80\xA9")
            cut(i, 3);
        else
            ++i;
    }
    cut(text.size(), 0);
    return lines;
}

// The first stamp anywhere in a line. Byte mode, so \d is ASCII and no line is invalid.
std::optional<std::string_view> findStamp(std::string_view line) {
    static const Pattern stamp(R"((\d{4}-\d{2}-\d{2}-\d{6}))");
    auto match = stamp.find(line);
    if (!match || match->group != 1)
        return std::nullopt;
    return match->groupIn(line);
}

// ---- Simulator runtimes -------------------------------------------------------------------

// "com.apple.CoreSimulator.SimRuntime.iOS-17-5" -> "iOS 17.5"; a key that does not split
// into pieces is shown as it stands.
std::string runtimeName(std::string_view key) {
    auto dotted = splitDroppingEmpty(key, '.');
    std::string_view last = dotted.empty() ? key : dotted.back();
    auto dashed = splitDroppingEmpty(last, '-');
    if (dashed.empty())
        return std::string(key);
    std::string name(dashed.front());
    for (std::size_t i = 1; i < dashed.size(); ++i) {
        name += i == 1 ? ' ' : '.';
        name += dashed[i];
    }
    return name;
}

} // namespace

// ---- SnapshotParser -----------------------------------------------------------------------

std::vector<SnapshotParser::Snapshot> SnapshotParser::parse(std::string_view text) {
    StampReader reader;
    std::unordered_set<std::string_view> seen;
    std::vector<Snapshot> snapshots;
    for (auto line : splitLines(text)) {
        auto stamp = findStamp(line);
        if (!stamp || !seen.insert(*stamp).second)
            continue;
        if (auto when = reader.read(*stamp))
            snapshots.push_back({std::string(*stamp), *when});
    }
    std::stable_sort(snapshots.begin(), snapshots.end(),
                     [](const Snapshot& a, const Snapshot& b) { return a.date < b.date; });
    return snapshots;
}

std::optional<Date> SnapshotParser::date(std::string_view stamp) { return StampReader().read(stamp); }

// ---- SimctlParser -------------------------------------------------------------------------

std::vector<SimctlParser::Device> SimctlParser::parse(std::string_view bytes) {
    using jsoncoding::DecodeError;
    using jsoncoding::ObjectReader;
    auto decoded = jsoncoding::decode([&] {
        auto json = jsoncoding::parseText(bytes);
        ObjectReader root(json, "device list");
        const auto& runtimes = root.value("devices");
        if (!runtimes.is_object())
            throw DecodeError("device list: \"devices\" is not an object");
        std::vector<Device> devices;
        for (const auto& [key, list] : runtimes.items()) {
            if (!list.is_array())
                throw DecodeError("device list: a runtime's devices are not an array");
            std::string runtime = runtimeName(key);
            for (const auto& raw : list) {
                ObjectReader device(raw, "device");
                Device parsed;
                parsed.udid = device.string("udid");
                parsed.name = device.string("name");
                parsed.runtime = runtime;
                parsed.isAvailable = device.has("isAvailable") && device.boolean("isAvailable");
                parsed.dataPath = device.optionalString("dataPath");
                devices.push_back(std::move(parsed));
            }
        }
        return devices;
    });
    if (!decoded)
        return {};
    auto devices = std::move(decoded).value();
    std::stable_sort(devices.begin(), devices.end(), [](const Device& a, const Device& b) {
        if (a.runtime != b.runtime)
            return a.runtime < b.runtime;
        return a.name < b.name;
    });
    return devices;
}

// ---- Backup and bundle property lists ----------------------------------------------------

BackupInfo::Info BackupInfo::read(const Url& folder) {
    Info info;
    if (!folder.isFile())
        return info;
    auto plist = Plist::readDictionary(Path::join(folder.path(), "Info.plist"));
    if (!plist)
        return info;
    info.deviceName = Plist::string(*plist, "Device Name");
    if (!info.deviceName)
        info.deviceName = Plist::string(*plist, "Display Name");
    if (auto it = plist->find("Last Backup Date"); it != plist->end())
        info.date = it->second.date();
    return info;
}

} // namespace dovrane
