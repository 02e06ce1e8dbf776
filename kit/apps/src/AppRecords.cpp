#include "DovraneKit/apps/AppRecords.h"

#include "core/Utf8.h"
#include "formats/JsonCoding.h"

namespace dovrane {

using jsoncoding::ObjectReader;

namespace {
constexpr std::string_view sourceNames[] = {"sparkle", "homebrew", "appStore", "apple", "unknown"};
}

std::string_view rawValue(AppSource source) { return sourceNames[static_cast<int>(source)]; }

std::optional<AppSource> appSourceFromRaw(std::string_view raw) {
    for (std::size_t i = 0; i < std::size(sourceNames); ++i)
        if (sourceNames[i] == raw)
            return AppSource(i);
    return std::nullopt;
}

nlohmann::json InstalledApp::toJson() const {
    nlohmann::json json = {{"bundleID", bundleID}, {"name", utf8::valid(name)},  {"version", version},
                           {"path", path.text()},  {"source", rawValue(source)}, {"size", size},
                           {"isSystem", isSystem}};
    jsoncoding::putOptional(json, "build", build);
    jsoncoding::putOptional(json, "teamID", teamID);
    jsoncoding::putOptional(json, "feedURL", feedURL);
    jsoncoding::putOptional(json, "edKey", edKey);
    jsoncoding::putOptional(json, "caskToken", caskToken);
    jsoncoding::putOptional(json, "lastUsed", lastUsed);
    return json;
}

Expected<InstalledApp> InstalledApp::fromJson(const nlohmann::json& json) {
    return jsoncoding::decode([&] {
        ObjectReader in(json, "InstalledApp");
        InstalledApp app;
        app.bundleID = in.string("bundleID");
        app.name = in.string("name");
        app.version = in.string("version");
        app.build = in.optionalString("build");
        app.path = in.url("path");
        app.teamID = in.optionalString("teamID");
        app.source = in.enumeration("source", appSourceFromRaw);
        app.feedURL = in.optionalUrl("feedURL");
        app.edKey = in.optionalString("edKey");
        app.caskToken = in.optionalString("caskToken");
        app.size = in.size("size");
        app.lastUsed = in.optionalDate("lastUsed");
        app.isSystem = in.boolean("isSystem");
        return app;
    });
}

} // namespace dovrane
