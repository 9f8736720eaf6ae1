// WinINet on libcurl: sessions, connections and HTTP(S) requests with the
// calls and constants the downloads use. One curl easy handle per request,
// TLS verification on; hosts named in TVL_HOST_MAP go to a local test server
// over plain HTTP. A request is transferred whole by HttpSendRequestA and read
// back piecewise by InternetReadFile; a failure after the headers shows up in
// the read that reaches it.
#pragma once

#include "platform/win32.h"

typedef void* HINTERNET;
typedef WORD INTERNET_PORT;

#define INTERNET_OPEN_TYPE_PRECONFIG 0u
#define INTERNET_OPEN_TYPE_DIRECT 1u
#define INTERNET_SERVICE_HTTP 3u
#define INTERNET_DEFAULT_HTTP_PORT 80
#define INTERNET_DEFAULT_HTTPS_PORT 443

#define INTERNET_FLAG_RELOAD 0x80000000u
#define INTERNET_FLAG_NO_CACHE_WRITE 0x04000000u
#define INTERNET_FLAG_SECURE 0x00800000u
#define INTERNET_FLAG_KEEP_CONNECTION 0x00400000u
#define INTERNET_FLAG_CACHE_IF_NET_FAIL 0x00010000u

#define INTERNET_OPTION_CONNECT_TIMEOUT 2u
#define INTERNET_OPTION_SEND_TIMEOUT 5u
#define INTERNET_OPTION_RECEIVE_TIMEOUT 6u

#define HTTP_QUERY_CONTENT_LENGTH 5u
#define HTTP_QUERY_STATUS_CODE 19u
#define HTTP_QUERY_RAW_HEADERS_CRLF 22u
#define HTTP_QUERY_FLAG_NUMBER 0x20000000u

#define ERROR_INTERNET_TIMEOUT 12002u
#define ERROR_INTERNET_INTERNAL_ERROR 12004u
#define ERROR_INTERNET_INVALID_URL 12005u
#define ERROR_INTERNET_NAME_NOT_RESOLVED 12007u
#define ERROR_INTERNET_OPERATION_CANCELLED 12017u
#define ERROR_INTERNET_INCORRECT_HANDLE_TYPE 12018u
#define ERROR_INTERNET_CANNOT_CONNECT 12029u
#define ERROR_INTERNET_CONNECTION_ABORTED 12030u
#define ERROR_INTERNET_CONNECTION_RESET 12031u
#define ERROR_INTERNET_SEC_CERT_ERRORS 12055u
#define ERROR_HTTP_HEADER_NOT_FOUND 12150u

// A session; agent is the user agent of its requests.
HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass, DWORD flags);
// The time-outs (DWORD milliseconds) of a session, connection or request.
BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length);
// A connection names the host and port; nothing goes over the network yet.
HINTERNET InternetConnectA(HINTERNET session, LPCSTR server, INTERNET_PORT port, LPCSTR user, LPCSTR password,
                           DWORD service, DWORD flags, DWORD_PTR context);
// A request of verb for object (blanks at its end are dropped, inner blanks
// sent as %20); INTERNET_FLAG_SECURE makes it HTTPS.
HINTERNET HttpOpenRequestA(HINTERNET connection, LPCSTR verb, LPCSTR object, LPCSTR version, LPCSTR referrer,
                           LPCSTR* acceptTypes, DWORD flags, DWORD_PTR context);
// Sends the request with extra header lines (separated by "\n" or "\r\n",
// length (DWORD)-1 for a terminated text) and receives the answer. FALSE when
// no answer came (GetLastError tells why).
BOOL HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID optional, DWORD optionalLength);
// Opens and sends a GET for a whole "http://" or "https://" URL.
HINTERNET InternetOpenUrlA(HINTERNET session, LPCSTR url, LPCSTR headers, DWORD headersLength, DWORD flags,
                           DWORD_PTR context);
// Up to toRead bytes of the answer's body; TRUE with 0 bytes at its end, FALSE
// when the transfer broke off at this point.
BOOL InternetReadFile(HINTERNET request, LPVOID buffer, DWORD toRead, LPDWORD read);
// The status code or content length (as a number with HTTP_QUERY_FLAG_NUMBER,
// else as text) or the raw header lines.
BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD length, LPDWORD index);
// The calling thread's last failure text.
BOOL InternetGetLastResponseInfoA(LPDWORD error, LPSTR buffer, LPDWORD length);
BOOL InternetCloseHandle(HINTERNET handle);

// Platform-layer switch, not a WinINet call: the longest a whole transfer of
// the handle's requests may take, connection to last byte, in milliseconds
// (0: no limit, as with WinINet's own time-outs, which only bound each wait).
// A transfer past it ends as timed out (ERROR_INTERNET_TIMEOUT), like one
// whose server went silent. Connections and requests opened later inherit it.
BOOL SetInternetTransferDeadline(HINTERNET handle, DWORD milliseconds);
// Platform-layer switch, not a WinINet call: while set, transfers in flight
// end within about a second and new ones fail at once, with
// ERROR_INTERNET_OPERATION_CANCELLED, so a stopping program need not wait out
// a silent server's time-out. Any thread.
void SetInternetTransfersCancelled(bool cancelled);
