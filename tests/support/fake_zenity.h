// Test helper: a display as the dialogs see it (DISPLAY set, no dummy video
// driver) with a stand-in zenity first on the PATH that records its
// arguments and gives a scripted answer and exit status.
#pragma once

#include "tests/support/temp_folder.h"

#include <string>

class FakeZenity {
public:
    FakeZenity();
    ~FakeZenity();
    FakeZenity(const FakeZenity&) = delete;
    FakeZenity& operator=(const FakeZenity&) = delete;

    // The next call prints text (one line) and exits with status.
    void Answer(const std::string& text, int status);
    // The arguments of the last call, one a line.
    std::string Arguments() const;

private:
    TempFolder folder_;
    std::string path_;
};
