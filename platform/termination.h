// Termination signals (SIGTERM, SIGINT) as the platform layer sees them: the
// video layer turns them into its quit event, which ends the message loop,
// but code that holds the GUI thread (a message box, the wait for a helper
// program) has to notice them itself and give the thread back.
#pragma once

// Puts in the handler, once. It chains to the handler it replaces (the video
// layer's, which queues the quit event), so it goes in after the video layer
// started; a signal the process was started to ignore stays ignored.
void WatchTerminationSignals();
// Whether a termination signal came since the handler went in.
bool IsTerminationRequested();
// A descriptor to poll that is readable from the signal on, for good (nobody
// drains it); -1 before the handler is in.
int TerminationEventFd();
