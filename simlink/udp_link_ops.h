// A UDP simulator link as one descriptor (the session it owns and the body
// its thread runs) and the operations every such link has over it.
#pragma once

struct LinkSession;

struct UdpLink {
    LinkSession* session;
    void (*body)(LinkSession* s);
};

// GUI thread. Starts the link's thread unless it runs; any other link's
// thread is stopped and joined first, so only one link thread ever runs.
// Returns the running flag.
bool StartUdpLink(const UdpLink& link);
// GUI thread. The per-frame start: StartUdpLink once the settings have let
// the links run (IsSimLinkEnabled); else the running flag.
bool StartUdpLinkIfEnabled(const UdpLink& link);
// Any thread.
bool IsUdpLinkConnected(const UdpLink& link);
bool IsUdpLinkRunning(const UdpLink& link);
// GUI thread. Asks the link's thread to end (not while the display is being
// re-created) and wakes it from a blocked receive; does not wait.
void StopUdpLink(const UdpLink& link);
