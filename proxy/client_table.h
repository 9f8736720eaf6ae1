// The proxy's table of registered map programs: 20 slots, registration by
// client id, traffic and flight-plan marks. Written by the UDP receive thread
// (register, unregister) and the main thread (marks); every access locks.
#pragma once

#include "simlink/proxy_protocol.h"

#include <cstdint>
#include <netinet/in.h>

struct ClientSlot {
    bool inUse;
    uint32_t index;
    int32_t clientId;
    bool planSent;
    bool trafficWanted;
    sockaddr_in address;  // where the client registered from
    uint32_t generation;  // counts registrations, so a stale mark never lands
};

constexpr int ClientTableSize = ProxyMaxClients;

// Takes the slot already holding clientId, else the first free one; stores
// the address and clears both marks. Returns the slot index, -1 when full.
int RegisterClient(int32_t clientId, const sockaddr_in& from);
// Frees the slot holding clientId; false when no slot holds it.
bool UnregisterClient(int32_t clientId);
// Whether a slot holds clientId registered from that very address and port.
bool IsRegisteredClient(int32_t clientId, const sockaddr_in& from);
int ClientCount();
// A copy of all 20 slots, for one round of sends.
void CopyClientTable(ClientSlot out[ClientTableSize]);
// Sets the plan mark of a slot copied by CopyClientTable, unless the slot was
// registered again since.
void MarkPlanSent(const ClientSlot& copied);
// False for a slot index outside 0..19.
bool SetTrafficWanted(int slot, bool wanted);
bool AnyTrafficWanted();
// Empties the table (tests and a fresh start).
void ResetClientTable();
