#include "DovraneKit/system/Network.h"

#include "DovraneKit/system/FileSystem.h"

#include "DovraneKit/system/SharedLibrary.h"
#include "system/DlopenNote.h"

// The bit-mask protocol options stand in where the loaded libcurl predates their text forms.
#define CURL_DISABLE_DEPRECATION
#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <unistd.h>

namespace dovrane {

namespace {

// OpenSSL's verification results for a certificate outside its validity period
// (X509_V_ERR_CERT_NOT_YET_VALID, X509_V_ERR_CERT_HAS_EXPIRED and the two malformed-date
// variants); named here so the library needs no OpenSSL headers.
constexpr long certificateNotYetValid = 9;
constexpr long certificateHasExpired = 10;
constexpr long certificateBadNotBefore = 13;
constexpr long certificateBadNotAfter = 14;

constexpr long maximumRedirects = 16;

// libcurl's functions, from the library loaded by the first request: most runs of the program
// never touch the network.
struct Curl {
    decltype(&curl_global_init) global_init = nullptr;
    decltype(&curl_easy_init) easy_init = nullptr;
    decltype(&curl_easy_setopt) easy_setopt = nullptr;
    decltype(&curl_easy_perform) easy_perform = nullptr;
    decltype(&curl_easy_getinfo) easy_getinfo = nullptr;
    decltype(&curl_easy_strerror) easy_strerror = nullptr;
    decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
    decltype(&curl_share_init) share_init = nullptr;
    decltype(&curl_share_setopt) share_setopt = nullptr;
    decltype(&curl_share_cleanup) share_cleanup = nullptr;
};

DOVRANE_DLOPEN_NOTE(curlNote, R"([{"feature":"network","description":"Update checks and downloads",)"
                              R"("priority":"recommended","soname":["libcurl.so.4"]}])");

Expected<Curl> loadCurl() {
    static const SharedLibrary library("libcurl.so.4");
    Curl curl;
    std::optional<Failure> missing;
    library.bind(curl.global_init, "curl_global_init", missing);
    library.bind(curl.easy_init, "curl_easy_init", missing);
    library.bind(curl.easy_setopt, "curl_easy_setopt", missing);
    library.bind(curl.easy_perform, "curl_easy_perform", missing);
    library.bind(curl.easy_getinfo, "curl_easy_getinfo", missing);
    library.bind(curl.easy_strerror, "curl_easy_strerror", missing);
    library.bind(curl.easy_cleanup, "curl_easy_cleanup", missing);
    library.bind(curl.share_init, "curl_share_init", missing);
    library.bind(curl.share_setopt, "curl_share_setopt", missing);
    library.bind(curl.share_cleanup, "curl_share_cleanup", missing);
    if (missing)
        return Failure{"Could not load libcurl: " + missing->message};
    // Once per process, before any other call into the library.
    if (curl.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        return Failure{"the network library could not be started"};
    return curl;
}

// The loaded library, or why no request can be made; loaded by the first caller only.
const Expected<Curl>& curlLibrary() {
    static const Expected<Curl> loaded = loadCurl();
    return loaded;
}

FetchError networkError(NetworkErrorCode code, std::string description, int status = 0) {
    return FetchError{FetchErrorDomain::network, code, status, std::move(description)};
}

FetchError localError(std::string description) {
    return FetchError{FetchErrorDomain::other, NetworkErrorCode::other, 0, std::move(description)};
}

// DNS answers and TLS sessions are shared between the requests of one fetch function.
// Connections are not: libcurl's shared connection cache is not safe across threads. Made by
// the first request, so that making a fetch function loads nothing.
class Session {
public:
    Session() = default;
    ~Session() {
        if (share_)
            curlLibrary()->share_cleanup(share_);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    CURLSH* handle(const Curl& curl) const {
        std::call_once(made_, [this, &curl] {
            share_ = curl.share_init();
            if (!share_)
                return;
            curl.share_setopt(share_, CURLSHOPT_LOCKFUNC, &Session::lock);
            curl.share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &Session::unlock);
            curl.share_setopt(share_, CURLSHOPT_USERDATA, this);
            curl.share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
            curl.share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
        });
        return share_;
    }

private:
    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        static_cast<const Session*>(self)->mutexFor(data).lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* self) {
        static_cast<const Session*>(self)->mutexFor(data).unlock();
    }
    std::mutex& mutexFor(curl_lock_data data) const {
        auto index = static_cast<std::size_t>(data);
        return locks_[index < locks_.size() ? index : 0];
    }

    mutable std::once_flag made_;
    mutable CURLSH* share_ = nullptr;
    mutable std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_;
};

struct EasyDeleter {
    decltype(&curl_easy_cleanup) cleanup;
    void operator()(CURL* easy) const { cleanup(easy); }
};

// How long a transfer may take in all: `fixed`, plus, when `rate` is not 0, the time its size
// takes at that rate (bytes a second).
struct Deadline {
    std::chrono::milliseconds fixed{0};
    std::uint64_t rate = 0;

