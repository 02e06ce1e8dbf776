#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/updates/UpdateChecker.h"
#include "support/FakeNetworkProbe.h"
#include "support/LoopbackServer.h"
#include "support/Patience.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using namespace dovrane;
using namespace dovrane::testing;
using namespace std::chrono_literals;

namespace {

const std::string badServer = "The vendor's update server answered with an error.";
const std::string didNotWork = "The update check did not work this time.";
const std::string noIndex = "The Homebrew list could not be loaded.";
const std::string notTheWeb = "The update address does not lead to a web server (http or https). Dovrane stopped here.";
const std::string downgraded =
    "The vendor's server sent Dovrane from a secure connection to an insecure one. Dovrane stopped here.";

std::string feed(std::string_view items) {
    return R"(<?xml version="1.0"?><rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel>)" +
           std::string(items) + "</channel></rss>";
}

std::string enclosure(std::string_view attributes) {
    return "<item><enclosure url=\"https://downloads.example.test/App.zip\" " + std::string(attributes) + "/></item>";
}

InstalledApp app(std::string name, AppSource source, std::string version = "1.0") {
    InstalledApp record;
    record.bundleID = "test." + name;
    record.name = name;
    record.version = std::move(version);
    record.path = Url::fromPath("/Applications/" + record.name + ".app");
    record.source = source;
    return record;
}

InstalledApp fed(std::string name, const Url& feedURL, std::string version, std::optional<std::string> build = {}) {
    InstalledApp record = app(std::move(name), AppSource::sparkle, std::move(version));
    record.feedURL = feedURL;
    record.build = std::move(build);
    return record;
}

UpdateChecker checker(const LoopbackServer& server, std::optional<std::string> cacheFolder = {},
                      FetchFunction fetch = Network::fetch("Dovrane/1.0", FetchOptions{2s})) {
    return UpdateChecker(std::move(fetch), "DE", {15, 0, 0},
                         cacheFolder ? std::optional<Url>(Url::fromPath(*cacheFolder)) : std::nullopt,
                         server.url("/api/cask.json"), server.url("/store"), "apps.example.test");
}

std::string lookupTarget(std::string_view bundleID, std::string_view entity) {
    return "/store/lookup?bundleId=" + std::string(bundleID) + "&entity=" + std::string(entity) + "&country=de";
}

const std::string casks = R"([{"token": "editor", "version": "2.1,abc123", "artifacts": [{"app": ["Editor.app"]}]},
                              {"token": "paint", "version": "3.0", "artifacts": [{"app": [{"target": "Tools/Paint.app"}]}]}])";

} // namespace

// --- the appcast check ------------------------------------------------------------------------

