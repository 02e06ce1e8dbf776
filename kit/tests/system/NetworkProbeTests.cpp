#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/Network.h"
#include "DovraneKit/system/NetworkProbe.h"
#include "support/FakeNetworkProbe.h"
#include "support/LoopbackServer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <optional>

using namespace dovrane;
using namespace dovrane::testing;
using namespace std::chrono_literals;

namespace {

// A name the resolver rejects for its empty label, so its lookup fails without asking a server.
const Url malformedHost = Url::parse("http://updates..example.test/appcast.xml").value();

// Runs body in a child process in a network namespace of its own, which has nothing but a
// loopback interface that is down, and returns its exit status; nothing when the machine
// allows no such namespace.
std::optional<int> inPrivateNetwork(const std::function<int()>& body) {
    constexpr int noNamespace = 125;
    const pid_t child = ::fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        // Without the right to make one, a user namespace of our own brings it.
        if (::unshare(CLONE_NEWNET) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
            std::_Exit(noNamespace);
        std::_Exit(body());
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status))
        return -1;
    if (WEXITSTATUS(status) == noNamespace)
        return std::nullopt;
    return WEXITSTATUS(status);
}

} // namespace

TEST(LinuxNetworkProbe, FindsTheInterfacesWithADefaultRouteInUse) {
    const std::string ipv4 = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
                             "eth0\t00000000\t010200C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
                             "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"
                             "wlan0\t0000A8C0\t00000000\t0001\t0\t0\t0\t0000FFFF\t0\t0\t0\n"
                             "lo\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n"
                             "blocked\t00000000\t00000000\t0201\t0\t0\t0\t00000000\t0\t0\t0\n"
                             "half\t00000000\n";
    const std::string zeros(32, '0');
    const std::string ipv6 = zeros + " 00 " + zeros + " 00 " + zeros + " ffffffff 00000001 00000000 00200200 lo\n" +
                             "fe800000000000000000000000000000 40 " + zeros + " 00 " + zeros +
                             " 00000100 00000001 00000000 00000001 wlan0\n" + zeros + " 00 " + zeros + " 00 " +
                             "fe800000000000000000000000000001 00000400 00000001 00000000 00000003 wg0\n";

    EXPECT_EQ(LinuxNetworkProbe::defaultRouteInterfaces(ipv4, ""), std::set<std::string>{"eth0"});
    EXPECT_EQ(LinuxNetworkProbe::defaultRouteInterfaces("", ipv6), std::set<std::string>{"wg0"});
    EXPECT_EQ(LinuxNetworkProbe::defaultRouteInterfaces(ipv4, ipv6), (std::set<std::string>{"eth0", "wg0"}));
    EXPECT_TRUE(LinuxNetworkProbe::defaultRouteInterfaces("", "").empty());
}

TEST(LinuxNetworkProbe, ReadsTheNameServersOrTheResolversDefault) {
    EXPECT_EQ(LinuxNetworkProbe::nameServers("# written by a tool\n"
                                             "search example.test\n"
                                             "nameserver 10.0.0.53\n"
                                             "#nameserver 10.0.0.54\n"
                                             "  nameserver\tfe80::1%eth0 \n"
                                             "options edns0\n"),
              (std::vector<std::string>{"10.0.0.53", "fe80::1%eth0"}));
    EXPECT_EQ(LinuxNetworkProbe::nameServers("search example.test\n"), std::vector<std::string>{"127.0.0.1"});
}

// The probe is asked only when a lookup failed; its answer decides between offline and a host
// that does not exist, for a fetch and a download alike.
TEST(NetworkFetch, AFailedLookupIsOfflineOnlyWithoutAUsableNetwork) {
    auto offline = std::make_shared<FakeNetworkProbe>(false);
    auto online = std::make_shared<FakeNetworkProbe>(true);
    auto fetched = [](std::shared_ptr<FakeNetworkProbe> probe, const Url& url) {
        return Network::fetch("Dovrane/1.0", FetchOptions{2s, 1 << 20, std::move(probe)})(url);
    };

    auto unreached = fetched(offline, malformedHost);
    ASSERT_FALSE(unreached);
    EXPECT_EQ(unreached.error().code, NetworkErrorCode::notConnectedToInternet);
    auto unknown = fetched(online, malformedHost);
    ASSERT_FALSE(unknown);
    EXPECT_EQ(unknown.error().code, NetworkErrorCode::cannotFindHost);
    EXPECT_EQ(offline->asked(), 1);
    EXPECT_EQ(online->asked(), 1);

    TempDir folder;
    auto download = Network::download(malformedHost, folder / "App.zip", DownloadOptions{2s, 1 << 20, offline});
    ASSERT_FALSE(download);
    EXPECT_EQ(download.error().code, NetworkErrorCode::notConnectedToInternet);
    EXPECT_TRUE(Fs::list(folder.path()).empty());

    // An answer needs no question.
    LoopbackServer server;
    server.route("/feed", ScriptedResponse(200, "feed"));
    EXPECT_TRUE(fetched(offline, server.url("/feed")));
    EXPECT_EQ(offline->asked(), 2);
}

// The way it happens: no network at all, where the lookup of a real name is what fails.
TEST(NetworkFetch, InANetworkNamespaceWithoutAnyNetworkALookupFailsAsOffline) {
    const std::optional<int> status = inPrivateNetwork([] {
        if (LinuxNetworkProbe().hasUsableNetwork())
            return 1;
        auto result =
            Network::fetch("Dovrane/1.0", FetchOptions{2s})(Url::parse("http://updates.example.com/x").value());
        if (result)
            return 2;
        return result.error().code == NetworkErrorCode::notConnectedToInternet ? 0 : 3;
    });
    if (!status)
        GTEST_SKIP() << "this machine allows no private network namespace (unshare: CLONE_NEWNET)";
    EXPECT_EQ(*status, 0) << "1: the probe sees a network, 2: the fetch succeeded, 3: not reported as offline";
}
