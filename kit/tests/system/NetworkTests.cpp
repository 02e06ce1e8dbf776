#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/Network.h"
#include "support/LoopbackServer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

using namespace dovrane;
using namespace dovrane::testing;
using namespace std::chrono_literals;

namespace {

FetchFunction quickFetch(std::uint64_t maxBytes = 1 << 20) {
    return Network::fetch("Dovrane/1.0", FetchOptions{1s, maxBytes});
}

std::string patterned(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = char('a' + (i * 7 + i / 251) % 26);
    return text;
}

// A port on 127.0.0.1 that is bound but not listening: a connection there is refused.
class RefusingPort {
public:
    RefusingPort() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~RefusingPort() { ::close(fd_); }
    Url url() const { return Url::parse("http://127.0.0.1:" + std::to_string(port_) + "/x").value(); }

private:
    int fd_;
    std::uint16_t port_ = 0;
};

} // namespace

TEST(NetworkFetch, ReturnsTheBodyAndSendsTheUserAgent) {
    LoopbackServer server;
    server.route("/appcast.xml", ScriptedResponse(200, "<rss>feed</rss>", {{"Content-Type", "application/xml"}}));
    auto fetch = Network::fetch("Dovrane/2.3\r\nX-Injected: yes");

    auto result = fetch(server.url("/appcast.xml?channel=beta"));
    ASSERT_TRUE(result) << result.error().description;
    EXPECT_EQ(*result, "<rss>feed</rss>");

    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/appcast.xml?channel=beta");
    EXPECT_EQ(requests[0].header("User-Agent"), "Dovrane/2.3X-Injected: yes");
    EXPECT_FALSE(requests[0].header("X-Injected"));
}

TEST(NetworkFetch, StatusOutsideSuccessIsABadServerResponseWithoutBody) {
    LoopbackServer server;
    server.route("/missing", ScriptedResponse(404, "<h1>Not here</h1>"));
    server.route("/broken", ScriptedResponse(500, "trace"));
    server.route("/unchanged", ScriptedResponse(304, ""));
    auto fetch = quickFetch();

    for (auto [path, status] : {std::pair{"/missing", 404}, {"/broken", 500}, {"/unchanged", 304}}) {
        auto result = fetch(server.url(path));
        ASSERT_FALSE(result) << path;
        EXPECT_EQ(result.error().domain, FetchErrorDomain::network);
        EXPECT_EQ(result.error().code, NetworkErrorCode::badServerResponse) << path;
        EXPECT_EQ(result.error().status, status);
    }
}

TEST(NetworkFetch, NoContentGivesEmptyBytes) {
    LoopbackServer server;
    server.route("/empty", ScriptedResponse(204, ""));
    auto result = quickFetch()(server.url("/empty"));
    ASSERT_TRUE(result) << result.error().description;
    EXPECT_EQ(*result, "");
}

TEST(NetworkFetch, FollowsRedirectsOnlyToHttp) {
    LoopbackServer server;
    server.route("/old", ScriptedResponse(301, "", {{"Location", "/new"}}));
    server.route("/new", ScriptedResponse(200, "moved body"));
    server.route("/to-file", ScriptedResponse(302, "", {{"Location", "file:///etc/passwd"}}));
    server.route("/to-ftp",
                 ScriptedResponse(302, "", {{"Location", "ftp://127.0.0.1:" + std::to_string(server.port()) + "/x"}}));
    auto fetch = quickFetch();

    auto moved = fetch(server.url("/old"));
    ASSERT_TRUE(moved) << moved.error().description;
    EXPECT_EQ(*moved, "moved body");

    for (const char* path : {"/to-file", "/to-ftp"}) {
        auto refused = fetch(server.url(path));
        ASSERT_FALSE(refused) << path;
        EXPECT_EQ(refused.error().code, NetworkErrorCode::unsupportedURL) << path;
    }
    EXPECT_EQ(server.count("/x"), 0u);

    auto direct = fetch(Url::fromPath("/etc/hostname"));
    ASSERT_FALSE(direct);
    EXPECT_EQ(direct.error().code, NetworkErrorCode::unsupportedURL);
}