TEST(UpdateCheckerSparkle, ReportsANewerItemWithWhatTheFeedCarries) {
    LoopbackServer server;
    server.route("/feed", ScriptedResponse(200, feed(R"(<item><description>&lt;p&gt;Faster&lt;/p&gt;</description>
        <sparkle:releaseNotesLink>https://example.test/notes</sparkle:releaseNotesLink>
        <enclosure url="https://example.test/App-2.0.zip" length="4096" sparkle:version="1500"
                   sparkle:shortVersionString="2.0" sparkle:edSignature="c2ln"/></item>)")));
    Date before = Date::now();

    auto withBuild = checker(server).sparkle(fed("Editor", server.url("/feed"), "2.0", "1400"));
    ASSERT_EQ(withBuild.kind(), UpdateCheck::Kind::available);
    UpdateInfo info = *withBuild.update();
    EXPECT_EQ(info.newVersion, "2.0");
    EXPECT_EQ(info.newBuild, "1500");
    EXPECT_EQ(info.currentVersion, "2.0");
    EXPECT_EQ(info.appPath.path(), "/Applications/Editor.app");
    EXPECT_EQ(info.source, AppSource::sparkle);
    EXPECT_EQ(info.releaseNotes, "Faster");
    EXPECT_EQ(info.releaseNotesURL, Url::parse("https://example.test/notes"));
    EXPECT_EQ(info.downloadURL, Url::parse("https://example.test/App-2.0.zip"));
    EXPECT_EQ(info.length, 4096);
    EXPECT_EQ(info.edSignature, "c2ln");
    EXPECT_FALSE(info.storeURL || info.caskToken);
    EXPECT_GE(info.checkedAt, before);
    // Without a build the item's build number is weighed against the version.
    EXPECT_EQ(checker(server).sparkle(fed("Editor", server.url("/feed"), "2.0")).kind(), UpdateCheck::Kind::available);
}

TEST(UpdateCheckerSparkle, CurrentOrUnusableItemsAreUpToDate) {
    LoopbackServer server;
    server.route("/same",
                 ScriptedResponse(200, feed(enclosure(R"(sparkle:version="1400" sparkle:shortVersionString="2.0")"))));
    server.route("/short", ScriptedResponse(200, feed(enclosure(R"(sparkle:shortVersionString="2.0")"))));
    server.route("/future-os",
                 ScriptedResponse(200, feed(R"(<item><sparkle:minimumSystemVersion>16.0</sparkle:minimumSystemVersion>
        <enclosure url="https://example.test/a.zip" sparkle:version="9000"/></item>)")));
    auto check = checker(server);
    EXPECT_EQ(check.sparkle(fed("A", server.url("/same"), "2.0", "1400")).kind(), UpdateCheck::Kind::upToDate);
    EXPECT_EQ(check.sparkle(fed("B", server.url("/short"), "2.0", "1")).kind(), UpdateCheck::Kind::upToDate);
    EXPECT_EQ(check.sparkle(fed("C", server.url("/future-os"), "1.0")).kind(), UpdateCheck::Kind::upToDate);
}

TEST(UpdateCheckerSparkle, WordsEveryWayTheFeedFails) {
    LoopbackServer server;
    server.route("/html", ScriptedResponse(200, "<html><body>Moved</body></html>"));
    server.route("/drop", ScriptedResponse(200).dropped());
    std::optional<Url> refused;
    {
        LoopbackServer gone; // closed again at once: nothing listens on its port
        refused = gone.url("/feed");
    }
    auto check = checker(server);

    auto noFeed = check.sparkle(app("A", AppSource::sparkle));
    EXPECT_EQ(noFeed, UpdateCheck::unsupported("This app updates itself, but does not say where from."));
    EXPECT_EQ(check.sparkle(fed("B", server.url("/html"), "1")),
              UpdateCheck::failed("The update feed of this app could not be read."));
    EXPECT_EQ(check.sparkle(fed("C", server.url("/missing"), "1")), UpdateCheck::failed(badServer));
    EXPECT_EQ(check.sparkle(fed("D", server.url("/drop"), "1")), UpdateCheck::failed("No internet connection."));
    EXPECT_EQ(check.sparkle(fed("E", *refused, "1")), UpdateCheck::failed(didNotWork));
    EXPECT_EQ(check.sparkle(fed("F", Url::fromPath("/etc/hostname"), "1")), UpdateCheck::failed(notTheWeb));
}

// A feed or a store lookup begun over https and sent on to plain http fails, and says why.
TEST(UpdateCheckerSparkle, AnHttpsFeedOrLookupSentOnToHttpFailsAndSaysSo) {
    LoopbackServer plain;
    LoopbackServer secure(LoopbackScheme::https);
    plain.route("/feed", ScriptedResponse(200, feed(enclosure(R"(sparkle:shortVersionString="2.0")"))));
    plain.route("/store/lookup", ScriptedResponse(200, R"({"results": [{"version": "9.0", "trackId": 7}]})"));
    secure.route("/feed", ScriptedResponse(302, "", {{"Location", plain.url("/feed").text()}}));
    secure.route("/store/lookup", ScriptedResponse(302, "", {{"Location", plain.url("/store/lookup").text()}}));
    FetchOptions trusting{2s};
    trusting.certificateAuthorities = LoopbackServer::certificateFile();
    const UpdateChecker check(Network::fetch("Dovrane/1.0", trusting), "DE", {15, 0, 0}, std::nullopt,
                              secure.url("/api/cask.json"), secure.url("/store"), "apps.example.test");

    EXPECT_EQ(check.sparkle(fed("Editor", secure.url("/feed"), "1.0")), UpdateCheck::failed(downgraded));
    EXPECT_EQ(check.appStore(app("Notes", AppSource::appStore)), UpdateCheck::failed(downgraded));
    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(check.sparkle(fed("Editor", secure.url("/feed"), "1.0")).message(),
              "Der Server des Herstellers hat Dovrane von einer sicheren auf eine unsichere Verbindung umgeleitet. "
              "Dovrane hat hier aufgehört.");
    EXPECT_EQ(plain.requests().size(), 0u);
}

// A feed that never finishes, a byte at a time, times out like a silent one; the other apps'
// checks meanwhile go on to their own results.
TEST(UpdateCheckerSparkle, AFeedThatDripsEndsAsTimedOutBesideTheOthers) {
    LoopbackServer server;
    server.route("/drip", ScriptedResponse(200, feed(enclosure(R"(sparkle:shortVersionString="2.0")"))).dripped(100ms));
    server.route("/feed", ScriptedResponse(200, feed(enclosure(R"(sparkle:shortVersionString="2.0")"))));
    FetchOptions options;
    options.stallLimit = 2s;
    options.deadline = 500ms;
    auto results = checker(server, {}, Network::fetch("Dovrane/1.0", options))
                       .check({fed("Slow", server.url("/drip"), "1.0"), fed("Quick", server.url("/feed"), "1.0")});
    EXPECT_EQ(results.at("/Applications/Slow.app"), UpdateCheck::failed("The vendor's server did not answer in time."));
    EXPECT_EQ(results.at("/Applications/Quick.app").kind(), UpdateCheck::Kind::available);
}

// A feed whose host name cannot be looked up is a vanished vendor only on a working network;
// without one the machine is offline. The name is malformed, so the lookup fails without
// asking any server.
TEST(UpdateCheckerSparkle, AFeedNameThatDoesNotResolveIsOfflineWithoutANetwork) {
    LoopbackServer server;
    const InstalledApp unresolved = fed("A", Url::parse("http://updates..example.test/appcast.xml").value(), "1");
    auto withNetwork = [&](bool usable) {
        auto probe = std::make_shared<FakeNetworkProbe>(usable);
        auto check = checker(server, {}, Network::fetch("Dovrane/1.0", FetchOptions{2s, 1 << 20, probe}));
        const UpdateCheck result = check.sparkle(unresolved);
        EXPECT_EQ(probe->asked(), 1);
        return result;
    };
    EXPECT_EQ(withNetwork(false), UpdateCheck::failed("No internet connection."));
    EXPECT_EQ(withNetwork(true), UpdateCheck::failed("The vendor's update server no longer exists."));
    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(withNetwork(false), UpdateCheck::failed("Keine Internetverbindung."));
}

TEST(UpdateCheckerSparkle, AFailureOfTheFetchFunctionItselfIsNotANetworkFailure) {
    LoopbackServer server;
    auto local = checker(server, {}, [](const Url&) -> FetchResult {
        return FetchError{FetchErrorDomain::other, NetworkErrorCode::notConnectedToInternet, 0, "disk"};
    });
    auto throwing = checker(server, {}, [](const Url&) -> FetchResult { throw std::runtime_error("boom"); });
    auto target = fed("A", server.url("/feed"), "1");
    EXPECT_EQ(local.sparkle(target), UpdateCheck::failed(didNotWork));
    EXPECT_EQ(throwing.check(std::vector{target}).at("/Applications/A.app"), UpdateCheck::failed(didNotWork));
}

// --- the Homebrew check and routing ---------------------------------------------------------

TEST(UpdateCheckerHomebrew, FindsTheCaskByTokenOrBundleName) {
    LoopbackServer server;
    auto check = checker(server);
    CaskTable table = CaskIndex::parse(casks);

    InstalledApp byToken = app("Renamed", AppSource::homebrew, "2.0");
    byToken.caskToken = "editor";
    auto found = check.check(byToken, table);
    ASSERT_EQ(found.kind(), UpdateCheck::Kind::available);
    EXPECT_EQ(found.update()->newVersion, "2.1");
    EXPECT_EQ(found.update()->caskToken, "editor");
    EXPECT_EQ(found.update()->source, AppSource::homebrew);
    EXPECT_FALSE(found.update()->downloadURL);

    auto byName = check.check(app("Paint", AppSource::homebrew, "2.9"), table);
    ASSERT_EQ(byName.kind(), UpdateCheck::Kind::available);
    EXPECT_EQ(byName.update()->caskToken, "paint");
    EXPECT_EQ(check.check(app("paint", AppSource::homebrew, "2.9"), table),
              UpdateCheck::unsupported(
                  "This app comes from a Homebrew tap that Dovrane cannot read. \u201Cbrew upgrade\u201D "
                  "in Terminal still updates it."));
    EXPECT_EQ(check.check(app("Paint", AppSource::homebrew, "2.9"), {}), UpdateCheck::failed(noIndex));
}

TEST(UpdateCheckerHomebrew, OffersOnlyTheFirstPieceAndNeverLatest) {
    LoopbackServer server;
    CaskTable table = CaskIndex::parse(R"([{"token": "a", "version": "1.4.2,1a2b"}, {"token": "b", "version": "latest"},
                                           {"token": "c", "version": ",,"}])");
    auto check = checker(server);
    auto withToken = [](std::string token, std::string version) {
        InstalledApp record = app("X", AppSource::homebrew, std::move(version));
        record.caskToken = std::move(token);
        return record;
    };
    EXPECT_EQ(check.homebrew(withToken("a", "1.4.2"), table).kind(), UpdateCheck::Kind::upToDate);
    EXPECT_EQ(check.homebrew(withToken("b", "1.0"), table),
              UpdateCheck::unsupported("Homebrew does not track versions of this app."));
    // Nothing but commas: the whole text is what is offered.
    EXPECT_EQ(check.homebrew(withToken("c", "1.0"), table).kind(), UpdateCheck::Kind::upToDate);
}

TEST(UpdateCheckerRouting, HomebrewAppOutsideTheIndexFallsBackToItsFeed) {
    LoopbackServer server;
    server.route("/feed", ScriptedResponse(200, feed(enclosure(R"(sparkle:version="5.0")"))));
    InstalledApp record = fed("Tapped", server.url("/feed"), "4.0");
    record.source = AppSource::homebrew;
    record.caskToken = "not-in-index";
    auto result = checker(server).check(record, CaskIndex::parse(casks));
    ASSERT_EQ(result.kind(), UpdateCheck::Kind::available);
    EXPECT_EQ(result.update()->source, AppSource::sparkle);
    EXPECT_EQ(result.update()->newBuild, "5.0");

    EXPECT_EQ(checker(server).check(app("Mail", AppSource::apple), {}),
              UpdateCheck::unsupported("macOS updates this app."));
    EXPECT_EQ(checker(server).check(app("Odd", AppSource::unknown), {}).message(),
              "Dovrane cannot tell where this app gets its updates. The app itself may have a menu item for it.");
}

// --- the store check ----------------------------------------------------------------------------

TEST(UpdateCheckerAppStore, AsksTheDesktopEntityFirstThenTheMacOne) {
    LoopbackServer server;
    server.route(lookupTarget("test.Notes", "desktopSoftware"), ScriptedResponse(200, R"({"results": []})"));
    server.route(lookupTarget("test.Notes", "macSoftware"), ScriptedResponse(200, R"({"results": [
        {"version": "3.1", "trackId": 409183694, "releaseNotes": "<b>Bug</b> fixes"}]})"));
    auto result = checker(server).appStore(app("Notes", AppSource::appStore, "3.0"));
    ASSERT_EQ(result.kind(), UpdateCheck::Kind::available);
    EXPECT_EQ(result.update()->newVersion, "3.1");
    EXPECT_EQ(result.update()->storeURL, Url::parse("macappstore://apps.example.test/app/id409183694"));
    EXPECT_EQ(result.update()->releaseNotes, "Bug fixes");
    EXPECT_EQ(result.update()->source, AppSource::appStore);
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, lookupTarget("test.Notes", "desktopSoftware"));
    EXPECT_EQ(requests[1].target, lookupTarget("test.Notes", "macSoftware"));
}

TEST(UpdateCheckerAppStore, StopsAtANetworkFailureAndRespectsTheMinimumSystem) {
    LoopbackServer server;
    server.route(lookupTarget("test.Gone", "desktopSoftware"), ScriptedResponse(503));
    server.route(
        lookupTarget("test.Big", "desktopSoftware"),
        ScriptedResponse(200, R"({"results": [{"version": "9.0", "trackId": 1, "minimumOsVersion": "15.0.1"}]})"));
    server.route("/store/lookup", ScriptedResponse(200, R"({"results": []})"));
    auto check = checker(server);

    EXPECT_EQ(check.appStore(app("Gone", AppSource::appStore)), UpdateCheck::failed(badServer));
    EXPECT_EQ(server.count("/store/lookup"), 1u);
    EXPECT_EQ(check.appStore(app("Big", AppSource::appStore)).kind(), UpdateCheck::Kind::upToDate);
    EXPECT_EQ(check.appStore(app("Unlisted", AppSource::appStore)),
              UpdateCheck::failed("The App Store does not list this app in your country."));
}

// --- a whole run ----------------------------------------------------------------------------------

TEST(UpdateCheckerRun, KeepsSixChecksInFlightAndReportsProgressInOrder) {
    LoopbackServer server;
    server.route("/feed", ScriptedResponse(200, feed(enclosure(R"(sparkle:version="2.0")"))));
    std::mutex mutex;
    std::condition_variable changed;
    int inFlight = 0, maxInFlight = 0, started = 0, progressCalls = 0;
    std::vector<int> progressSeenAtStart;
    auto real = Network::fetch("Dovrane/1.0", FetchOptions{2s});
    // Each call holds until six are in flight or every check has started, so a run that kept
    // fewer in flight, or more, shows in the counts.
    FetchFunction gated = [&](const Url& url) {
        {
            std::unique_lock lock(mutex);
            maxInFlight = std::max(maxInFlight, ++inFlight);
            progressSeenAtStart.push_back(progressCalls);
            ++started;
            changed.notify_all();
            changed.wait_for(lock, patient(2s), [&] { return inFlight >= 6 || started == 10; });
        }
        auto result = real(url);
        std::lock_guard lock(mutex);
        --inFlight;
        return result;
    };
    std::vector<InstalledApp> apps;
    for (int i = 0; i < 10; ++i)
        apps.push_back(fed("App" + std::to_string(i), server.url("/feed"), "1.0"));
    std::vector<std::pair<std::size_t, std::size_t>> progress;

    auto results = checker(server, {}, gated).check(apps, [&](std::size_t done, std::size_t total) {
        progress.emplace_back(done, total);
        std::lock_guard lock(mutex);
        ++progressCalls;
    });

    EXPECT_EQ(results.size(), 10u);
    EXPECT_EQ(results.at("/Applications/App7.app").kind(), UpdateCheck::Kind::available);
    EXPECT_EQ(maxInFlight, 6);
    ASSERT_EQ(progressSeenAtStart.size(), 10u);
    for (int k = 0; k < 10; ++k)
        EXPECT_GE(progressSeenAtStart[k], std::max(0, k - 5)) << "check " << k + 1 << " started too early";
    ASSERT_EQ(progress.size(), 10u);
    for (std::size_t i = 0; i < progress.size(); ++i)
        EXPECT_EQ(progress[i], std::pair(i + 1, std::size_t(10)));
}

TEST(UpdateCheckerRun, LeavesSystemAppsOutAndTouchesNoIndexWithoutHomebrew) {
    LoopbackServer server;
    TempDir cache;
    server.route("/feed", ScriptedResponse(200, feed(enclosure(R"(sparkle:version="1.0")"))));
    InstalledApp system = app("Safari", AppSource::apple);
    system.isSystem = true;
    int progressCalls = 0;
    auto count = [&](std::size_t, std::size_t) { ++progressCalls; };

    EXPECT_TRUE(checker(server, cache.path()).check({system, system}, count).empty());
    EXPECT_EQ(progressCalls, 0);

    auto results = checker(server, cache.path()).check({system, fed("Editor", server.url("/feed"), "1.0")}, count);
    EXPECT_EQ(results.size(), 1u);
    EXPECT_EQ(results.at("/Applications/Editor.app").kind(), UpdateCheck::Kind::upToDate);
    EXPECT_EQ(progressCalls, 1);
    EXPECT_EQ(server.count("/api/cask.json"), 0u);
    EXPECT_FALSE(Fs::exists(cache / "homebrew-casks.json"));
}

TEST(UpdateCheckerRun, LoadsTheIndexOnceAndSendsTheUserAgentEverywhere) {
    LoopbackServer server;
    TempDir cache;
    server.route("/api/cask.json", ScriptedResponse(200, casks));
    server.route("/feed", ScriptedResponse(200, feed(enclosure(R"(sparkle:version="1.0")"))));
    server.route("/store/lookup", ScriptedResponse(200, R"({"results": [{"version": "1.0", "trackId": 7}]})"));
    std::vector<InstalledApp> apps = {app("Editor", AppSource::homebrew, "2.1"),
                                      app("Paint", AppSource::homebrew, "1.0"),
                                      fed("Reader", server.url("/feed"), "1.0"), app("Notes", AppSource::appStore)};

    auto results = checker(server, cache.path(), Network::fetch("Dovrane/3.2")).check(apps);
    EXPECT_EQ(results.at("/Applications/Editor.app").kind(), UpdateCheck::Kind::upToDate);
    EXPECT_EQ(results.at("/Applications/Paint.app").update()->newVersion, "3.0");
    EXPECT_EQ(server.count("/api/cask.json"), 1u);
    EXPECT_EQ(Fs::readFile(cache / "homebrew-casks.json"), casks);
    auto requests = server.requests();
    EXPECT_EQ(requests.size(), 3u);
    for (const auto& request : requests)
        EXPECT_EQ(request.header("User-Agent"), "Dovrane/3.2") << request.target;
}

// --- the cask index cache -----------------------------------------------------------------------

TEST(UpdateCheckerCaskCache, IsTrustedForJustUnderADay) {
    LoopbackServer server;
    TempDir cache;
    const std::string cached = R"([{"token": "cached", "version": "1"}])";
    server.route("/api/cask.json", ScriptedResponse(200, casks));
    writeFile(cache / "homebrew-casks.json", cached);

    setTimes(cache / "homebrew-casks.json", Date::now().adding(-86'399));
    EXPECT_EQ(checker(server, cache.path()).caskIndex().count("cached"), 1u);
    setTimes(cache / "homebrew-casks.json", Date::now().adding(3'600));
    EXPECT_EQ(checker(server, cache.path()).caskIndex().count("cached"), 1u);
    EXPECT_EQ(server.count("/api/cask.json"), 0u);

    setTimes(cache / "homebrew-casks.json", Date::now().adding(-86'400));
    auto table = checker(server, cache.path()).caskIndex();
    EXPECT_EQ(server.count("/api/cask.json"), 1u);
    EXPECT_EQ(table, CaskIndex::parse(casks));
    EXPECT_EQ(Fs::readFile(cache / "homebrew-casks.json"), casks);
}

TEST(UpdateCheckerCaskCache, OldCacheStandsInWhenTheNetworkOrTheAnswerFails) {
    LoopbackServer server;
    TempDir cache;
    const std::string cached = R"([{"token": "cached", "version": "1"}])";
    writeFile(cache / "homebrew-casks.json", cached);
    setTimes(cache / "homebrew-casks.json", daysAgo(30));

    server.route("/api/cask.json", ScriptedResponse(500));
    EXPECT_EQ(checker(server, cache.path()).caskIndex().count("cached"), 1u);
    // A success status over a page that holds no casks leaves the cache as it was.
    server.route("/api/cask.json", ScriptedResponse(200, "<html>Sign in to the hotel network</html>"));
    EXPECT_EQ(checker(server, cache.path()).caskIndex().count("cached"), 1u);
    EXPECT_EQ(Fs::readFile(cache / "homebrew-casks.json"), cached);
    EXPECT_EQ(server.count("/api/cask.json"), 2u);

    TempDir empty;
    EXPECT_TRUE(checker(server, empty.path()).caskIndex().empty());
    EXPECT_FALSE(Fs::exists(empty / "homebrew-casks.json"));
    EXPECT_EQ(checker(server, empty.path()).check({app("Editor", AppSource::homebrew)}).at("/Applications/Editor.app"),
              UpdateCheck::failed(noIndex));
}

// --- sentences --------------------------------------------------------------------------------------

TEST(UpdateCheckerExplain, GivesOneSentencePerKindOfFailureInTheCurrentLanguage) {
    auto explain = [](NetworkErrorCode code, FetchErrorDomain domain = FetchErrorDomain::network) {
        return UpdateChecker::explain(FetchError{domain, code, 0, {}});
    };
    EXPECT_EQ(explain(NetworkErrorCode::timedOut), "The vendor's server did not answer in time.");
    EXPECT_EQ(explain(NetworkErrorCode::dnsLookupFailed), "The vendor's update server no longer exists.");
    EXPECT_EQ(explain(NetworkErrorCode::serverCertificateHasBadDate),
              "The connection to the vendor's server is not secure. Dovrane stopped here.");
    EXPECT_EQ(explain(NetworkErrorCode::tooManyRedirects), didNotWork);

    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(explain(NetworkErrorCode::notConnectedToInternet), "Keine Internetverbindung.");
    EXPECT_EQ(explain(NetworkErrorCode::timedOut), "Der Server des Herstellers hat nicht rechtzeitig geantwortet.");
    EXPECT_EQ(explain(NetworkErrorCode::cannotFindHost), "Den Update-Server des Herstellers gibt es nicht mehr.");
    EXPECT_EQ(explain(NetworkErrorCode::secureConnectionFailed),
              "Die Verbindung zum Server des Herstellers ist nicht sicher. Dovrane hat hier aufgehört.");
    EXPECT_EQ(explain(NetworkErrorCode::timedOut, FetchErrorDomain::other),
              "Die Update-Prüfung hat diesmal nicht geklappt.");
    EXPECT_EQ(explain(NetworkErrorCode::unsupportedURL),
              "Die Update-Adresse führt zu keinem Web-Server (http oder https). Dovrane hat hier aufgehört.");
}

TEST(UpdateCheckerExplain, ChecksWordTheirResultsInGerman) {
    ScopedEnv german("APP_LANG", "de");
    LoopbackServer server;
    InstalledApp tapped = app("Paint", AppSource::homebrew);
    auto check = checker(server);
    EXPECT_EQ(check.check(tapped, {}), UpdateCheck::failed("Die Homebrew-Liste ließ sich nicht laden."));
    EXPECT_EQ(check.check(tapped, CaskIndex::parse(R"([{"token": "x", "version": "1"}])")),
              UpdateCheck::unsupported("Diese App stammt aus einem Homebrew-Tap, den Dovrane nicht lesen kann. "
                                       "\u201Ebrew upgrade\u201C im Terminal aktualisiert sie trotzdem."));
    EXPECT_EQ(check.check(app("Mail", AppSource::apple), {}).message(), "macOS aktualisiert diese App.");
    EXPECT_EQ(
        check.check(app("Odd", AppSource::unknown), {}).message(),
        "Dovrane erkennt nicht, woher diese App ihre Updates bekommt. Oft hat die App selbst einen Menüpunkt dafür.");
    EXPECT_EQ(check.sparkle(app("Self", AppSource::sparkle)).message(),
              "Diese App aktualisiert sich selbst, verrät aber nicht, woher.");
    EXPECT_EQ(check.sparkle(fed("Bad", server.url("/missing"), "1")).message(),
              "Der Update-Server des Herstellers hat mit einem Fehler geantwortet.");
    server.route("/empty", ScriptedResponse(200, feed("")));
    EXPECT_EQ(check.sparkle(fed("Empty", server.url("/empty"), "1")).message(),
              "Der Update-Feed dieser App ließ sich nicht lesen.");
    tapped.caskToken = "x";
    EXPECT_EQ(check.check(tapped, CaskIndex::parse(R"([{"token": "x", "version": "latest"}])")).message(),
              "Homebrew verfolgt bei dieser App keine Versionen.");
    server.route("/store/lookup", ScriptedResponse(200, R"({"results": []})"));
    EXPECT_EQ(check.appStore(app("Unlisted", AppSource::appStore)).message(),
              "Der App Store führt diese App in deinem Land nicht.");
}
