// Neighbours that the start-up, the window and the frame driver call,
// declared here until their own modules land (each owner then declares them
// in its header, and this block shrinks).
#pragma once

#include "app/program_root.h"
#include "platform/messagebox.h"
#include "platform/win32.h"

#include <cstdint>

