// The map tiles' network layer: Winsock start and stop, the HTTP/1.0 text
// client, the WinINet downloads of tiles and terrain tiles into files, and
// the local chart-tile look-up of offline mode.
#include "maps/http_download.h"

#include "platform/log.h"
#include "app/settings.h"
#include "maps/tile_locks.h"
#include "maps/tile_cache.h"
#include "maps/tile_stores.h"
#include "platform/files.h"
#include "platform/host_map.h"
#include "platform/sync.h"
#include "platform/threads.h"
#include "platform/wininet.h"
#include "platform/winsock.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <strings.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

constexpr DWORD ReadPieceBytes = 50249;
constexpr size_t HttpGetPieceBytes = 1024;
constexpr size_t MaxHeaderBytes = 16384;
constexpr char ErrorPageStart[] = "<!DOCTYPE HTML PUBLIC";

// Written on the GUI thread at start and shutdown; read by download threads.
std::atomic<bool> NetworkUp{false};
// threads: set by fetch threads, read and cleared by the GUI and loader.
std::atomic<bool> NetworkFailure{false};
// threads: set by tests before downloads run; read by every download.
std::atomic<uint32_t> NetworkTimeoutMs{30000};
// The longest one tile or terrain transfer may take, and the longest one text
// (the catalogue with its maps, the news) may hold the start: the receive
// time-out above bounds only each wait, which a server sending a byte now and
// then never reaches. A text's bound is never shorter than that time-out, so
// a server that is slow to answer is still waited for. Set by tests, read by
// the downloads.
constexpr uint32_t DefaultTextDeadlineMs = 120000;
std::atomic<uint32_t> TileDeadlineMs{30000};
std::atomic<uint32_t> TextDeadlineMs{DefaultTextDeadlineMs};
// threads: the fetch threads look tiles up one at a time under tile mutex 0.
std::atomic<int> LastChartLayer{0};
std::atomic<bool> ChartLookupBusy{false};

// Sessions and connections per server number, one table for HTTPS and one
// for HTTP (a server number may name a different host in each).
struct ServerHandles {
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    char host[128] = {};
};
// threads: fetch threads open handles, the loader closes them between jobs.
std::mutex HandleTableLock;
ServerHandles Servers[2][DownloadServerCount];

// The terrain download's own session and connection. threads: terrain loader.
std::mutex TerrainLock;
ServerHandles TerrainServer;

struct DownloadStyle {
    bool secure;
    // HTTPS also counts a "404 Not Found" page as an error page and logs it.
    bool strictErrorPage;
};

void LogResponseText(const char* filePath)
{
    char text[512] = {};
    DWORD length = sizeof text;
    DWORD error = 0;
    InternetGetLastResponseInfoA(&error, text, &length);
    WriteLogF("%s %s", filePath, text);
}

void CloseServer(ServerHandles* server)
{
    if (server->connection)
        InternetCloseHandle(server->connection);
    if (server->session)
        InternetCloseHandle(server->session);
    *server = ServerHandles{};
}

