// The traffic advisory: the drawn traffic targets and the simulator's pause
// state it follows.
#pragma once

#include <atomic>
#include <cstdint>

// The simulator reports pause (written by the link threads, read on the GUI
// thread by the advisory and the sound).
extern std::atomic<uint8_t> SimPaused;

// Empties the drawn target list (called by the link threads too).
void ClearTrafficTargets();
