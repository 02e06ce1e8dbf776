#include "support/LoopbackServer.h"
#include "support/Patience.h"

#include "support/TestSupport.h"

#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>

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

// The https servers' one certificate and key, made on first use: self-signed for 127.0.0.1,
// valid from an hour ago for a week, marked as its own authority so a client can trust it alone.
class LoopbackTls {
public:
    static const LoopbackTls& shared() {
        static const LoopbackTls tls;
        return tls;
    }
    SSL_CTX* context() const { return context_.get(); }
    const std::string& certificateFile() const { return certificateFile_; }

private:
    LoopbackTls() {
        char curve[] = "P-256";
        std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", curve),
                                                                &EVP_PKEY_free);
        std::unique_ptr<X509, decltype(&X509_free)> certificate(X509_new(), &X509_free);
        if (!key || !certificate)
            throw std::runtime_error("loopback server: cannot make a key");
        X509_set_version(certificate.get(), X509_VERSION_3);
        ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), 1);
        X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600);
        X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 7 * 24 * 3600);
        X509_set_pubkey(certificate.get(), key.get());
        X509_NAME* name = X509_get_subject_name(certificate.get());
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1,
                                   -1, 0);
        X509_set_issuer_name(certificate.get(), name);
        X509V3_CTX extensions;
        X509V3_set_ctx_nodb(&extensions);
        X509V3_set_ctx(&extensions, certificate.get(), certificate.get(), nullptr, nullptr, 0);
        for (auto [nid, value] : {std::pair{NID_subject_key_identifier, "hash"},
                                  {NID_basic_constraints, "critical,CA:TRUE"},
                                  {NID_subject_alt_name, "IP:127.0.0.1"}}) {
            X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &extensions, nid, value);
            if (!extension || !X509_add_ext(certificate.get(), extension, -1))
                throw std::runtime_error("loopback server: cannot make the certificate");
            X509_EXTENSION_free(extension);
        }
        if (!X509_sign(certificate.get(), key.get(), EVP_sha256()))
            throw std::runtime_error("loopback server: cannot sign the certificate");

        context_.reset(SSL_CTX_new(TLS_server_method()));
        if (!context_ || SSL_CTX_use_certificate(context_.get(), certificate.get()) != 1 ||
            SSL_CTX_use_PrivateKey(context_.get(), key.get()) != 1)
            throw std::runtime_error("loopback server: cannot set up TLS");
        SSL_CTX_set_mode(context_.get(), SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        SSL_CTX_set_num_tickets(context_.get(), 0);

        certificateFile_ = folder_ / "loopback.pem";
        std::unique_ptr<FILE, decltype(&std::fclose)> file(std::fopen(certificateFile_.c_str(), "w"), &std::fclose);
        if (!file || !PEM_write_X509(file.get(), certificate.get()))
            throw std::runtime_error("loopback server: cannot write the certificate");
    }

    TempDir folder_{"dovrane-loopback-tls-"};
    std::string certificateFile_;
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context_{nullptr, &SSL_CTX_free};
};

// The bytes of one accepted connection, plain or through TLS; closes it when it goes.
class Stream {
public:
    Stream(int fd, SSL* ssl) : fd_(fd), ssl_(ssl) {}
    ~Stream() {
        if (ssl_)
            SSL_free(ssl_);
        ::close(fd_);
    }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    int fd() const { return fd_; }
    // Data already read off the socket but not yet handed out.
    bool buffered() const { return ssl_ && SSL_pending(ssl_) > 0; }

