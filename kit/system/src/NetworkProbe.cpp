#include "DovraneKit/system/NetworkProbe.h"

#include "DovraneKit/system/FileSystem.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <sstream>

namespace dovrane {

namespace {

// The kernel's route flags (linux/route.h, linux/ipv6_route.h).
constexpr unsigned long routeUp = 0x0001;
constexpr unsigned long routeReject = 0x0200;

unsigned long hexNumber(std::string_view text) {
    unsigned long number = 0;
    std::from_chars(text.data(), text.data() + text.size(), number, 16);
    return number;
}

// Interfaces that are up, have a carrier and are not loopback.
std::set<std::string> runningInterfaces() {
    std::set<std::string> names;
    ifaddrs* first = nullptr;
    if (::getifaddrs(&first) != 0)
        return names;
    for (const ifaddrs* entry = first; entry; entry = entry->ifa_next) {
        const unsigned flags = entry->ifa_flags;
        if (entry->ifa_name && (flags & IFF_UP) && (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK))
            names.insert(entry->ifa_name);
    }
    ::freeifaddrs(first);
    return names;
}

// Whether the kernel has a route to the name server: connecting a datagram socket only looks
// the route up, it sends nothing.
bool routes(const std::string& server) {
    sockaddr_storage address{};
    socklen_t length = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    // A link-local IPv6 server carries its interface after "%", which needs no route.
    const std::string host = server.substr(0, server.find('%'));
    if (::inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(53);
        length = sizeof *v4;
    } else if (::inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        if (host.size() != server.size())
            return true;
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(53);
        length = sizeof *v6;
    } else {
        return false;
    }
    const int fd = ::socket(address.ss_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool routed = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    ::close(fd);
    return routed;
}

} // namespace

NetworkProbe::~NetworkProbe() = default;

std::shared_ptr<const NetworkProbe> NetworkProbe::system() {
    static const auto probe = std::make_shared<const LinuxNetworkProbe>();
    return probe;
}

bool LinuxNetworkProbe::hasUsableNetwork() const {
    const std::set<std::string> routed = defaultRouteInterfaces(Fs::readFile("/proc/net/route").value_or(""),
                                                                Fs::readFile("/proc/net/ipv6_route").value_or(""));
    const std::set<std::string> running = runningInterfaces();
    bool connected = false;
    for (const std::string& name : routed)
        connected = connected || running.contains(name);
    if (!connected)
        return false;
    for (const std::string& server : nameServers(Fs::readFile("/etc/resolv.conf").value_or("")))
        if (routes(server))
            return true;
    return false;
}

std::set<std::string> LinuxNetworkProbe::defaultRouteInterfaces(std::string_view ipv4Routes,
                                                                std::string_view ipv6Routes) {
    std::set<std::string> names;
    // Iface Destination Gateway Flags RefCnt Use Metric Mask …, in hexadecimal, after a heading.
    std::istringstream ipv4{std::string(ipv4Routes)};
    for (std::string line; std::getline(ipv4, line);) {
        std::istringstream fields(line);
        std::string name, destination, gateway, flags, count, use, metric, mask;
        if (fields >> name >> destination >> gateway >> flags >> count >> use >> metric >> mask &&
            destination == "00000000" && mask == "00000000" && (hexNumber(flags) & routeUp) &&
            !(hexNumber(flags) & routeReject) && name != "lo")
            names.insert(name);
    }
    // Destination, its prefix length, source, its prefix length, next hop, metric, count, use,
    // flags and interface; no heading.
    std::istringstream ipv6{std::string(ipv6Routes)};
    for (std::string line; std::getline(ipv6, line);) {
        std::istringstream fields(line);
        std::string destination, prefix, source, sourcePrefix, hop, metric, count, use, flags, name;
        if (fields >> destination >> prefix >> source >> sourcePrefix >> hop >> metric >> count >> use >> flags >>
                name &&
            destination == std::string(32, '0') && prefix == "00" && (hexNumber(flags) & routeUp) &&
            !(hexNumber(flags) & routeReject) && name != "lo")
            names.insert(name);
    }
    return names;
}

std::vector<std::string> LinuxNetworkProbe::nameServers(std::string_view resolvConf) {
    std::vector<std::string> servers;
    std::istringstream text{std::string(resolvConf)};
    for (std::string line; std::getline(text, line);) {
        std::istringstream fields(line);
        std::string keyword, server;
        if (fields >> keyword >> server && keyword == "nameserver")
            servers.push_back(server);
    }
    if (servers.empty())
        servers.push_back("127.0.0.1");
    return servers;
}

} // namespace dovrane
