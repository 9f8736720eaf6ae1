// WinINet stand-in on libcurl: handle objects for sessions, connections and
// requests; a request runs one curl transfer into memory and is read back.
#include "platform/wininet.h"

#include "platform/host_map.h"
#include "platform/sync.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <strings.h>
#include <unordered_set>

namespace {

// An answer larger than this is refused: tiles and pages are far smaller.
constexpr size_t MaxBodyBytes = 32u << 20;
constexpr DWORD DefaultTimeoutMs = 60000;

enum class InetKind { Session, Connection, Request };

struct InetHandle {
    InetKind kind = InetKind::Session;
    // Session and inherited by its children.
    std::string agent;
    DWORD connectTimeoutMs = DefaultTimeoutMs;
    DWORD receiveTimeoutMs = DefaultTimeoutMs;
    DWORD transferDeadlineMs = 0;  // 0: no limit on a whole transfer
    // Connection and request.
    std::string host;
    int port = 0;
    // Request.
    std::string verb;
    std::string object;
    bool secure = false;
    bool sent = false;
    long status = 0;
    std::string headers;
    std::string body;
    size_t readOffset = 0;
    DWORD failureAfterBody = 0;  // error the read reports once the body is read
};

// Live handles. threads: any thread opens, uses and closes handles; one
// handle is used by one thread at a time, as with WinINet.
std::mutex HandleLock;
std::unordered_set<InetHandle*> LiveHandles;

thread_local std::string LastResponseText;

std::once_flag CurlInit;

std::atomic<bool> TransfersCancelled{false};

InetHandle* NewHandle(InetKind kind)
{
    auto* handle = new InetHandle();
    handle->kind = kind;
    std::lock_guard<std::mutex> hold(HandleLock);
    LiveHandles.insert(handle);
    return handle;
}

InetHandle* Lookup(HINTERNET handle, InetKind kind)
{
    auto* h = static_cast<InetHandle*>(handle);
    std::lock_guard<std::mutex> hold(HandleLock);
    if (!h || !LiveHandles.count(h)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (h->kind != kind) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return nullptr;
    }
    return h;
}

InetHandle* LookupAny(HINTERNET handle)
{
    auto* h = static_cast<InetHandle*>(handle);
    std::lock_guard<std::mutex> hold(HandleLock);
    if (!h || !LiveHandles.count(h)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return h;
}

void Fail(DWORD error, const char* text)
{
    LastResponseText = text ? text : "";
    SetLastError(error);
}

// Trailing blanks dropped, inner blanks and control bytes percent-encoded.
std::string EncodeObject(const char* object)
{
    std::string text = object ? object : "";
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    std::string out;
    for (unsigned char c : text) {
        if (c <= ' ' || c >= 0x7F) {
            char code[4];
            snprintf(code, sizeof code, "%%%02X", c);
            out += code;
        } else {
            out += static_cast<char>(c);
        }
    }
    if (out.empty() || out[0] != '/')
        out.insert(out.begin(), '/');
    return out;
}

// The URL of a request; empty when the host may not be reached.
std::string MakeUrl(const InetHandle* request, std::string* hostHeader)
{
    char address[64];
    int port = 0;
    HostRoute route = RouteHost(request->host.c_str(), address, sizeof address, &port);
    if (route == HostRoute::Refused)
        return std::string();
    if (route == HostRoute::Mapped) {
        *hostHeader = "Host: " + request->host;
        return "http://" + std::string(address) + ":" + std::to_string(port) + request->object;
    }
    const char* scheme = request->secure ? "https" : "http";
    int defaultPort = request->secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    std::string url = std::string(scheme) + "://" + request->host;
    if (request->port && request->port != defaultPort)
        url += ":" + std::to_string(request->port);
    return url + request->object;
}

struct Transfer {
    InetHandle* request = nullptr;
    bool tooLarge = false;
    curl_off_t lastBytes = 0;
    std::chrono::steady_clock::time_point lastProgress;
    DWORD idleLimitMs = DefaultTimeoutMs;
    bool cancelled = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    size_t n = size * count;
    if (t->request->body.size() + n > MaxBodyBytes) {
        t->tooLarge = true;
        return 0;
    }
    t->request->body.append(data, n);
    return n;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    size_t n = size * count;
    // A new status line (after a 100 Continue) starts the headers again.
    if (n >= 5 && memcmp(data, "HTTP/", 5) == 0)
        t->request->headers.clear();
    if (t->request->headers.size() + n <= 65536)
        t->request->headers.append(data, n);
    return n;
}

// Ends a transfer that received nothing for the receive time-out.
int OnProgress(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t)
{
    auto* t = static_cast<Transfer*>(user);
    if (TransfersCancelled) {
        t->cancelled = true;
        return 1;
    }
    auto now = std::chrono::steady_clock::now();
    if (received != t->lastBytes) {
        t->lastBytes = received;
        t->lastProgress = now;
        return 0;
    }
    auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(now - t->lastProgress).count();
    return idle > static_cast<long long>(t->idleLimitMs) ? 1 : 0;
}

DWORD ErrorOfCurl(CURLcode code, bool tooLarge)
{
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_ABORTED_BY_CALLBACK: return ERROR_INTERNET_TIMEOUT;
    case CURLE_URL_MALFORMAT: return ERROR_INTERNET_INVALID_URL;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CACERT_BADFILE: return ERROR_INTERNET_SEC_CERT_ERRORS;
    case CURLE_WRITE_ERROR: return tooLarge ? ERROR_INTERNET_CONNECTION_ABORTED : ERROR_INTERNET_INTERNAL_ERROR;
    default: return ERROR_INTERNET_CONNECTION_RESET;
    }
}

curl_slist* HeaderList(const char* headers, DWORD length, const std::string& hostHeader)
{
    curl_slist* list = nullptr;
    if (!hostHeader.empty())
        list = curl_slist_append(list, hostHeader.c_str());
    if (!headers)
        return list;
    std::string text = length == static_cast<DWORD>(-1) ? std::string(headers) : std::string(headers, length);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line.find(':') != std::string::npos)
            list = curl_slist_append(list, line.c_str());
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return list;
}

