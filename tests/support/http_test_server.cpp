// Loopback HTTP server for the download tests.
#include "tests/support/http_test_server.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

bool SendAll(int s, const std::string& data)
{
    size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = send(s, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// The path of "GET <path> HTTP/1.x" with blanks at its end dropped.
std::string PathOf(const std::string& head)
{
    size_t start = head.find(' ');
    size_t line = head.find('\n');
    if (start == std::string::npos)
        return "";
    std::string first = head.substr(start + 1, line == std::string::npos ? std::string::npos : line - start - 1);
    size_t version = first.rfind(" HTTP/");
    if (version != std::string::npos)
        first.resize(version);
    while (!first.empty() && (first.back() == ' ' || first.back() == '\r'))
        first.pop_back();
    return first;
}

const char* ReasonOf(int status)
{
    switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 404: return "Not Found";
    default: return "Status";
    }
}

} // namespace

HttpTestServer::HttpTestServer()
{
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0)
        return;
    int yes = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 64) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(listener_);
        listener_ = -1;
        return;
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

HttpTestServer::~HttpTestServer()
{
    Stop();
}

std::string HttpTestServer::MapEntry(const std::string& host) const
{
    return host + "=127.0.0.1:" + std::to_string(port_);
}

void HttpTestServer::Set(const std::string& path, const Reply& reply)
{
    std::lock_guard<std::mutex> hold(lock_);
    replies_[path] = reply;
}

void HttpTestServer::SetDefault(const Reply& reply)
{
    std::lock_guard<std::mutex> hold(lock_);
    default_ = reply;
}

int HttpTestServer::Requests(const std::string& path) const
{
    std::lock_guard<std::mutex> hold(lock_);
    auto it = counts_.find(path);
    return it == counts_.end() ? 0 : it->second;
}

int HttpTestServer::TotalRequests() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return total_;
}

std::vector<std::string> HttpTestServer::RequestOrder() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return order_;
}

std::string HttpTestServer::LastHead() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return lastHead_;
}

void HttpTestServer::Stop()
{
    if (stopping_.exchange(true))
        return;
    if (listener_ >= 0)
        shutdown(listener_, SHUT_RDWR);
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (int c : connections_)
            shutdown(c, SHUT_RDWR);
    }
    stopped_.notify_all();
    if (acceptor_.joinable())
        acceptor_.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> hold(lock_);
        workers.swap(workers_);
    }
    for (auto& w : workers)
        w.join();
    if (listener_ >= 0)
        close(listener_);
    listener_ = -1;
}

void HttpTestServer::AcceptLoop()
{
    while (!stopping_) {
        pollfd p{listener_, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        int c = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0)
            continue;
        std::lock_guard<std::mutex> hold(lock_);
        connections_.push_back(c);
        workers_.emplace_back([this, c] { Serve(c); });
    }
}

void HttpTestServer::Serve(int c)
{
    std::string head;
    char buffer[2048];
    while (head.find("\r\n\r\n") == std::string::npos && head.find("\n\n") == std::string::npos) {
        pollfd p{c, POLLIN, 0};
        if (stopping_ || poll(&p, 1, 50) < 0)
            break;
        if (!(p.revents & POLLIN))
            continue;
        ssize_t n = recv(c, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        head.append(buffer, static_cast<size_t>(n));
    }
    Reply reply;
    {
        std::lock_guard<std::mutex> hold(lock_);
        std::string path = PathOf(head);
        counts_[path]++;
        order_.push_back(path);
        total_++;
        lastHead_ = head;
        auto it = replies_.find(path);
        reply = it == replies_.end() ? default_ : it->second;
    }
    bool stopped = false;
    if (reply.delayMs > 0) {
        std::unique_lock<std::mutex> hold(lock_);
        stopped = stopped_.wait_for(hold, std::chrono::milliseconds(reply.delayMs), [this] { return stopping_.load(); });
    }
    if (stopped) {
        // Stopped while it made the client wait: no answer.
    } else if (reply.mode == Mode::Silent) {
        std::unique_lock<std::mutex> hold(lock_);
        stopped_.wait(hold, [this] { return stopping_.load(); });
    } else {
        std::string answer = "HTTP/1.1 " + std::to_string(reply.status) + " " + ReasonOf(reply.status) + "\r\n";
        size_t announced = reply.mode == Mode::Truncated ? reply.body.size() * 2 + 1 : reply.body.size();
        if (reply.contentLength)
            answer += "Content-Length: " + std::to_string(announced) + "\r\n";
        answer += "Connection: close\r\n\r\n";
        if (reply.mode != Mode::Drip) {
            SendAll(c, answer + reply.body);
        } else {
            SendAll(c, answer);
            for (size_t i = 0; i < reply.body.size() && !stopping_; ++i) {
                std::unique_lock<std::mutex> hold(lock_);
                if (stopped_.wait_for(hold, std::chrono::milliseconds(reply.dripMs), [this] { return stopping_.load(); }))
                    break;
                hold.unlock();
                if (!SendAll(c, reply.body.substr(i, 1)))
                    break;
            }
        }
    }
    shutdown(c, SHUT_RDWR);
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (auto it = connections_.begin(); it != connections_.end(); ++it) {
            if (*it == c) {
                connections_.erase(it);
                break;
            }
        }
    }
    close(c);
}