// The connection of a server number, opened on first use; null on failure.
HINTERNET ConnectServer(const char* host, int serverNumber, DownloadStyle style, const char* filePath)
{
    std::lock_guard<std::mutex> hold(HandleTableLock);
    ServerHandles* server = &Servers[style.secure ? 0 : 1][serverNumber];
    if (server->connection && strcmp(server->host, host) == 0)
        return server->connection;
    CloseServer(server);
    char agent[64];
    snprintf(agent, sizeof agent, "Mozilla/5.0 (%d)", ClientIdTag.load());
    server->session = InternetOpenA(agent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!server->session) {
        DWORD error = GetLastError();
        if (style.secure) {
            if (error)
                WriteLogF("InternetOpen: %s %d", host, static_cast<int>(error));
            NetworkFailure = true;
        } else {
            WriteLogF("InternetOpen: %d %s", static_cast<int>(error), filePath);
        }
        return nullptr;
    }
    DWORD timeout = NetworkTimeoutMs.load();
    InternetSetOptionA(server->session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionA(server->session, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    INTERNET_PORT port = style.secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    server->connection = InternetConnectA(server->session, host, port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!server->connection) {
        DWORD error = GetLastError();
        if (style.secure) {
            if (error)
                WriteLogF("InternetConnect: %s %d", host, static_cast<int>(error));
            NetworkFailure = true;
        } else {
            WriteLogF("InternetConnect: %d %s", static_cast<int>(error), filePath);
        }
        CloseServer(server);
        return nullptr;
    }
    snprintf(server->host, sizeof server->host, "%s", host);
    return server->connection;
}

bool IsErrorPage(const char* piece, size_t n, bool strict)
{
    size_t start = sizeof ErrorPageStart - 1;
    if (n >= start && memcmp(piece, ErrorPageStart, start) == 0)
        return true;
    static const char notFound[] = "404 Not Found";
    return strict && memmem(piece, n, notFound, sizeof notFound - 1) != nullptr;
}

enum class BodyResult { Complete, ErrorPage, Broken };

// Reads the answer's body into file; the first piece decides whether it is
// an error page.
BodyResult ReadBody(HINTERNET request, FILE* file, const char* host, const char* filePath, DownloadStyle style,
                    bool logAtEnd)
{
    static thread_local char piece[ReadPieceBytes];
    bool first = true;
    bool errorPage = false;
    for (;;) {
        DWORD n = 0;
        if (!InternetReadFile(request, piece, ReadPieceBytes, &n)) {
            LogResponseText(filePath);
            return BodyResult::Broken;
        }
        if (n == 0)
            break;
        if (first)
            errorPage = IsErrorPage(piece, n, style.strictErrorPage);
        first = false;
        if (fwrite(piece, 1, n, file) != n)
            return BodyResult::Broken;
        if (!errorPage && GetLastError() != 0)
            LogResponseText(filePath);
        else if (errorPage && style.strictErrorPage)
            WriteLogF("%s: <!DOCTYPE HTML PUBLIC received\n", host);
    }
    if (logAtEnd && GetLastError() != 0)
        LogResponseText(filePath);
    return errorPage ? BodyResult::ErrorPage : BodyResult::Complete;
}

// The answer's status code, 0 when there is none.
DWORD StatusOf(HINTERNET request)
{
    DWORD status = 0;
    DWORD length = sizeof status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr))
        return 0;
    return status;
}

// The body goes to a temporary file beside the target, renamed into place
// only when it is complete, so a broken transfer never leaves part of a tile.
// Only a success is stored: the body of a 404 or 500 may well be a picture
// (a server's "no tile" image), and is no tile of this place.
int ReceiveToFile(HINTERNET request, const char* host, const char* filePath, DownloadStyle style, bool logAtEnd)
{
    DWORD status = StatusOf(request);
    if (status < 200 || status > 299) {
        WriteLogF("%s: HTTP status %u, nothing stored", filePath, static_cast<unsigned>(status));
        return DownloadErrorPage;
    }
    static std::atomic<unsigned> counter{0};
    char temporary[600];
    snprintf(temporary, sizeof temporary, "%s.%u.part", filePath, counter.fetch_add(1));
    FILE* file = fopen(temporary, "wb");
    if (!file)
        return DownloadFailed;
    BodyResult body = ReadBody(request, file, host, filePath, style, logAtEnd);
    bool written = fclose(file) == 0;
    if (body == BodyResult::Complete && written && rename(temporary, filePath) == 0)
        return DownloadDone;
    remove(temporary);
    return body == BodyResult::ErrorPage ? DownloadErrorPage : DownloadFailed;
}