    // The TLS handshake, retried while the socket's timeouts cut it short; true when done.
    bool accept(const std::atomic<bool>& stopping) {
        while (!stopping) {
            const int done = SSL_accept(ssl_);
            if (done == 1)
                return true;
            const int error = SSL_get_error(ssl_, done);
            if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
                return false;
        }
        return false;
    }
    // Bytes read; 0 when none are there yet; -1 when the peer closed or the read failed.
    long receive(char* buffer, std::size_t size) {
        if (!ssl_) {
            const ssize_t got = ::recv(fd_, buffer, size, 0);
            if (got > 0)
                return got;
            return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? 0 : -1;
        }
        const int got = SSL_read(ssl_, buffer, int(std::min<std::size_t>(size, INT_MAX)));
        return got > 0 ? got : retryable(got) ? 0 : -1;
    }
    // Bytes written; 0 when the socket takes none now; -1 on failure.
    long send(const char* data, std::size_t size) {
        if (!ssl_) {
            const ssize_t written = ::send(fd_, data, size, MSG_NOSIGNAL);
            if (written >= 0)
                return written;
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
        }
        const int written = SSL_write(ssl_, data, int(std::min<std::size_t>(size, INT_MAX)));
        return written > 0 ? written : retryable(written) ? 0 : -1;
    }
    void endSending() {
        if (ssl_)
            SSL_shutdown(ssl_);
        ::shutdown(fd_, SHUT_WR);
    }

private:
    bool retryable(int result) const {
        const int error = SSL_get_error(ssl_, result);
        return error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE;
    }

    int fd_;
    SSL* ssl_;
};

} // namespace

std::string RecordedRequest::path() const { return pathOf(target); }

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
    auto wanted = lowercase(name);
    for (const auto& [key, value] : headers)
        if (key == wanted)
            return value;
    return std::nullopt;
}

LoopbackServer::LoopbackServer(LoopbackScheme scheme) : scheme_(scheme) {
    if (scheme_ == LoopbackScheme::https)
        LoopbackTls::shared(); // throws here, not in a connection's thread
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
    const char* scheme = scheme_ == LoopbackScheme::https ? "https" : "http";
    return Url::parse(std::string(scheme) + "://127.0.0.1:" + std::to_string(port_) + std::string(target)).value();
}

const std::string& LoopbackServer::certificateFile() { return LoopbackTls::shared().certificateFile(); }

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
    // Short timeouts keep a client that stopped reading (or, during a handshake, sending) from
    // blocking the shutdown.
    timeval timeout{0, pollMilliseconds * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    SSL* ssl = nullptr;
    if (scheme_ == LoopbackScheme::https) {
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        // TLS writes to the socket itself, without MSG_NOSIGNAL: a client that hung up must not
        // end the test program. A blocked SIGPIPE of this thread only stays pending.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        ssl = SSL_new(LoopbackTls::shared().context());
        if (ssl)
            SSL_set_fd(ssl, fd);
    }
    Stream stream(fd, ssl);
    if (scheme_ == LoopbackScheme::https && (!ssl || !stream.accept(stopping_)))
        return;

    // Waits for data or a hang-up, until the server stops or, when given, the time is up.
    auto readable = [&](std::optional<std::chrono::milliseconds> limit = std::nullopt) {
        if (stream.buffered())
            return true;
        auto deadline = std::chrono::steady_clock::now() + limit.value_or(std::chrono::milliseconds(0));
        while (!stopping_ && (!limit || std::chrono::steady_clock::now() < deadline)) {
            pollfd watched{stream.fd(), POLLIN, 0};
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
        if (head.size() > maximumHeaderBytes || !readable())
            return;
        const long got = stream.receive(buffer, sizeof buffer);
        if (got < 0)
            return;
        head.append(buffer, static_cast<std::size_t>(got));
    }
    auto request = parseRequest(std::string_view(head).substr(0, head.find("\r\n\r\n")));
    if (!request)
        return;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(*request);
    }
    ScriptedResponse response = responseFor(request->target);
    if (response.delay.count() > 0) {
        std::unique_lock lock(mutex_);
        stopped_.wait_for(lock, response.delay, [this] { return stopping_.load(); });
    }
    if (response.drop || stopping_)
        return;

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
            const long written = stream.send(data.data() + sent, data.size() - sent);
            if (written < 0)
                return false;
            sent += static_cast<std::size_t>(written);
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
    stream.endSending();
    while (readable(patient(std::chrono::milliseconds(700))))
        if (stream.receive(buffer, sizeof buffer) < 0)
            break;
}

} // namespace dovrane::testing
