// The in-process test back-end of the SimConnect stand-in: a recorded call
// list and a queue of injected messages, both under one mutex so a test may
// inject from another thread than the one that dispatches.
#include "platform/simconnect/simconnect_queue.h"

#include <deque>
#include <mutex>

namespace {

std::mutex QueueLock;
bool QueueEnabled = false;
bool QueueAvailable = false;
bool QueueGone = false;
std::deque<std::vector<BYTE>> Injected;
std::vector<SimWireRequest> Calls;

void Push(const BYTE* message, size_t length)
{
    if (length == 0)
        return;
    std::lock_guard<std::mutex> lock(QueueLock);
    Injected.emplace_back(message, message + length);
}

}  // namespace

void SimConnectQueueEnable(bool on)
{
    std::lock_guard<std::mutex> lock(QueueLock);
    QueueEnabled = on;
}

void SimConnectQueueReset()
{
    std::lock_guard<std::mutex> lock(QueueLock);
    QueueAvailable = false;
    QueueGone = false;
    Injected.clear();
    Calls.clear();
}

void SimConnectQueueSetAvailable(bool available)
{
    std::lock_guard<std::mutex> lock(QueueLock);
    QueueAvailable = available;
}

void SimConnectQueueDisconnect()
{
    std::lock_guard<std::mutex> lock(QueueLock);
    QueueGone = true;
    QueueAvailable = false;
}

void SimConnectQueueInject(const void* message, size_t length)
{
    Push(static_cast<const BYTE*>(message), length);
}

void SimConnectQueueInjectQuit()
{
    BYTE m[64];
    Push(m, SimWireBuildQuit(m, sizeof(m)));
}

void SimConnectQueueInjectException(DWORD exception, DWORD sendId, DWORD index)
{
    BYTE m[64];
    Push(m, SimWireBuildException(m, sizeof(m), exception, sendId, index));
}

void SimConnectQueueInjectEvent(DWORD eventId, DWORD data)
{
    BYTE m[64];
    Push(m, SimWireBuildEvent(m, sizeof(m), eventId, data));
}

void SimConnectQueueInjectObjectAddRemove(DWORD eventId, DWORD objectId)
{
    BYTE m[64];
    Push(m, SimWireBuildObjectAddRemove(m, sizeof(m), eventId, objectId, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT));
}

void SimConnectQueueInjectData(DWORD requestId, DWORD objectId, DWORD defineId, const void* block, size_t size)
{
    std::vector<BYTE> m(SIMCONNECT_SIMOBJECT_DATA_HEADER_SIZE + size);
    Push(m.data(), SimWireBuildData(m.data(), m.size(), SIMCONNECT_RECV_ID_SIMOBJECT_DATA, requestId, objectId,
                                    defineId, 0, 0, 1, block, size));
}

void SimConnectQueueInjectDataByType(DWORD requestId, DWORD objectId, DWORD defineId, DWORD entryNumber,
                                     DWORD outOf, const void* block, size_t size)
{
    std::vector<BYTE> m(SIMCONNECT_SIMOBJECT_DATA_HEADER_SIZE + size);
    Push(m.data(), SimWireBuildData(m.data(), m.size(), SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE, requestId,
                                    objectId, defineId, entryNumber, outOf, 1, block, size));
}

void SimConnectQueueInjectSystemState(DWORD requestId, const char* text)
{
    BYTE m[sizeof(SIMCONNECT_RECV_SYSTEM_STATE)];
    Push(m, SimWireBuildSystemState(m, sizeof(m), requestId, 0, 0.0f, text));
}

size_t SimConnectQueuePending()
{
    std::lock_guard<std::mutex> lock(QueueLock);
    return Injected.size();
}

std::vector<SimWireRequest> SimConnectQueueCalls()
{
    std::lock_guard<std::mutex> lock(QueueLock);
    return Calls;
}

void SimConnectQueueClearCalls()
{
    std::lock_guard<std::mutex> lock(QueueLock);
    Calls.clear();
}

size_t SimConnectQueueCount(DWORD kind, DWORD id)
{
    std::lock_guard<std::mutex> lock(QueueLock);
    size_t n = 0;
    for (const SimWireRequest& call : Calls) {
        if (call.kind != kind)
            continue;
        bool byEvent = call.kind == SimWireSubscribeSystemEvent || call.kind == SimWireSetSystemEventState ||
                       call.kind == SimWireUnsubscribeSystemEvent;
        DWORD callId = byEvent ? call.eventId
                           : call.kind == SimWireAddToDataDefinition ? call.defineId : call.requestId;
        if (id == SIMCONNECT_UNUSED || callId == id)
            ++n;
    }
    return n;
}

bool SimConnectQueueIsEnabled()
{
    std::lock_guard<std::mutex> lock(QueueLock);
    return QueueEnabled;
}

bool SimConnectQueueOpen()
{
    std::lock_guard<std::mutex> lock(QueueLock);
    if (!QueueAvailable)
        return false;
    QueueGone = false;
    return true;
}

bool SimConnectQueueSend(const BYTE* message, size_t length)
{
    SimWireRequest call;
    if (!SimWireDecode(message, length, &call))
        return false;
    std::lock_guard<std::mutex> lock(QueueLock);
    if (QueueGone)
        return false;
    Calls.push_back(call);
    return true;
}

bool SimConnectQueueReceive(std::vector<BYTE>* out, bool* gone)
{
    std::lock_guard<std::mutex> lock(QueueLock);
    *gone = false;
    if (Injected.empty()) {
        *gone = QueueGone;
        return false;
    }
    *out = std::move(Injected.front());
    Injected.pop_front();
    return true;
}