int Download(const char* host, const char* requestPath, const char* filePath, int serverNumber, DownloadStyle style)
{
    if (!host || !requestPath || !filePath || serverNumber < 0 || serverNumber >= DownloadServerCount)
        return DownloadFailed;
    HINTERNET connection = ConnectServer(host, serverNumber, style, filePath);
    if (!connection)
        return DownloadFailed;
    DWORD flags = style.secure ? INTERNET_FLAG_SECURE : INTERNET_FLAG_CACHE_IF_NET_FAIL;
    HINTERNET request = HttpOpenRequestA(connection, "GET", requestPath, nullptr, nullptr, nullptr, flags, 0);
    if (!request) {
        WriteLogF("HttpOpenRequest: %s %d %s", host, static_cast<int>(GetLastError()), filePath);
        return DownloadFailed;
    }
    SetInternetTransferDeadline(request, TileDeadlineMs.load());
    if (!HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
        DWORD error = GetLastError();
        if (style.secure)
            WriteLogF("HttpSSendRequest: %s %d %s", host, static_cast<int>(error), filePath);
        else if (error)
            WriteLogF("HttpSendRequest: %d %s", static_cast<int>(error), filePath);
        InternetCloseHandle(request);
        return DownloadFailed;
    }
    int result = ReceiveToFile(request, host, filePath, style, false);
    InternetCloseHandle(request);
    if (result == DownloadErrorPage && SynthesizeOverzoomTile(filePath))
        result = DownloadDone;
    return result;
}

// Address of host for HttpGet: a test server from TVL_HOST_MAP, a dotted
// address or the first IPv4 address of the name.
bool ResolveHttpHost(const char* host, sockaddr_in* address)
{
    memset(address, 0, sizeof *address);
    address->sin_family = AF_INET;
    address->sin_port = htons(80);
    char mapped[64];
    int port = 0;
    HostRoute route = RouteHost(host, mapped, sizeof mapped, &port);
    if (route == HostRoute::Refused)
        return false;
    if (route == HostRoute::Mapped) {
        address->sin_port = htons(static_cast<uint16_t>(port));
        return inet_pton(AF_INET, mapped, &address->sin_addr) == 1;
    }
    if (inet_pton(AF_INET, host, &address->sin_addr) == 1)
        return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found)
        return false;
    address->sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

// Milliseconds left until deadline (a program-clock time), at least 0.
int MillisecondsLeft(long deadline)
{
    long left = deadline - ProgramClockMs();
    return left > 0 ? static_cast<int>(left) : 0;
}

// The end of one wait: the receive time-out from now, or the deadline of the
// whole request when that comes first.
long WaitEnd(long deadline)
{
    long timeout = ProgramClockMs() + static_cast<long>(NetworkTimeoutMs.load());
    return timeout < deadline ? timeout : deadline;
}

// Waits until s is ready for events or the deadline passes; false on the latter.
bool WaitForSocket(SOCKET s, short events, long deadline)
{
    for (;;) {
        pollfd p{s, events, 0};
        int ready = poll(&p, 1, MillisecondsLeft(deadline));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR) {
            errno = ETIMEDOUT;
            return false;
        }
    }
}

// connect, giving up at the deadline instead of the system's own time-out of
// minutes; errno tells why it failed.
bool ConnectBefore(SOCKET s, const sockaddr_in& address, long deadline)
{
    int flags = fcntl(s, F_GETFL);
    if (flags < 0 || fcntl(s, F_SETFL, flags | O_NONBLOCK) != 0)
        return false;
    bool connected = connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (!connected && errno == EINPROGRESS && WaitForSocket(s, POLLOUT, deadline)) {
        int error = 0;
        socklen_t length = sizeof error;
        getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length);
        connected = error == 0;
        errno = error;
    }
    int error = errno;
    fcntl(s, F_SETFL, flags);
    errno = error;
    return connected;
}