// The whole transfer of one request; false when no answer came.
bool RunTransfer(InetHandle* request, const char* headers, DWORD headersLength)
{
    std::call_once(CurlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (TransfersCancelled) {
        request->sent = true;
        Fail(ERROR_INTERNET_OPERATION_CANCELLED, "transfers cancelled");
        return false;
    }
    CURL* curl = curl_easy_init();
    if (!curl) {
        Fail(ERROR_INTERNET_INTERNAL_ERROR, "curl_easy_init failed");
        return false;
    }
    std::string hostHeader;
    std::string url = MakeUrl(request, &hostHeader);
    if (url.empty()) {
        curl_easy_cleanup(curl);
        request->sent = true;
        Fail(ERROR_INTERNET_NAME_NOT_RESOLVED, "host not in TVL_HOST_MAP");
        return false;
    }
    curl_slist* list = HeaderList(headers, headersLength, hostHeader);
    Transfer transfer;
    transfer.request = request;
    transfer.lastProgress = std::chrono::steady_clock::now();
    transfer.idleLimitMs = request->receiveTimeoutMs;
    char errorText[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request->verb.c_str());
    if (request->verb == "HEAD")
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, request->agent.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request->connectTimeoutMs));
    if (request->transferDeadlineMs > 0)
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(request->transferDeadlineMs));
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);

    CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    curl_slist_free_all(list);

    request->sent = true;
    request->status = status;
    if (code == CURLE_OK) {
        LastResponseText.clear();
        SetLastError(0);
        return true;
    }
    DWORD error = transfer.cancelled ? ERROR_INTERNET_OPERATION_CANCELLED : ErrorOfCurl(code, transfer.tooLarge);
    if (status > 0) {
        // The answer began: its body reads up to the break, then fails.
        request->failureAfterBody = error;
        LastResponseText = errorText[0] ? errorText : curl_easy_strerror(code);
        SetLastError(0);
        return true;
    }
    request->body.clear();
    Fail(error, errorText[0] ? errorText : curl_easy_strerror(code));
    return false;
}

BOOL CopyOut(const std::string& text, LPVOID buffer, LPDWORD length)
{
    if (!length) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!buffer || *length < text.size() + 1) {
        *length = static_cast<DWORD>(text.size() + 1);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(buffer, text.c_str(), text.size() + 1);
    *length = static_cast<DWORD>(text.size());
    return TRUE;
}

