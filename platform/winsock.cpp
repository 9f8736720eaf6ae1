// Winsock 2.2 on BSD sockets: start-up bookkeeping, the Windows error codes
// of the last socket call, and the Windows-only socket calls.
#include "platform/winsock.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/ip.h>
#include <sys/ioctl.h>
#include <sys/uio.h>

namespace {

std::atomic<int> StartCount{0}; // WSAStartup minus WSACleanup; any thread
// Set on a thread that made a socket non-blocking: there "would block" is
// what EAGAIN means; elsewhere it is the end of a receive time-out.
thread_local bool ThreadUsesNonBlocking = false;

} // namespace

int WSAStartup(WORD versionRequested, LPWSADATA data)
{
    if (LOBYTE_WSA(versionRequested) < 2)
        return WSAVERNOTSUPPORTED;
    if (data) {
        memset(data, 0, sizeof *data);
        data->wVersion = MAKEWORD(2, 2);
        data->wHighVersion = MAKEWORD(2, 2);
        snprintf(data->szDescription, sizeof data->szDescription, "BSD sockets");
        snprintf(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
    }
    StartCount++;
    return 0;
}

int WSACleanup()
{
    int count = StartCount.load();
    while (count > 0 && !StartCount.compare_exchange_weak(count, count - 1)) {
    }
    if (count <= 0) {
        errno = 0;
        return SOCKET_ERROR;
    }
    return 0;
}

int WSAGetLastError()
{
    return WsaErrorFromErrno(errno);
}

int WsaErrorFromErrno(int error)
{
    switch (error) {
    case 0:
        return StartCount.load() > 0 ? 0 : WSANOTINITIALISED;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
        return ThreadUsesNonBlocking ? WSAEWOULDBLOCK : WSAETIMEDOUT;
    case ETIMEDOUT:
        return WSAETIMEDOUT;
    case ECONNREFUSED:
        // Windows reports a refused datagram (ICMP port unreachable) as a
        // reset connection; TCP refusals read the same here.
        return WSAECONNRESET;
    case ECONNRESET:
    case EPIPE:
        return WSAECONNRESET;
    case EINTR:
        return WSAEINTR;
    case EBADF:
        return WSAEBADF;
    case EACCES:
    case EPERM:
        return WSAEACCES;
    case EFAULT:
        return WSAEFAULT;
    case EINVAL:
        return WSAEINVAL;
    case EMFILE:
    case ENFILE:
        return WSAEMFILE;
    case EINPROGRESS:
    case EALREADY:
        return WSAEWOULDBLOCK;
    case ENOTSOCK:
        return WSAENOTSOCK;
    case EMSGSIZE:
        return WSAEMSGSIZE;
    case EADDRINUSE:
        return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
        return WSAEADDRNOTAVAIL;
    case ENETDOWN:
        return WSAENETDOWN;
    case ENETUNREACH:
        return WSAENETUNREACH;
    case ECONNABORTED:
        return WSAECONNABORTED;
    case ENOTCONN:
        return WSAENOTCONN;
    case EHOSTUNREACH:
    case EHOSTDOWN:
        return WSAEHOSTUNREACH;
    default:
        return WSAEINVAL;
    }
}

int closesocket(SOCKET s)
{
    return close(s) == 0 ? 0 : SOCKET_ERROR;
}

int ioctlsocket(SOCKET s, long cmd, unsigned long* arg)
{
    if (!arg) {
        errno = EFAULT;
        return SOCKET_ERROR;
    }
    if (static_cast<unsigned long>(cmd) == FIONBIO_WSA) {
        int flags = fcntl(s, F_GETFL);
        if (flags < 0)
            return SOCKET_ERROR;
        flags = *arg ? flags | O_NONBLOCK : flags & ~O_NONBLOCK;
        if (fcntl(s, F_SETFL, flags) != 0)
            return SOCKET_ERROR;
        if (*arg)
            ThreadUsesNonBlocking = true;
        return 0;
    }
    if (static_cast<unsigned long>(cmd) == FIONREAD_WSA) {
        int pending = 0;
        if (ioctl(s, FIONREAD, &pending) != 0)
            return SOCKET_ERROR;
        *arg = static_cast<unsigned long>(pending);
        return 0;
    }
    errno = EINVAL;
    return SOCKET_ERROR;
}

int DiscardDatagramRefusals(SOCKET s)
{
    // Bounded, so that a flood of refusals cannot hold the caller here.
    constexpr int MaxPerCall = 4096;
    int savedErrno = errno;
    int count = 0;
    for (; count < MaxPerCall; ++count) {
        char head[1];
        iovec part{head, sizeof head};
        alignas(cmsghdr) char control[512];
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        if (recvmsg(s, &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0)
            break;
    }
    int pending = 0;
    socklen_t length = sizeof pending;
    getsockopt(s, SOL_SOCKET, SO_ERROR, &pending, &length);
    errno = savedErrno;
    return count;
}

int SetSocketReceiveTimeout(SOCKET s, DWORD milliseconds)
{
    timeval wait;
    wait.tv_sec = static_cast<time_t>(milliseconds / 1000);
    wait.tv_usec = static_cast<suseconds_t>(milliseconds % 1000) * 1000;
    if (setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) != 0)
        return SOCKET_ERROR;
    // Windows tells a datagram socket that its peer refused the last datagram
    // even when the socket is not connected; Linux does so only with this.
    int type = 0;
    socklen_t length = sizeof type;
    if (getsockopt(s, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_DGRAM) {
        int on = 1;
        setsockopt(s, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    }
    return 0;
}