    std::chrono::milliseconds allowedFor(std::uint64_t size) const {
        if (rate == 0)
            return fixed;
        // Seconds first: size in milliseconds could overflow for the largest sizes.
        const std::uint64_t seconds = size / rate;
        const std::uint64_t cap = std::uint64_t(std::chrono::milliseconds::max().count() / 1000) / 2;
        return fixed + std::chrono::seconds(std::min(seconds, cap));
    }
};

// What one transfer does with the body, and why it stopped early.
struct Transfer {
    const Curl* curl = nullptr;
    CURL* easy = nullptr;
    std::uint64_t maxBytes = 0;
    std::function<bool(const char*, std::size_t)> sink;
    std::uint64_t received = 0;
    Deadline deadline;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    std::uint64_t announced = 0; // the length the current answer announces, 0 when none
    bool statusRejected = false;
    bool tooLarge = false;
    bool sinkFailed = false;
    bool pastDeadline = false;

    // Checked as data arrive and, by libcurl's progress calls, while none do.
    bool outlasted() {
        if (!pastDeadline)
            pastDeadline =
                std::chrono::steady_clock::now() - started > deadline.allowedFor(std::max(announced, received));
        return pastDeadline;
    }
};

long responseStatus(const Curl& curl, CURL* easy) {
    long status = 0;
    curl.easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

bool isSuccess(long status) { return status >= 200 && status <= 299; }

std::size_t receive(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    std::size_t length = size * count;
    if (length == 0)
        return 0;
    // An error page is never wanted: stop at its first byte instead of reading it.
    if (!isSuccess(responseStatus(*transfer->curl, transfer->easy))) {
        transfer->statusRejected = true;
        return 0;
    }
    // Checked here as well as through the announced length, which a chunked or compressed
    // answer does not give.
    if (length > transfer->maxBytes - transfer->received) {
        transfer->tooLarge = true;
        return 0;
    }
    // Nothing may be thrown through libcurl's C frames.
    bool stored = false;
    try {
        stored = transfer->sink(data, length);
    } catch (...) {
        stored = false;
    }
    if (!stored) {
        transfer->sinkFailed = true;
        return 0;
    }
    transfer->received += length;
    return transfer->outlasted() ? 0 : length;
}

int progressed(void* user, curl_off_t announced, curl_off_t, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<Transfer*>(user);
    transfer->announced = announced > 0 ? std::uint64_t(announced) : 0;
    return transfer->outlasted() ? 1 : 0;
}

NetworkErrorCode codeFor(const Curl& curl, CURLcode result, CURL* easy) {
    switch (result) {
    case CURLE_UNSUPPORTED_PROTOCOL:
        return NetworkErrorCode::unsupportedURL;
    case CURLE_URL_MALFORMAT:
        return NetworkErrorCode::badURL;
    case CURLE_COULDNT_RESOLVE_HOST:
        return NetworkErrorCode::cannotFindHost;
    case CURLE_COULDNT_RESOLVE_PROXY:
        return NetworkErrorCode::dnsLookupFailed;
    case CURLE_COULDNT_CONNECT: {
        long osError = 0;
        curl.easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
        if (osError == ENETUNREACH || osError == ENETDOWN)
            return NetworkErrorCode::notConnectedToInternet;
        return NetworkErrorCode::cannotConnectToHost;
    }
    case CURLE_OPERATION_TIMEDOUT:
        return NetworkErrorCode::timedOut;
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return NetworkErrorCode::networkConnectionLost;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
        return NetworkErrorCode::badServerResponse;
    case CURLE_TOO_MANY_REDIRECTS:
        return NetworkErrorCode::tooManyRedirects;
    case CURLE_PEER_FAILED_VERIFICATION: {
        long verification = 0;
        curl.easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verification);
        if (verification == certificateNotYetValid || verification == certificateHasExpired ||
            verification == certificateBadNotBefore || verification == certificateBadNotAfter)
            return NetworkErrorCode::serverCertificateHasBadDate;
        return NetworkErrorCode::serverCertificateUntrusted;
    }
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_USE_SSL_FAILED:
        return NetworkErrorCode::secureConnectionFailed;
    case CURLE_FILESIZE_EXCEEDED:
        return NetworkErrorCode::responseTooLarge;
    default:
        return NetworkErrorCode::other;
    }
}

// Which schemes a request may use, at first and after a redirect: libcurl's text options where
// the loaded library knows them (7.85 on), its bit masks where it does not. A request begun on
// https stays on https. False when neither form took.
bool restrictSchemes(const Curl& curl, CURL* easy, bool secure) {
    if (curl.easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
        curl.easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https") == CURLE_OK)
        return true;
    const long web = CURLPROTO_HTTP | CURLPROTO_HTTPS;
    return curl.easy_setopt(easy, CURLOPT_PROTOCOLS, web) == CURLE_OK &&
           curl.easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS, secure ? long(CURLPROTO_HTTPS) : web) == CURLE_OK;
}

// A redirect to a scheme that is not allowed ends as an unsupported protocol, with the refused
// target as the effective URL: one from https to http is told apart.
NetworkErrorCode redirectFailure(NetworkErrorCode code, const Curl& curl, CURL* easy, const Url& url) {
    if (code != NetworkErrorCode::unsupportedURL || url.scheme() != "https")
        return code;
    char* effective = nullptr;
    if (curl.easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective) != CURLE_OK || !effective)
        return code;
    const auto target = Url::parse(effective);
    return target && target->scheme() == "http" ? NetworkErrorCode::insecureRedirect : code;
}

// Header values must not smuggle in further header lines.
std::string singleLine(std::string text) {
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
    return text;
}

struct Request {
    std::chrono::seconds stallLimit;
    std::uint64_t maxBytes;
    // Slower than this (bytes a second) for the whole stall limit ends the request.
    std::uint64_t minimumRate;
    Deadline deadline;
    const std::string* userAgent = nullptr;              // none: no User-Agent header at all
    const std::string* certificateAuthorities = nullptr; // none or empty: the system's
    const Session* session = nullptr;
    const NetworkProbe* probe = nullptr; // none: a failed lookup is an unknown host
};

// Without any network the name lookup is what fails first, before a connection could tell
// that the network is unreachable: the host is not unknown then, the machine is offline.
NetworkErrorCode lookupFailure(NetworkErrorCode code, const NetworkProbe* probe) {
    if ((code == NetworkErrorCode::cannotFindHost || code == NetworkErrorCode::dnsLookupFailed) && probe &&
        !probe->hasUsableNetwork())
        return NetworkErrorCode::notConnectedToInternet;
    return code;
}

// One GET, body handed to sink piece by piece; the easy handle is this request's alone.
// Returns the number of body bytes received.
Expected<std::uint64_t, FetchError> perform(const Url& url, const Request& request,
                                            std::function<bool(const char*, std::size_t)> sink) {
    if (!url.isHttp())
        return networkError(NetworkErrorCode::unsupportedURL, "only http and https are fetched: " + url.scheme());
    const Expected<Curl>& library = curlLibrary();
    if (!library)
        return localError(library.error().message);
    const Curl& curl = *library;
    std::unique_ptr<CURL, EasyDeleter> owner(curl.easy_init(), EasyDeleter{curl.easy_cleanup});
    CURL* easy = owner.get();
    if (!easy)
        return localError("the network library could not start a request");

    Transfer transfer;
    transfer.curl = &curl;
    transfer.easy = easy;
    transfer.maxBytes = request.maxBytes;
    transfer.sink = std::move(sink);
    transfer.deadline = request.deadline;
    char message[CURL_ERROR_SIZE] = {};
    long stall = std::max<long>(1, static_cast<long>(request.stallLimit.count()));

    curl.easy_setopt(easy, CURLOPT_URL, url.text().c_str());
    curl.easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl.easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    // Unless the schemes can be held to the web, a redirect is not followed at all.
    curl.easy_setopt(easy, CURLOPT_FOLLOWLOCATION, restrictSchemes(curl, easy, url.scheme() == "https") ? 1L : 0L);
    curl.easy_setopt(easy, CURLOPT_MAXREDIRS, maximumRedirects);
    curl.easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, stall);
    curl.easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT,
                     static_cast<long>(std::clamp<std::uint64_t>(request.minimumRate, 1, LONG_MAX)));
    curl.easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, stall);
    // A fixed deadline is libcurl's own; one that grows with the size is watched here.
    if (request.deadline.rate == 0)
        curl.easy_setopt(easy, CURLOPT_TIMEOUT_MS,
                         static_cast<long>(std::clamp<std::int64_t>(request.deadline.fixed.count(), 1, LONG_MAX)));
    curl.easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl.easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &progressed);
    curl.easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);
    if (request.maxBytes <= static_cast<std::uint64_t>(INT64_MAX))
        curl.easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.maxBytes));
    curl.easy_setopt(easy, CURLOPT_WRITEFUNCTION, &receive);
    curl.easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    curl.easy_setopt(easy, CURLOPT_ERRORBUFFER, message);
    if (request.certificateAuthorities && !request.certificateAuthorities->empty())
        curl.easy_setopt(easy, CURLOPT_CAINFO, request.certificateAuthorities->c_str());
    if (request.session)
        if (CURLSH* share = request.session->handle(curl))
            curl.easy_setopt(easy, CURLOPT_SHARE, share);
    std::string agent;
    if (request.userAgent) {
        agent = singleLine(*request.userAgent);
        curl.easy_setopt(easy, CURLOPT_USERAGENT, agent.c_str());
        curl.easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    }

    CURLcode result = curl.easy_perform(easy);
    long status = responseStatus(curl, easy);
    if (transfer.statusRejected || (result == CURLE_OK && !isSuccess(status)))
        return networkError(NetworkErrorCode::badServerResponse,
                            "the server answered with status " + std::to_string(status), static_cast<int>(status));
    if (transfer.tooLarge)
        return networkError(NetworkErrorCode::responseTooLarge,
                            "the answer is larger than " + std::to_string(request.maxBytes) + " bytes");
    if (transfer.sinkFailed)
        return localError("the answer could not be stored");
    if (transfer.pastDeadline)
        return networkError(NetworkErrorCode::timedOut, "the transfer was too slow to finish in time");
    if (result != CURLE_OK)
        return networkError(lookupFailure(redirectFailure(codeFor(curl, result, easy), curl, easy, url), request.probe),
                            message[0] ? message : curl.easy_strerror(result));
    return transfer.received;
}

} // namespace