bool SendAll(SOCKET s, const char* data, size_t n)
{
    while (n > 0) {
        ssize_t sent = send(s, data, n, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        n -= static_cast<size_t>(sent);
    }
    return true;
}

// Appends bytes to a terminated text of capacity bytes, cutting at the end.
void AppendBounded(char* out, size_t capacity, size_t* used, const char* data, size_t n)
{
    if (*used + 1 >= capacity)
        return;
    size_t room = capacity - 1 - *used;
    if (n > room)
        n = room;
    memcpy(out + *used, data, n);
    *used += n;
    out[*used] = 0;
}

// The parsed head of an answer: status (0 when the line is not "HTTP/") and
// the content length (-1 unknown).
void ParseHttpHead(const std::string& head, int* status, long* contentLength)
{
    *status = 0;
    *contentLength = -1;
    if (head.compare(0, 5, "HTTP/") == 0) {
        size_t blank = head.find(' ');
        if (blank != std::string::npos)
            *status = atoi(head.c_str() + blank + 1);
    }
    size_t at = 0;
    while ((at = head.find('\n', at)) != std::string::npos) {
        at++;
        if (strncasecmp(head.c_str() + at, "Content-Length:", 15) == 0)
            *contentLength = atol(head.c_str() + at + 15);
    }
}

} // namespace

int StartWinsock()
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return -1;
    NetworkUp = true;
    return 0;
}

void StopWinsock()
{
    WSACleanup();
    NetworkUp = false;
}

bool IsNetworkUp()
{
    return NetworkUp;
}

void AppendWsaErrorText(char* text, size_t size, int code)
{
    const char* format;
    switch (code) {
    case 10004: format = "%s: WSA: A blocking Windows Socket 1.1 call was canceled through WSACancelBlockingCall."; break;
    case 10014: format = "%s: WSA: The name parameter is not a valid part of the user address space."; break;
    case 10036:
        format = "%s: WSA: A blocking Windows Sockets 1.1 call is in progress, or the service provider is still "
                 "processing a callback function.";
        break;
    case 10050: format = "%s: WSA: The network subsystem has failed."; break;
    case 10060: format = "%s: WSA: timeout."; break;
    case 10093: format = "%s: WSA: A successful WSAStartup must occur before using this function."; break;
    case 11001: format = "%s: WSA: Authoritative Answer Host not found."; break;
    case 11002: format = " %s: WSA: Non-Authoritative Host not found, or server failure."; break;
    case 11003: format = "%s: WSA: Nonrecoverable error occurred."; break;
    case 11004: format = "%s: WSA: Valid name, no data record of requested type."; break;
    default: format = nullptr; break;
    }
    std::string base = text;
    if (format)
        snprintf(text, size, format, base.c_str());
    else
        snprintf(text, size, "%s: WSA: Unknown failure %d", base.c_str(), code);
}

int HttpGet(const char* host, const char* path, char* out, size_t capacity)
{
    return HttpGetBefore(host, path, out, capacity, TextRequestDeadline());
}

long TextRequestDeadline()
{
    return ProgramClockMs() + static_cast<long>(TextDeadlineMs.load());
}

