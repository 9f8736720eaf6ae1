// The pool of texel buffers (see texel_store.h).
#include "platform/gpu/texel_store.h"

#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace {

// Buffers smaller than this come from the heap directly: its own free
// lists serve them well.
constexpr size_t kPooledMinWords = 4096;
// What the pool keeps at most: a screenful of tiles going out of view.
constexpr size_t kPoolBytes = size_t{48} << 20;

struct FreeBuffer {
    size_t words;
    uint32_t* texels;
};

// threads: tile workers allocate, the GUI thread releases; all under lock.
// Never destroyed: buffers held at exit stay reachable, not leaked.
struct Pool {
    std::mutex lock;
    std::vector<FreeBuffer> buffers;
    size_t bytes = 0;
};
Pool& ThePool = *new Pool;

uint32_t* TakePooled(size_t words)
{
    std::lock_guard<std::mutex> hold(ThePool.lock);
    for (size_t i = ThePool.buffers.size(); i-- > 0;) {
        if (ThePool.buffers[i].words != words)
            continue;
        uint32_t* texels = ThePool.buffers[i].texels;
        ThePool.buffers[i] = ThePool.buffers.back();
        ThePool.buffers.pop_back();
        ThePool.bytes -= words * 4;
        return texels;
    }
    return nullptr;
}

} // namespace

void TexelRecycler::operator()(uint32_t* texels) const
{
    if (!texels)
        return;
    if (words >= kPooledMinWords) {
        std::lock_guard<std::mutex> hold(ThePool.lock);
        if (ThePool.bytes + words * 4 <= kPoolBytes) {
            ThePool.buffers.push_back({words, texels});
            ThePool.bytes += words * 4;
            return;
        }
    }
    delete[] texels;
}

TexelStore AllocateTexels(size_t words)
{
    uint32_t* texels = words >= kPooledMinWords ? TakePooled(words) : nullptr;
    if (!texels)
        texels = new (std::nothrow) uint32_t[words == 0 ? 1 : words];
    return TexelStore(texels, TexelRecycler{texels ? words : 0});
}

TexelStore AllocateZeroedTexels(size_t words)
{
    TexelStore store = AllocateTexels(words);
    if (store)
        std::memset(store.get(), 0, words * 4);
    return store;
}

size_t PooledTexelBytes()
{
    std::lock_guard<std::mutex> hold(ThePool.lock);
    return ThePool.bytes;
}
