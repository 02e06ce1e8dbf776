#include "support/LoopbackServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace dovrane::testing {

namespace {

constexpr std::size_t maximumHeaderBytes = 64 * 1024;
constexpr int pollMilliseconds = 50;

std::string lowercase(std::string_view text) {
    std::string out(text);
    for (auto& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::string pathOf(std::string_view target) { return std::string(target.substr(0, target.find('?'))); }

const char* reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

bool hasNoBody(int status) { return (status >= 100 && status < 200) || status == 204 || status == 304; }

std::optional<RecordedRequest> parseRequest(std::string_view head) {
    auto lineEnd = head.find("\r\n");
    std::string_view line = head.substr(0, lineEnd);
    auto firstSpace = line.find(' ');
    auto secondSpace = line.find(' ', firstSpace == std::string_view::npos ? 0 : firstSpace + 1);
    if (firstSpace == std::string_view::npos || secondSpace == std::string_view::npos)
        return std::nullopt;
    RecordedRequest request;
    request.method = std::string(line.substr(0, firstSpace));
    request.target = std::string(line.substr(firstSpace + 1, secondSpace - firstSpace - 1));
    std::size_t position = lineEnd == std::string_view::npos ? head.size() : lineEnd + 2;
    while (position < head.size()) {
        auto end = head.find("\r\n", position);
        std::string_view headerLine =
            head.substr(position, end == std::string_view::npos ? std::string_view::npos : end - position);
        position = end == std::string_view::npos ? head.size() : end + 2;
        auto colon = headerLine.find(':');
        if (colon == std::string_view::npos)
            continue;
        request.headers.emplace_back(lowercase(trim(headerLine.substr(0, colon))),
                                     std::string(trim(headerLine.substr(colon + 1))));
    }
    return request;
}

} // namespace

std::string RecordedRequest::path() const { return pathOf(target); }

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
    auto wanted = lowercase(name);
    for (const auto& [key, value] : headers)
        if (key == wanted)
            return value;
    return std::nullopt;
}

LoopbackServer::LoopbackServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0)
        throw std::runtime_error(std::string("loopback server: socket: ") + std::strerror(errno));
    int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 128) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(wake_, O_CLOEXEC) != 0) {
        std::string reasonText = std::strerror(errno);
        ::close(listener_);
        throw std::runtime_error("loopback server: cannot listen: " + reasonText);
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
    char byte = 0;
    [[maybe_unused]] auto ignored = ::write(wake_[1], &byte, 1);
    acceptor_.join();
    // The acceptor has ended, so no connection is added any more.
    for (auto& connection : connections_)
        connection.join();
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void LoopbackServer::route(std::string key, ScriptedResponse response) {
    std::lock_guard lock(mutex_);
    routes_.insert_or_assign(std::move(key), std::move(response));
}

Url LoopbackServer::url(std::string_view target) const {
    return Url::parse("http://127.0.0.1:" + std::to_string(port_) + std::string(target)).value();
}

std::vector<RecordedRequest> LoopbackServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t LoopbackServer::count(std::string_view path) const {
    std::lock_guard lock(mutex_);
    std::size_t found = 0;
    for (const auto& request : requests_)
        if (request.path() == path)
            ++found;
    return found;
}

ScriptedResponse LoopbackServer::responseFor(const std::string& target) const {
    std::lock_guard lock(mutex_);
    if (target.find('?') != std::string::npos)
        if (auto exact = routes_.find(target); exact != routes_.end())
            return exact->second;
    if (auto byPath = routes_.find(pathOf(target)); byPath != routes_.end())
        return byPath->second;
    return ScriptedResponse(404, "not found");
}

void LoopbackServer::acceptLoop() {
    while (!stopping_) {
        pollfd watched[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (watched[1].revents != 0)
            return;
        if ((watched[0].revents & POLLIN) == 0)
            continue;
        int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard lock(mutex_);
        connections_.emplace_back([this, fd] { serve(fd); });
    }
}

void LoopbackServer::serve(int fd) {
    // Short send timeouts keep a client that stopped reading from blocking the shutdown.
    timeval sendTimeout{0, pollMilliseconds * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);

    // Waits for data or a hang-up, until the server stops or, when given, the time is up.
    auto readable = [&](std::optional<std::chrono::milliseconds> limit = std::nullopt) {
        auto deadline = std::chrono::steady_clock::now() + limit.value_or(std::chrono::milliseconds(0));
        while (!stopping_ && (!limit || std::chrono::steady_clock::now() < deadline)) {
            pollfd watched{fd, POLLIN, 0};
            int ready = ::poll(&watched, 1, pollMilliseconds);
            if (ready > 0)
                return true;
            if (ready < 0 && errno != EINTR)
                return false;
        }
        return false;
    };

    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (head.size() > maximumHeaderBytes || !readable()) {
            ::close(fd);
            return;
        }
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            ::close(fd);
            return;
        }
        head.append(buffer, static_cast<std::size_t>(got));
    }
    auto request = parseRequest(std::string_view(head).substr(0, head.find("\r\n\r\n")));
    if (!request) {
        ::close(fd);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(*request);
    }
    ScriptedResponse response = responseFor(request->target);
    if (response.delay.count() > 0) {
        std::unique_lock lock(mutex_);
        stopped_.wait_for(lock, response.delay, [this] { return stopping_.load(); });
    }
    if (response.drop || stopping_) {
        ::close(fd);
        return;
    }

    std::string answer = "HTTP/1.1 " + std::to_string(response.status) + " " + reason(response.status) + "\r\n";
    bool bodyAllowed = !hasNoBody(response.status);
    if (bodyAllowed && response.announceLength)
        answer += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    answer += "Connection: close\r\n";
    for (const auto& [name, value] : response.headers)
        answer += name + ": " + value + "\r\n";
    answer += "\r\n";
    const std::string body = bodyAllowed && request->method != "HEAD" ? response.body : std::string();

    auto sendAll = [&](std::string_view data) {
        std::size_t sent = 0;
        while (sent < data.size() && !stopping_) {
            ssize_t written = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (written > 0)
                sent += static_cast<std::size_t>(written);
            else if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                return false;
        }
        return sent == data.size();
    };
    if (response.drip.count() == 0) {
        sendAll(answer + body);
    } else if (sendAll(answer)) {
        for (char byte : body) {
            {
                std::unique_lock lock(mutex_);
                if (stopped_.wait_for(lock, response.drip, [this] { return stopping_.load(); }))
                    break;
            }
            if (!sendAll(std::string_view(&byte, 1)))
                break;
        }
    }
    // Close gently: let the client read everything and hang up first, so no reset cuts the
    // end of the answer off.
    ::shutdown(fd, SHUT_WR);
    while (readable(std::chrono::seconds(2)))
        if (::recv(fd, buffer, sizeof buffer, 0) <= 0)
            break;
    ::close(fd);
}

} // namespace dovrane::testing
