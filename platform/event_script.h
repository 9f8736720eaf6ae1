// A test hook: TVL_EVENT_SCRIPT names a text file of user actions (keys,
// clicks, wheel, resize, close ...) that the message pump feeds into SDL's
// event queue, one action per idle pass, as if a user did them.
#pragma once

// Runs the next step of the script when one is due; true when it queued
// events. Called by PeekMessageA when no message waits.
bool StepEventScript();
// Replaces the script (tests); text is the file's content, null ends it.
void SetEventScript(const char* text);
// True while the script has steps left.
bool EventScriptRunning();
// The line "shot PATH" asks for a PNG of the next presented frame; the script
// goes on once the swap chain has written it. The path asked for, or null.
const char* PendingFrameShot();
void FrameShotTaken();
