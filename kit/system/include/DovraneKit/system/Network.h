#pragma once
// Fetching over HTTP(S) for update checks and downloading update archives. Failures come back
// as FetchError values whose code tells the kind of trouble, so callers can word it.

#include "DovraneKit/core/Expected.h"
#include "DovraneKit/core/Url.h"
#include "DovraneKit/system/NetworkProbe.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace dovrane {

enum class FetchErrorDomain {
    network, // the transfer or the server failed
    other,   // a local failure: the file could not be written, the library could not start
};

enum class NetworkErrorCode {
    other,
    badURL,
    unsupportedURL,   // a scheme other than http or https, also as a redirect target
    insecureRedirect, // a request begun over https was sent on to plain http
    notConnectedToInternet,
    networkConnectionLost, // the connection broke, or closed before an answer came
    timedOut,              // no data arrived within the stall limit, or the request outlasted its deadline
    cannotFindHost,
    dnsLookupFailed,
    cannotConnectToHost, // refused or unreachable host
    badServerResponse,   // a status outside 200-299 (see FetchError::status) or a garbled answer
    tooManyRedirects,
    serverCertificateUntrusted,
    secureConnectionFailed,
    serverCertificateHasBadDate,
    responseTooLarge,
};

struct FetchError {
    FetchErrorDomain domain = FetchErrorDomain::network;
    NetworkErrorCode code = NetworkErrorCode::other;
    int status = 0;          // the HTTP status for badServerResponse, else 0
    std::string description; // for logs; never shown as is

    bool operator==(const FetchError&) const = default;
};

using FetchResult = Expected<std::string, FetchError>;
using FetchFunction = std::function<FetchResult(const Url&)>;

struct FetchOptions {
    // Longest wait without any data arriving (also for connecting); not a limit on the whole
    // transfer.
    std::chrono::seconds stallLimit{20};
    // Larger bodies fail with responseTooLarge. Large enough for the whole cask index.
    static constexpr std::uint64_t defaultMaxBytes = 256ull << 20;
    std::uint64_t maxBytes = defaultMaxBytes;
    // Asked when a name lookup fails: without a usable network the failure is
    // notConnectedToInternet, else cannotFindHost (dnsLookupFailed for the proxy's name).
    std::shared_ptr<const NetworkProbe> probe = NetworkProbe::system();
    // The whole request, connecting included, ends as timedOut after this long, however the data
    // trickle in: the stall limit alone lets a server that sends a byte a second hold a check for
    // good. 45 s leaves room for the stall limit's 20 s to connect and a further 25 s of transfer,
    // which carries even the cask index (a few MB compressed) over a slow line, and keeps a run of
    // checks, six at a time, moving within a minute of a server that never finishes.
    std::chrono::milliseconds deadline{45'000};
    // A PEM file of the certificate authorities trusted in place of the system's bundle; empty:
    // the system's. Tests trust their loopback server's own certificate this way.
    std::string certificateAuthorities{};
};

struct DownloadOptions {
    std::chrono::seconds stallLimit{60};
    // Larger bodies fail with responseTooLarge, as soon as they are announced or arrive.
    static constexpr std::uint64_t defaultMaxBytes = 8ull << 30;
    std::uint64_t maxBytes = defaultMaxBytes;
    std::shared_ptr<const NetworkProbe> probe = NetworkProbe::system(); // as for FetchOptions
    // Slower than this, in bytes a second, over a whole stall limit, the download ends as
    // timedOut. 1 KB/s is below any line that works at all, while a server that drips a few bytes
    // a second is let go within the minute.
    std::uint64_t minimumRate = 1000;
    // The whole download ends as timedOut once it has taken baseDeadline plus the time its size
    // takes at deadlineRate (bytes a second). The size is the announced length, or what has
    // arrived when that is more (or nothing is announced), so a large update gets its time and a
    // small one cannot be stretched out at just above minimumRate. At 32 KB/s a 200 MB archive
    // gets close to two hours.
    std::chrono::milliseconds baseDeadline{300'000};
    std::uint64_t deadlineRate = 32'000;
    std::string certificateAuthorities{}; // as for FetchOptions
};

namespace Network {

// A function that GETs a URL and returns the whole body. It may be called from many threads
// at once; all calls share one session (DNS and TLS session caches) that lives as long as
// the function. Every request carries "User-Agent: userAgent"; no cookies, cache or
// credentials are kept. Redirects are followed, to http and https only, and never from https
// to http (insecureRedirect); any other scheme is unsupportedURL. A status outside
// 200-299 is a badServerResponse error carrying the status; the body is dropped. A request that
// stalls for the stall limit or outlasts the deadline is a timedOut error.
FetchFunction fetch(std::string userAgent, FetchOptions options = {});

// Streams a URL into a file at toPath (written beside it, then renamed into place, so the
// body is never held in memory and a failure leaves nothing at toPath). No extra headers are
// sent. Redirects are followed as for fetch. A status outside 200-299 fails with
// badServerResponse; one too slow to finish (see DownloadOptions) with timedOut. Returns the bytes
// written.
[[nodiscard]] Expected<std::uint64_t, FetchError> download(const Url& from, const std::string& toPath,
                                                           DownloadOptions options = {});

} // namespace Network

} // namespace dovrane
