// Game controllers of the proxy, least form: enumeration finds none; a test
// source can stand in for a device.
#include "proxy/game_controllers.h"


namespace {

// Main thread only, like the controllers themselves.
bool Enumerated = false;
int (*TestSource)() = nullptr;

}  // namespace

bool EnumerateControllers()
{
    Enumerated = true;
    return TestSource != nullptr;
}

int PollControllers()
{
    return TestSource != nullptr ? TestSource() : -1;
}

void ReleaseControllers()
{
    TestSource = nullptr;
    Enumerated = false;
}

bool ControllersEnumerated()
{
    return Enumerated;
}

void SetControllerSourceForTest(int (*source)())
{
    TestSource = source;
}