int HttpGetBefore(const char* host, const char* path, char* out, size_t capacity, long deadline)
{
    if (!host || !path || !out || capacity == 0)
        return -1;
    size_t used = strnlen(out, capacity - 1);
    out[used] = 0;
    sockaddr_in address;
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET)
        return -1;
    if (!ResolveHttpHost(host, &address)) {
        closesocket(s);
        return -1;
    }
    if (!ConnectBefore(s, address, WaitEnd(deadline))) {
        char text[256] = "connect";
        AppendWsaErrorText(text, sizeof text, WSAGetLastError());
        WriteLog(text);
        closesocket(s);
        return -1;
    }
    SetSocketReceiveTimeout(s, NetworkTimeoutMs.load());
    char request[1024];
    int n = snprintf(request, sizeof request, "GET %s HTTP/1.0\nHost: %s\n\n", path, host);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof request || !SendAll(s, request, static_cast<size_t>(n))) {
        closesocket(s);
        return -1;
    }
    // The head is gathered across pieces: its end may fall between two.
    std::string head;
    bool inBody = false;
    long bodyBytes = 0;
    long contentLength = -1;
    char piece[HttpGetPieceBytes];
    ssize_t got = -1;
    for (;;) {
        // Silent for the receive time-out, or sending a byte now and then
        // until the deadline: given up.
        got = WaitForSocket(s, POLLIN, WaitEnd(deadline)) ? recv(s, piece, sizeof piece, 0) : -1;
        if (got <= 0)
            break;
        if (inBody) {
            AppendBounded(out, capacity, &used, piece, static_cast<size_t>(got));
            bodyBytes += got;
            continue;
        }
        head.append(piece, static_cast<size_t>(got));
        size_t end = head.find("\r\n\r\n");
        if (end == std::string::npos) {
            if (head.size() > MaxHeaderBytes)
                break;
            continue;
        }
        int status;
        ParseHttpHead(head.substr(0, end), &status, &contentLength);
        if (status >= 300) {
            closesocket(s);
            return -1;
        }
        inBody = true;
        size_t rest = head.size() - end - 4;
        AppendBounded(out, capacity, &used, head.data() + end + 4, rest);
        bodyBytes += static_cast<long>(rest);
    }
    closesocket(s);
    // An error instead of the peer's close, or fewer bytes than announced,
    // means the text was cut off.
    if (!inBody || got < 0 || (contentLength >= 0 && bodyBytes < contentLength))
        return -1;
    return 0;
}

int DownloadTileToFile(const char* host, const char* requestPath, const char* filePath, int serverNumber)
{
    if (!LockTileMutex(TileMutexHttps))
        return DownloadFailed;
    int result = Download(host, requestPath, filePath, serverNumber, DownloadStyle{true, true});
    UnlockTileMutex(TileMutexHttps);
    return result;
}

int DownloadTileToFileB(const char* host, const char* requestPath, const char* filePath, int serverNumber)
{
    return Download(host, requestPath, filePath, serverNumber, DownloadStyle{false, false});
}

