// Test helper: a display as the dialogs see it (DISPLAY set, no dummy video
// driver) with a stand-in dialog tool (zenity, or yad) first on the PATH
// that records its arguments and its input and gives scripted answers.
#pragma once

#include "tests/support/temp_folder.h"

#include <string>
#include <utility>
#include <vector>

class FakeZenity {
public:
    explicit FakeZenity(const std::string& program = "zenity");
    ~FakeZenity();
    FakeZenity(const FakeZenity&) = delete;
    FakeZenity& operator=(const FakeZenity&) = delete;

    // Every call prints text (one line) and exits with status.
    void Answer(const std::string& text, int status);
    // The calls print these in turn (any bytes, NUL included); once they are
    // used up the user cancels.
    void AnswersInTurn(const std::vector<std::pair<std::string, int>>& answers);
    // The arguments of the last call, one a line.
    std::string Arguments() const;
    // What the last call read on its standard input.
    std::string Input() const;
    // How often the tool was run.
    int Calls() const;

private:
    TempFolder folder_;
    std::string program_;
    std::string path_;
    void WriteScript(const std::string& body);
};
