// Stand-in for a shared accessor of the menu that the simulator links call,
// until its module lands.
#include <atomic>
#include <cstdint>

static std::atomic<uint8_t> SimStateFlag{1};
void SetSimStateFlag(uint8_t flag) { SimStateFlag = flag; }  // until the real one lands
