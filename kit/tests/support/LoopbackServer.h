#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for network tests, plain or over TLS. A test starts one,
// scripts answers by path, points the code under test at url(...) and afterwards asks which
// requests came. Every connection gets one answer and is closed ("Connection: close"). Nothing
// leaves the machine.

#include "DovraneKit/core/Url.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace dovrane::testing {

struct ScriptedResponse {
    ScriptedResponse(int status_ = 200, std::string body_ = {},
                     std::vector<std::pair<std::string, std::string>> headers_ = {})
        : status(status_), body(std::move(body_)), headers(std::move(headers_)) {}

    // Chainable: ScriptedResponse(200, "late").delayed(20s).
    ScriptedResponse& delayed(std::chrono::milliseconds wait) {
        delay = wait;
        return *this;
    }
    ScriptedResponse& dropped() {
        drop = true;
        return *this;
    }
    ScriptedResponse& withoutLength() {
        announceLength = false;
        return *this;
    }
    ScriptedResponse& dripped(std::chrono::milliseconds every) {
        drip = every;
        return *this;
    }

    int status;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers; // extra header lines, in order
    std::chrono::milliseconds delay{0};                       // wait this long before answering
    bool drop = false;                                        // close the connection without any answer
    bool announceLength = true;                               // false: no Content-Length, the close ends the body
    std::chrono::milliseconds drip{0}; // not 0: the head at once, then the body a byte at a time this far apart
};

struct RecordedRequest {
    std::string method;
    std::string target;                                       // path with query, as sent
    std::vector<std::pair<std::string, std::string>> headers; // names in lower case

    std::string path() const;                                       // target without its query
    std::optional<std::string> header(std::string_view name) const; // any letter case
};

enum class LoopbackScheme { http, https };

class LoopbackServer {
public:
    // Listens on a free port at once; throws std::runtime_error when it cannot. An https server
    // shows the certificate of certificateFile().
    explicit LoopbackServer(LoopbackScheme scheme = LoopbackScheme::http);
    // Stops listening, cuts short any delay and waits for every connection to finish.
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // A key holding "?" answers only that exact target; any other key answers its path
    // whatever the query. An exact target wins over a path. Unrouted requests get a 404.
    void route(std::string key, ScriptedResponse response);

    std::uint16_t port() const { return port_; }
    // "http://127.0.0.1:PORT" (or https) followed by target (which starts with "/").
    Url url(std::string_view target) const;

    // A PEM file holding the certificate every https server shows: self-signed for 127.0.0.1,
    // made once per test process. A client trusts it to reach them.
    static const std::string& certificateFile();

    std::vector<RecordedRequest> requests() const;
    // Number of requests whose path (query ignored) is path.
    std::size_t count(std::string_view path) const;

private:
    void acceptLoop();
    void serve(int fd);
    ScriptedResponse responseFor(const std::string& target) const;

    LoopbackScheme scheme_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};

    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    std::map<std::string, ScriptedResponse> routes_;
    std::vector<RecordedRequest> requests_;
    std::vector<std::thread> connections_;
    std::thread acceptor_;
};

} // namespace dovrane::testing