// The value of one header line ("Name: value"), or false.
bool FindHeader(const std::string& headers, const char* name, std::string* value)
{
    size_t nameLength = strlen(name);
    size_t start = 0;
    while (start < headers.size()) {
        size_t end = headers.find('\n', start);
        std::string line = headers.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (line.size() > nameLength && strncasecmp(line.c_str(), name, nameLength) == 0 && line[nameLength] == ':') {
            std::string v = line.substr(nameLength + 1);
            while (!v.empty() && (v.front() == ' ' || v.front() == '\t'))
                v.erase(v.begin());
            while (!v.empty() && (v.back() == '\r' || v.back() == ' '))
                v.pop_back();
            *value = v;
            return true;
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

} // namespace

HINTERNET InternetOpenA(LPCSTR agent, DWORD, LPCSTR, LPCSTR, DWORD)
{
    InetHandle* session = NewHandle(InetKind::Session);
    session->agent = agent ? agent : "";
    SetLastError(0);
    return session;
}

BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length)
{
    InetHandle* h = LookupAny(handle);
    if (!h)
        return FALSE;
    if (!buffer || length < sizeof(DWORD)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD value;
    memcpy(&value, buffer, sizeof value);
    if (value == 0)
        value = DefaultTimeoutMs;
    if (option == INTERNET_OPTION_CONNECT_TIMEOUT)
        h->connectTimeoutMs = value;
    else if (option == INTERNET_OPTION_RECEIVE_TIMEOUT || option == INTERNET_OPTION_SEND_TIMEOUT)
        h->receiveTimeoutMs = value;
    return TRUE;
}

HINTERNET InternetConnectA(HINTERNET session, LPCSTR server, INTERNET_PORT port, LPCSTR, LPCSTR, DWORD service,
                           DWORD, DWORD_PTR)
{
    InetHandle* parent = Lookup(session, InetKind::Session);
    if (!parent)
        return nullptr;
    if (!server || !server[0] || service != INTERNET_SERVICE_HTTP) {
        Fail(ERROR_INVALID_PARAMETER, "no server");
        return nullptr;
    }
    InetHandle* connection = NewHandle(InetKind::Connection);
    connection->agent = parent->agent;
    connection->connectTimeoutMs = parent->connectTimeoutMs;
    connection->receiveTimeoutMs = parent->receiveTimeoutMs;
    connection->transferDeadlineMs = parent->transferDeadlineMs;
    connection->host = server;
    connection->port = port;
    SetLastError(0);
    return connection;
}

HINTERNET HttpOpenRequestA(HINTERNET connection, LPCSTR verb, LPCSTR object, LPCSTR, LPCSTR, LPCSTR*, DWORD flags,
                           DWORD_PTR)
{
    InetHandle* parent = Lookup(connection, InetKind::Connection);
    if (!parent)
        return nullptr;
    InetHandle* request = NewHandle(InetKind::Request);
    request->agent = parent->agent;
    request->connectTimeoutMs = parent->connectTimeoutMs;
    request->receiveTimeoutMs = parent->receiveTimeoutMs;
    request->transferDeadlineMs = parent->transferDeadlineMs;
    request->host = parent->host;
    request->port = parent->port;
    request->verb = verb && verb[0] ? verb : "GET";
    request->object = EncodeObject(object);
    request->secure = (flags & INTERNET_FLAG_SECURE) != 0;
    SetLastError(0);
    return request;
}

BOOL HttpSendRequestA(HINTERNET handle, LPCSTR headers, DWORD headersLength, LPVOID, DWORD)
{
    InetHandle* request = Lookup(handle, InetKind::Request);
    if (!request)
        return FALSE;
    request->body.clear();
    request->headers.clear();
    request->readOffset = 0;
    request->failureAfterBody = 0;
    return RunTransfer(request, headers, headersLength) ? TRUE : FALSE;
}

HINTERNET InternetOpenUrlA(HINTERNET session, LPCSTR url, LPCSTR headers, DWORD headersLength, DWORD flags, DWORD_PTR)
{
    InetHandle* parent = Lookup(session, InetKind::Session);
    if (!parent)
        return nullptr;
    const char* text = url ? url : "";
    bool secure = strncasecmp(text, "https://", 8) == 0;
    if (!secure && strncasecmp(text, "http://", 7) != 0) {
        Fail(ERROR_INTERNET_INVALID_URL, "unsupported URL");
        return nullptr;
    }
    const char* hostStart = text + (secure ? 8 : 7);
    const char* pathStart = strchr(hostStart, '/');
    std::string hostPort = pathStart ? std::string(hostStart, pathStart) : std::string(hostStart);
    InetHandle* request = NewHandle(InetKind::Request);
    request->agent = parent->agent;
    request->connectTimeoutMs = parent->connectTimeoutMs;
    request->receiveTimeoutMs = parent->receiveTimeoutMs;
    request->transferDeadlineMs = parent->transferDeadlineMs;
    size_t colon = hostPort.find(':');
    request->host = hostPort.substr(0, colon);
    request->port = colon == std::string::npos ? 0 : atoi(hostPort.c_str() + colon + 1);
    request->verb = "GET";
    request->object = EncodeObject(pathStart ? pathStart : "/");
    request->secure = secure || (flags & INTERNET_FLAG_SECURE) != 0;
    if (request->host.empty() || !RunTransfer(request, headers, headersLength)) {
        DWORD error = request->host.empty() ? ERROR_INTERNET_INVALID_URL : GetLastError();
        InternetCloseHandle(request);
        SetLastError(error);
        return nullptr;
    }
    return request;
}

BOOL InternetReadFile(HINTERNET handle, LPVOID buffer, DWORD toRead, LPDWORD read)
{
    if (read)
        *read = 0;
    InetHandle* request = Lookup(handle, InetKind::Request);
    if (!request || !read || (!buffer && toRead)) {
        if (request)
            SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!request->sent) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return FALSE;
    }
    size_t left = request->body.size() - request->readOffset;
    if (left == 0 && request->failureAfterBody) {
        SetLastError(request->failureAfterBody);
        return FALSE;
    }
    size_t n = std::min<size_t>(left, toRead);
    if (n)
        memcpy(buffer, request->body.data() + request->readOffset, n);
    request->readOffset += n;
    *read = static_cast<DWORD>(n);
    SetLastError(0);
    return TRUE;
}

BOOL HttpQueryInfoA(HINTERNET handle, DWORD infoLevel, LPVOID buffer, LPDWORD length, LPDWORD)
{
    InetHandle* request = Lookup(handle, InetKind::Request);
    if (!request)
        return FALSE;
    bool number = (infoLevel & HTTP_QUERY_FLAG_NUMBER) != 0;
    DWORD level = infoLevel & 0xFFFFu;
    std::string text;
    if (level == HTTP_QUERY_STATUS_CODE && request->status > 0) {
        text = std::to_string(request->status);
    } else if (level == HTTP_QUERY_CONTENT_LENGTH && FindHeader(request->headers, "Content-Length", &text)) {
    } else if (level == HTTP_QUERY_RAW_HEADERS_CRLF && !request->headers.empty() && !number) {
        text = request->headers;
    } else {
        SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
        return FALSE;
    }
    if (!number)
        return CopyOut(text, buffer, length);
    if (!buffer || !length || *length < sizeof(DWORD)) {
        if (length)
            *length = sizeof(DWORD);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    DWORD value = static_cast<DWORD>(strtoul(text.c_str(), nullptr, 10));
    memcpy(buffer, &value, sizeof value);
    *length = sizeof value;
    return TRUE;
}

BOOL InternetGetLastResponseInfoA(LPDWORD error, LPSTR buffer, LPDWORD length)
{
    if (error)
        *error = 0;
    return CopyOut(LastResponseText, buffer, length);
}

BOOL InternetCloseHandle(HINTERNET handle)
{
    auto* h = static_cast<InetHandle*>(handle);
    {
        std::lock_guard<std::mutex> hold(HandleLock);
        if (!h || !LiveHandles.erase(h)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
    delete h;
    return TRUE;
}

BOOL SetInternetTransferDeadline(HINTERNET handle, DWORD milliseconds)
{
    InetHandle* h = LookupAny(handle);
    if (!h)
        return FALSE;
    h->transferDeadlineMs = milliseconds;
    return TRUE;
}

void SetInternetTransfersCancelled(bool cancelled)
{
    TransfersCancelled = cancelled;
}
