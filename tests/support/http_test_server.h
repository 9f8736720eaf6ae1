// A small HTTP server on loopback for the download tests: answers per path
// with a status and body, or misbehaves (cuts the body short, never answers,
// sends it a byte at a time, answers late),
// and counts the requests it saw. Runs until stopped or destroyed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class HttpTestServer {
public:
    // Drip: the head at once, then the body one byte per dripMs.
    enum class Mode { Normal, Truncated, Silent, Drip };
    struct Reply {
        int status = 200;
        std::string body;
        Mode mode = Mode::Normal;
        // Without a length the body ends when the connection closes.
        bool contentLength = true;
        int dripMs = 200;
        // The whole answer only after this long: a slow server.
        int delayMs = 0;
    };

    HttpTestServer();
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    bool Running() const { return listener_ >= 0; }
    int Port() const { return port_; }
    // "host=127.0.0.1:port" for TVL_HOST_MAP.
    std::string MapEntry(const std::string& host) const;
    // The answer for a path (as sent, blanks at its end dropped).
    void Set(const std::string& path, const Reply& reply);
    void SetBody(const std::string& path, const std::string& body) { Set(path, Reply{200, body}); }
    // The answer for paths without one of their own (404 by default).
    void SetDefault(const Reply& reply);
    int Requests(const std::string& path) const;
    int TotalRequests() const;
    // The paths in the order they were asked for.
    std::vector<std::string> RequestOrder() const;
    // The last request's head (request line and header lines).
    std::string LastHead() const;
    // Closes the listener and every connection.
    void Stop();

private:
    void AcceptLoop();
    void Serve(int connection);

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    mutable std::mutex lock_;
    std::condition_variable stopped_;
    std::map<std::string, Reply> replies_;
    Reply default_{404, "<html><body>404 Not Found</body></html>"};
    std::map<std::string, int> counts_;
    int total_ = 0;
    std::vector<std::string> order_;
    std::string lastHead_;
    std::vector<std::thread> workers_;
    std::vector<int> connections_;
};
