// Winsock 2.2 on BSD sockets: the socket calls keep their BSD names, the
// Windows-only ones are here, and WSAGetLastError maps errno to WSA codes.
#pragma once

#include "platform/win32.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

typedef int SOCKET;
#define INVALID_SOCKET (-1)
#define SOCKET_ERROR (-1)
#define MAKEWORD(lo, hi) (static_cast<WORD>((static_cast<BYTE>(lo)) | (static_cast<WORD>(static_cast<BYTE>(hi)) << 8)))

#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAEINPROGRESS 10036
#define WSAENOTSOCK 10038
#define WSAEMSGSIZE 10040
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAECONNABORTED 10053
#define WSAECONNRESET 10054
#define WSAENOTCONN 10057
#define WSAETIMEDOUT 10060
#define WSAECONNREFUSED 10061
#define WSAEHOSTUNREACH 10065
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093

#define FIONBIO_WSA 0x8004667Eu
#define FIONREAD_WSA 0x4004667Fu
#define LOBYTE_WSA(w) (static_cast<BYTE>((w) & 0xFF))

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
};
typedef WSADATA* LPWSADATA;

int WSAStartup(WORD versionRequested, LPWSADATA data);
int WSACleanup();
// The last socket call's errno as a WSA code: EAGAIN after a receive
// time-out is WSAETIMEDOUT (WSAEWOULDBLOCK on a thread that made a socket
// non-blocking), a refused datagram (ECONNREFUSED) is WSAECONNRESET.
int WSAGetLastError();
int WsaErrorFromErrno(int error);
int closesocket(SOCKET s);
// cmd FIONBIO_WSA with *arg != 0 makes the socket non-blocking; FIONREAD_WSA
// gives the bytes waiting.
int ioctlsocket(SOCKET s, long cmd, unsigned long* arg);
// A datagram socket that is told of refusals keeps each one queued until it is
// read, in its receive buffer: unread, they crowd out real datagrams, and a
// pending one fails the next send (its datagram is not sent). Windows keeps
// no such queue. Drops every refusal waiting on s and the pending error;
// returns how many there were. errno is left as it was.
int DiscardDatagramRefusals(SOCKET s);
// SO_RCVTIMEO as Windows takes it: milliseconds, 0 = wait forever. On a
// datagram socket it also asks for refusals to be reported, as Windows does.
int SetSocketReceiveTimeout(SOCKET s, DWORD milliseconds);