int DownloadTerrainToFile(const char* host, const char* requestPath, const char* filePath)
{
    if (!host || !requestPath || !filePath)
        return DownloadFailed;
    std::lock_guard<std::mutex> hold(TerrainLock);
    if (!TerrainServer.session) {
        char agent[64];
        snprintf(agent, sizeof agent, "PlovikTerrainRequest_%d", ClientIdTag.load());
        TerrainServer.session = InternetOpenA(agent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        if (!TerrainServer.session)
            return DownloadFailed;
        DWORD timeout = NetworkTimeoutMs.load();
        InternetSetOptionA(TerrainServer.session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    }
    if (!TerrainServer.connection || strcmp(TerrainServer.host, host) != 0) {
        if (TerrainServer.connection)
            InternetCloseHandle(TerrainServer.connection);
        TerrainServer.connection = InternetConnectA(TerrainServer.session, host, INTERNET_DEFAULT_HTTP_PORT, nullptr,
                                                    nullptr, INTERNET_SERVICE_HTTP, 0, 0);
        if (!TerrainServer.connection)
            return DownloadFailed;
        snprintf(TerrainServer.host, sizeof TerrainServer.host, "%s", host);
    }
    HINTERNET request = HttpOpenRequestA(TerrainServer.connection, "GET", requestPath, nullptr, nullptr, nullptr,
                                         INTERNET_FLAG_CACHE_IF_NET_FAIL, 0);
    if (!request)
        return DownloadFailed;
    SetInternetTransferDeadline(request, TileDeadlineMs.load());
    static const char headers[] = "Content-Type: text/html\nTervalingo: tile request";
    if (!HttpSendRequestA(request, headers, static_cast<DWORD>(-1), nullptr, 0)) {
        DWORD error = GetLastError();
        if (error)
            WriteLogF("send request: %d", static_cast<int>(error));
        InternetCloseHandle(request);
        return DownloadFailed;
    }
    int result = ReceiveToFile(request, host, filePath, DownloadStyle{false, false}, true);
    InternetCloseHandle(request);
    return result;
}

void CloseInternetHandles()
{
    std::lock_guard<std::mutex> hold(HandleTableLock);
    for (auto& table : Servers)
        for (ServerHandles& server : table)
            CloseServer(&server);
}

bool GetNetworkFailureFlag()
{
    return NetworkFailure;
}

void ClearNetworkFailureFlag()
{
    NetworkFailure = false;
}

void SetNetworkTimeoutMs(uint32_t milliseconds)
{
    NetworkTimeoutMs = milliseconds ? milliseconds : 30000;
}

void SetDownloadDeadlinesMs(uint32_t tiles, uint32_t texts)
{
    TileDeadlineMs = tiles ? tiles : 30000;
    TextDeadlineMs = texts ? texts : DefaultTextDeadlineMs;
}

bool ChartStoreForTile(int layer, int z, int x, char* fileName, size_t size, int* slot)
{
    static const char* const namedStores[] = {"enroute", "erch", "ercl", "icao", "ifrah", "ifral", "ifrh", "ifrl"};
    if (z < 0 || z > 30)
        return false;
    if (layer == 1) {
        *slot = z < 12 ? 0 : 1;
        snprintf(fileName, size, "%s", z < 12 ? "autopo.db" : "autopo_12.db");
    } else if (layer >= 2 && layer <= 9) {
        *slot = layer;
        snprintf(fileName, size, "%s.db", namedStores[layer - 2]);
    } else if (layer == 10) {
        *slot = z < 10 ? z + 10 : (x >= 512 ? 21 : 20);
        snprintf(fileName, size, z < 10 ? "onc%d.db" : (x >= 512 ? "onc%dE.db" : "onc%dW.db"), z);
    } else if (layer == 11) {
        *slot = z + 22;
        snprintf(fileName, size, "Sec_%d.db", z);
    } else if (layer == 13) {
        if (z < 10) {
            *slot = z + 35;
            snprintf(fileName, size, "tpc%d.db", z);
        } else if (z == 10) {
            *slot = x < 512 ? 45 : 46;
            snprintf(fileName, size, "tpc10_%d.db", x < 512 ? 1 : 2);
        } else {
            int part = x < 512 ? 1 : x < 1024 ? 2 : x < 1280 ? 3 : x < 1536 ? 4 : x < 1792 ? 5 : 6;
            *slot = 46 + part;
            snprintf(fileName, size, "tpc11_%d.db", part);
        }
    } else {
        return false;
    }
    return *slot >= 0 && *slot < ChartStoreSlotCount;
}

int ReadLocalChartTile(const char* requestPath, const char* fileName, uint8_t** data, uint32_t* size, int layer)
{
    (void)fileName;
    ChartLookupBusy = true;
    int result = -1;
    *data = nullptr;
    *size = 0;
    const char* name = layer > 0 && requestPath ? strstr(requestPath, "tilename=") : nullptr;
    int z, x, y;
    if (name && sscanf(name + 9, "%d/%d/%d", &z, &x, &y) == 3 && x >= 0 && y >= 0) {
        LastChartLayer = layer;
        char store[64];
        int slot;
        if (ChartStoreForTile(layer, z, x, store, sizeof store, &slot)) {
            if (slot < 10)
                result = OpenAndQueryZoomColumnRow(slot, store, z, x, y, data, size);
            else
                result = OpenAndQueryColumnRow(slot, store, z, x, y, data, size);
        }
    }
    ChartLookupBusy = false;
    return result;
}

int GetChartLayer()
{
    return LastChartLayer;
}