namespace Network {

FetchFunction fetch(std::string userAgent, FetchOptions options) {
    auto session = std::make_shared<const Session>();
    return [session, userAgent = std::move(userAgent), options](const Url& url) -> FetchResult {
        std::string body;
        // A stall, not a slow transfer, ends a fetch early: less than one byte a second for the
        // whole limit; the deadline bounds the rest.
        Request request{.stallLimit = options.stallLimit,
                        .maxBytes = options.maxBytes,
                        .minimumRate = 1,
                        .deadline = {options.deadline, 0},
                        .userAgent = &userAgent,
                        .certificateAuthorities = &options.certificateAuthorities,
                        .session = session.get(),
                        .probe = options.probe.get()};
        auto received = perform(url, request, [&body](const char* data, std::size_t length) {
            body.append(data, length);
            return true;
        });
        if (!received)
            return received.error();
        return body;
    };
}

Expected<std::uint64_t, FetchError> download(const Url& from, const std::string& toPath, DownloadOptions options) {
    if (!from.isHttp())
        return networkError(NetworkErrorCode::unsupportedURL, "only http and https are fetched: " + from.scheme());
    // Written under a hidden name beside the target, so the rename is on one file system and
    // a failed download never leaves a partial file at toPath.
    std::string folder = Path::parent(toPath);
    // Appended piece by piece: GCC 12 at -O3 takes a literal followed by a string for an
    // overlapping copy.
    std::string name(1, '.');
    name += Path::lastComponent(toPath);
    name += '.';
    name += Fs::makeUuid();
    name += ".part";
    std::string partial = Path::join(folder.empty() ? "." : folder, name);
    int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return localError("cannot create " + partial + ": " + std::strerror(errno));

    int writeError = 0;
    Request request{.stallLimit = options.stallLimit,
                    .maxBytes = options.maxBytes,
                    .minimumRate = options.minimumRate,
                    .deadline = {options.baseDeadline, std::max<std::uint64_t>(options.deadlineRate, 1)},
                    .certificateAuthorities = &options.certificateAuthorities,
                    .probe = options.probe.get()};
    auto received = perform(from, request, [fd, &writeError](const char* data, std::size_t length) {
        while (length > 0) {
            ssize_t written = ::write(fd, data, length);
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                writeError = errno;
                return false;
            }
            data += written;
            length -= static_cast<std::size_t>(written);
        }
        return true;
    });
    int closeError = ::close(fd) == 0 ? 0 : errno;
    std::optional<FetchError> failure;
    if (!received)
        failure =
            writeError ? localError("cannot write " + partial + ": " + std::strerror(writeError)) : received.error();
    else if (closeError)
        failure = localError("cannot write " + partial + ": " + std::strerror(closeError));
    else if (::rename(partial.c_str(), toPath.c_str()) != 0)
        failure = localError("cannot move the download to " + toPath + ": " + std::strerror(errno));
    if (failure) {
        ::unlink(partial.c_str());
        return *failure;
    }
    return received.value();
}

} // namespace Network

} // namespace dovrane
