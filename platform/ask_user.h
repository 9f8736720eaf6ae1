// Asking the user one question outside the map window (the dialogs of the
// home platform and the helper programs): through zenity when there is a
// display; headless, or when zenity cannot run, the answer comes from
// TVL_DIALOG_ANSWER (unset or empty: the user cancels), so no test waits.
#pragma once

#include <string>
#include <vector>

// A display zenity can use: DISPLAY or WAYLAND_DISPLAY set, and SDL not told
// to run with its dummy or offscreen driver.
bool CanAskUser();
// zenity with args and its first output line when the user answered OK; else
// the scripted answer as above. False means cancelled.
bool AskUser(const std::vector<std::string>& args, std::string* answer);
