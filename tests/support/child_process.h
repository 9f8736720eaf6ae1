// A program started by a test, its output in a file; killed if it outlives
// the test.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Starts args[0] with stdin from /dev/null and stdout to output; stderr is
// discarded or left to the test's own, and no other descriptor of the test
// goes with it. The process id, or -1.
pid_t SpawnProgram(const std::vector<std::string>& args, const std::string& output, bool discardErrors);

// How long one end-to-end run of the map program may take: a few hundred
// frames with the sanitizers on a machine running every test at once.
constexpr int ProgramRunLimit = 300;

class Child {
public:
    Child() = default;
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Starts args[0] in folder with stdout to output and stderr discarded.
    bool Start(const std::vector<std::string>& args, const std::string& output, const std::string& folder);
    // The exit code (128 + signal when killed), or -1 when it did not end in
    // time: a safety net for a hanging program, not a measure.
    int Wait(int seconds);
    // The process id while it runs, -1 once it ended or never started.
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

// The port a test peer announced on the first line of its output ("... port
// N"), waited for a few seconds; empty when it never said.
std::string WaitForAnnouncedPort(const std::string& output);