// A request begun over https never goes on over plain http, neither a fetch nor a download and
// neither at the first redirect nor at a later one. https to https, and http up to https, still
// follow. Only a client that names the loopback certificate trusts the https server.
TEST(NetworkRedirects, AnHttpsRequestIsNeverSentOnToPlainHttp) {
    LoopbackServer plain;
    LoopbackServer secure(LoopbackScheme::https);
    plain.route("/feed.xml", ScriptedResponse(200, "plain feed"));
    plain.route("/up", ScriptedResponse(302, "", {{"Location", secure.url("/feed.xml").text()}}));
    secure.route("/feed.xml", ScriptedResponse(200, "secure feed"));
    secure.route("/moved", ScriptedResponse(301, "", {{"Location", "/feed.xml"}}));
    secure.route("/down", ScriptedResponse(302, "", {{"Location", plain.url("/feed.xml").text()}}));
    secure.route("/via", ScriptedResponse(302, "", {{"Location", secure.url("/down").text()}}));
    secure.route("/to-file", ScriptedResponse(302, "", {{"Location", "file:///etc/hostname"}}));
    FetchOptions trusting{2s};
    trusting.certificateAuthorities = LoopbackServer::certificateFile();
    auto fetch = Network::fetch("Dovrane/1.0", trusting);

    auto untrusted = Network::fetch("Dovrane/1.0", FetchOptions{2s})(secure.url("/feed.xml"));
    ASSERT_FALSE(untrusted);
    EXPECT_EQ(untrusted.error().code, NetworkErrorCode::serverCertificateUntrusted);
    for (const Url& url : {secure.url("/moved"), plain.url("/up")}) {
        auto followed = fetch(url);
        ASSERT_TRUE(followed) << url.text() << ": " << followed.error().description;
        EXPECT_EQ(*followed, "secure feed");
    }

    for (const char* path : {"/down", "/via"}) {
        auto refused = fetch(secure.url(path));
        ASSERT_FALSE(refused) << path;
        EXPECT_EQ(refused.error().code, NetworkErrorCode::insecureRedirect) << path;
    }
    auto toFile = fetch(secure.url("/to-file"));
    ASSERT_FALSE(toFile);
    EXPECT_EQ(toFile.error().code, NetworkErrorCode::unsupportedURL);

    TempDir folder;
    DownloadOptions downloading{2s};
    downloading.certificateAuthorities = LoopbackServer::certificateFile();
    auto downloaded = Network::download(secure.url("/down"), folder / "App.zip", downloading);
    ASSERT_FALSE(downloaded);
    EXPECT_EQ(downloaded.error().code, NetworkErrorCode::insecureRedirect);
    EXPECT_TRUE(Fs::list(folder.path()).empty());
    EXPECT_EQ(plain.count("/feed.xml"), 0u);
}

TEST(NetworkFetch, TransportFailuresAreDistinctNetworkErrors) {
    LoopbackServer server;
    server.route("/drop", ScriptedResponse().dropped());
    server.route("/stall", ScriptedResponse(200, "late").delayed(20s));
    auto fetch = quickFetch();

    auto dropped = fetch(server.url("/drop"));
    ASSERT_FALSE(dropped);
    EXPECT_EQ(dropped.error().domain, FetchErrorDomain::network);
    EXPECT_EQ(dropped.error().code, NetworkErrorCode::networkConnectionLost);

    auto stalled = fetch(server.url("/stall"));
    ASSERT_FALSE(stalled);
    EXPECT_EQ(stalled.error().code, NetworkErrorCode::timedOut);

    RefusingPort refusing;
    auto refused = fetch(refusing.url());
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().domain, FetchErrorDomain::network);
    EXPECT_EQ(refused.error().code, NetworkErrorCode::cannotConnectToHost);
}

// A byte every tenth of a second never stalls, yet the answer would take twenty seconds.
TEST(NetworkFetch, AnAnswerThatDripsEndsAtTheDeadline) {
    LoopbackServer server;
    server.route("/appcast.xml", ScriptedResponse(200, patterned(200)).dripped(100ms));
    FetchOptions options;
    options.stallLimit = 2s;
    options.deadline = 500ms;

    auto dripped = Network::fetch("Dovrane/1.0", options)(server.url("/appcast.xml"));
    ASSERT_FALSE(dripped);
    EXPECT_EQ(dripped.error().code, NetworkErrorCode::timedOut);
}

TEST(NetworkFetch, RefusesBodiesOverTheCap) {
    LoopbackServer server;
    server.route("/exact", ScriptedResponse(200, patterned(1000)));
    server.route("/announced", ScriptedResponse(200, patterned(1001)));
    server.route("/unannounced", ScriptedResponse(200, patterned(64 * 1024)).withoutLength());
    auto fetch = quickFetch(1000);

    auto exact = fetch(server.url("/exact"));
    ASSERT_TRUE(exact) << exact.error().description;
    EXPECT_EQ(exact->size(), 1000u);
    for (const char* path : {"/announced", "/unannounced"}) {
        auto result = fetch(server.url(path));
        ASSERT_FALSE(result) << path;
        EXPECT_EQ(result.error().code, NetworkErrorCode::responseTooLarge) << path;
    }
}

