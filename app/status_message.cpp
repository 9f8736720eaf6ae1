// The timed status message.
#include "app/status_message.h"

#include "platform/threads.h"

#include <cstdio>

static char MessageText[StatusMessageSize] = "";
static double MessageTime = 0;

void ShowStatusMessage(const char* text)
{
    std::snprintf(MessageText, sizeof MessageText, "%s", text ? text : "");
    MessageTime = ProgramClockMs() / 1000.0;
}

const char* GetStatusMessage()
{
    return MessageText;
}

bool ExpireStatusMessage(double now)
{
    if (!MessageText[0])
        return false;
    // A clock that went backwards (a new display start) does not keep a
    // message for ever.
    if (now - MessageTime > StatusMessageLifetime || now < MessageTime) {
        MessageText[0] = '\0';
        return false;
    }
    return true;
}
