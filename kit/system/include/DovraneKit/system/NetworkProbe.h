#pragma once
// Whether the machine has a network to reach a server through at all. A name lookup fails first
// when it has none, so a failed lookup means an unknown host only where this says yes.

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane {

class NetworkProbe {
public:
    virtual ~NetworkProbe();

    // Asked afresh at each call; callable from any thread.
    virtual bool hasUsableNetwork() const = 0;

    // The machine's own (LinuxNetworkProbe), shared.
    static std::shared_ptr<const NetworkProbe> system();
};

// Usable: an interface other than loopback is up, has a carrier and carries a default route
// (IPv4 or IPv6), and some name server of /etc/resolv.conf has a route (found without sending
// anything). Read from the kernel's tables of the process's own network namespace.
class LinuxNetworkProbe final : public NetworkProbe {
public:
    bool hasUsableNetwork() const override;

    // The interfaces that carry a default route in use, from the text of /proc/net/route and
    // /proc/net/ipv6_route; an unreachable or prohibiting route carries nothing.
    static std::set<std::string> defaultRouteInterfaces(std::string_view ipv4Routes, std::string_view ipv6Routes);
    // The name servers resolv.conf's text names, in its order; the resolver's own default,
    // "127.0.0.1", where it names none.
    static std::vector<std::string> nameServers(std::string_view resolvConf);
};

} // namespace dovrane