TEST(NetworkFetch, OneFunctionServesManyThreadsAtOnce) {
    LoopbackServer server;
    constexpr int threads = 8, perThread = 6;
    for (int i = 0; i < threads * perThread; ++i)
        server.route("/item/" + std::to_string(i),
                     ScriptedResponse(200, "body " + std::to_string(i) + patterned(std::size_t(i) * 997)));
    auto fetch = quickFetch();

    std::vector<std::vector<std::string>> bodies(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int k = 0; k < perThread; ++k) {
                auto result = fetch(server.url("/item/" + std::to_string(t * perThread + k)));
                bodies[std::size_t(t)].push_back(result ? *result : "error: " + result.error().description);
            }
        });
    for (auto& worker : workers)
        worker.join();

    for (int t = 0; t < threads; ++t)
        for (int k = 0; k < perThread; ++k) {
            int i = t * perThread + k;
            EXPECT_EQ(bodies[std::size_t(t)][std::size_t(k)],
                      "body " + std::to_string(i) + patterned(std::size_t(i) * 997));
        }
    EXPECT_EQ(server.requests().size(), std::size_t(threads * perThread));
}

TEST(NetworkDownload, WritesTheWholeBodyToTheFileWithoutExtraHeaders) {
    LoopbackServer server;
    std::string archive = patterned(3 << 20);
    server.route("/App-2.0.zip", ScriptedResponse(200, archive).withoutLength());
    TempDir folder;

    auto written = Network::download(server.url("/App-2.0.zip"), folder / "App-2.0.zip");
    ASSERT_TRUE(written) << written.error().description;
    EXPECT_EQ(*written, archive.size());
    EXPECT_EQ(Fs::readFile(folder / "App-2.0.zip"), archive);
    EXPECT_EQ(Fs::list(folder.path()), std::vector<std::string>{"App-2.0.zip"});
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_FALSE(server.requests()[0].header("User-Agent"));
}

TEST(NetworkDownload, FailureLeavesNoFileBehind) {
    LoopbackServer server;
    server.route("/gone.dmg", ScriptedResponse(404, "not found page"));
    // Announces more than it sends, then hangs up.
    server.route("/cut.dmg", ScriptedResponse(200, patterned(5000), {{"Content-Length", "900000"}}).withoutLength());
    server.route("/huge.dmg", ScriptedResponse(200, patterned(20000)));
    TempDir folder;

    auto gone = Network::download(server.url("/gone.dmg"), folder / "gone.dmg");
    ASSERT_FALSE(gone);
    EXPECT_EQ(gone.error().code, NetworkErrorCode::badServerResponse);
    EXPECT_EQ(gone.error().status, 404);

    auto cut = Network::download(server.url("/cut.dmg"), folder / "cut.dmg", DownloadOptions{2s, 1 << 20});
    ASSERT_FALSE(cut);
    EXPECT_EQ(cut.error().code, NetworkErrorCode::networkConnectionLost);

    auto huge = Network::download(server.url("/huge.dmg"), folder / "huge.dmg", DownloadOptions{2s, 10000});
    ASSERT_FALSE(huge);
    EXPECT_EQ(huge.error().code, NetworkErrorCode::responseTooLarge);

    auto unwritable = Network::download(server.url("/huge.dmg"), folder / "no-such-folder/huge.dmg");
    ASSERT_FALSE(unwritable);
    EXPECT_EQ(unwritable.error().domain, FetchErrorDomain::other);

    EXPECT_TRUE(Fs::list(folder.path()).empty());
}

// Too slow for the minimum rate, or slower than the size's deadline allows: either way the
// download ends as timed out and leaves nothing behind. A download that takes longer than the
// fixed part of the deadline but keeps to the rate finishes.
TEST(NetworkDownload, ADownloadTooSlowToFinishEndsAsTimedOut) {
    LoopbackServer server;
    const std::string archive = patterned(25);
    server.route("/drip.zip", ScriptedResponse(200, patterned(200)).dripped(100ms));
    server.route("/steady.zip", ScriptedResponse(200, archive).dripped(20ms));
    server.route("/slow.zip", ScriptedResponse(200, archive).dripped(200ms));
    TempDir folder;

    DownloadOptions belowRate;
    belowRate.stallLimit = 1s;
    belowRate.minimumRate = 1000;
    auto dripped = Network::download(server.url("/drip.zip"), folder / "drip.zip", belowRate);
    ASSERT_FALSE(dripped);
    EXPECT_EQ(dripped.error().code, NetworkErrorCode::timedOut);

    // 25 bytes at 10 bytes a second after 200 ms: 2.7 s allowed. The steady answer takes half a
    // second, the slow one five.
    DownloadOptions bySize;
    bySize.stallLimit = 2s;
    bySize.minimumRate = 1;
    bySize.baseDeadline = 200ms;
    bySize.deadlineRate = 10;
    auto steady = Network::download(server.url("/steady.zip"), folder / "steady.zip", bySize);
    ASSERT_TRUE(steady) << steady.error().description;
    EXPECT_EQ(Fs::readFile(folder / "steady.zip"), archive);
    auto slow = Network::download(server.url("/slow.zip"), folder / "slow.zip", bySize);
    ASSERT_FALSE(slow);
    EXPECT_EQ(slow.error().code, NetworkErrorCode::timedOut);

    EXPECT_EQ(Fs::list(folder.path()), std::vector<std::string>{"steady.zip"});
}
