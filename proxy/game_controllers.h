// Game-controller buttons for the map programs. Until the controller reader
// is built, no controller is ever found; the calls stand where the proxy
// makes them so that the reader drops in.
#pragma once

// True when at least one controller is ready.
bool EnumerateControllers();
// The pressed button's index, -1 when none.
int PollControllers();
void ReleaseControllers();
bool ControllersEnumerated();

// Tests stand in for the devices: a source of button indices (-1 none),
// polled like a controller and forgotten when the controllers are released.
void SetControllerSourceForTest(int (*source)());
