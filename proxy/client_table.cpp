// The client table behind one mutex: the UDP receive thread registers and
// unregisters, the main thread copies it each round and sets the marks.
#include "proxy/client_table.h"

#include "platform/tvl_assert.h"

#include <cstring>
#include <mutex>

namespace {

std::mutex TableLock;
ClientSlot Table[ClientTableSize];
int Count = 0;

int FindClient(int32_t clientId)
{
    for (int i = 0; i < ClientTableSize; ++i) {
        if (Table[i].inUse && Table[i].clientId == clientId)
            return i;
    }
    return -1;
}

int TakeFreeSlot(int32_t clientId)
{
    if (Count >= ClientTableSize)
        return -1;
    for (int i = 0; i < ClientTableSize; ++i) {
        if (!Table[i].inUse) {
            Table[i].inUse = true;
            Table[i].index = static_cast<uint32_t>(i);
            Table[i].clientId = clientId;
            ++Count;
            return i;
        }
    }
    // Count is the number of slots in use: below the size one is free.
    TVL_ASSERT(false && "client count below the table size but no free slot");
    return -1;
}

}  // namespace

int RegisterClient(int32_t clientId, const sockaddr_in& from)
{
    std::lock_guard<std::mutex> lock(TableLock);
    int slot = FindClient(clientId);
    if (slot < 0)
        slot = TakeFreeSlot(clientId);
    if (slot < 0)
        return -1;
    Table[slot].planSent = false;
    Table[slot].trafficWanted = false;
    Table[slot].address = from;
    ++Table[slot].generation;
    return slot;
}

bool UnregisterClient(int32_t clientId)
{
    std::lock_guard<std::mutex> lock(TableLock);
    int slot = FindClient(clientId);
    if (slot < 0)
        return false;
    --Count;
    Table[slot].inUse = false;
    Table[slot].planSent = false;
    Table[slot].trafficWanted = false;
    std::memset(&Table[slot].address, 0, sizeof(Table[slot].address));
    Table[slot].address.sin_family = AF_INET;
    return true;
}

bool IsRegisteredClient(int32_t clientId, const sockaddr_in& from)
{
    std::lock_guard<std::mutex> lock(TableLock);
    int slot = FindClient(clientId);
    return slot >= 0 && Table[slot].address.sin_port == from.sin_port &&
           Table[slot].address.sin_addr.s_addr == from.sin_addr.s_addr;
}

int ClientCount()
{
    std::lock_guard<std::mutex> lock(TableLock);
    return Count;
}

void CopyClientTable(ClientSlot out[ClientTableSize])
{
    std::lock_guard<std::mutex> lock(TableLock);
    std::memcpy(out, Table, sizeof(Table));
}

void MarkPlanSent(const ClientSlot& copied)
{
    std::lock_guard<std::mutex> lock(TableLock);
    // A copied slot carries the index the table gave it.
    TVL_ASSERT(copied.index < ClientTableSize);
    ClientSlot& slot = Table[copied.index % ClientTableSize];
    if (slot.inUse && slot.generation == copied.generation)
        slot.planSent = true;
}

bool SetTrafficWanted(int slot, bool wanted)
{
    if (slot < 0 || slot >= ClientTableSize)
        return false;
    std::lock_guard<std::mutex> lock(TableLock);
    Table[slot].trafficWanted = wanted;
    return true;
}

bool AnyTrafficWanted()
{
    std::lock_guard<std::mutex> lock(TableLock);
    for (const ClientSlot& slot : Table) {
        if (slot.trafficWanted)
            return true;
    }
    return false;
}

void ResetClientTable()
{
    std::lock_guard<std::mutex> lock(TableLock);
    std::memset(Table, 0, sizeof(Table));
    Count = 0;
}
