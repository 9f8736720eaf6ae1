// The simulator key events of the G500 keyboard mapping: 31 names with their
// default event numbers and the numbers the settings file assigns.
#pragma once

constexpr int SimKeyEventCount = 31;

struct SimKeyEvent {
    char name[30];
    int defaultNumber;
    int currentNumber;
};

extern SimKeyEvent SimKeyEventMap[SimKeyEventCount];

// Reads section "Plovik G500 Keyboard Mapping" of the INI file once: a key
// missing ("None") is written back with its own name; a value naming an event
// takes that event's default number, any other value its integer.
void ReadSimKeyEvents(const char* iniPath);
// The next read reads the section again, as at the start (tests).
void ResetSimKeyEvents();
