// The downloader's own window while it builds: what it does and how far it
// is, in a progress window when there is a display (zenity --progress),
// else as lines on its standard output.
#pragma once

#include <string>
#include <sys/types.h>

class BuildProgress {
  public:
    explicit BuildProgress(const std::string& title);
    ~BuildProgress();
    BuildProgress(const BuildProgress&) = delete;
    BuildProgress& operator=(const BuildProgress&) = delete;

    void Report(int percent, const std::string& stage);

  private:
    pid_t window_ = -1;
    int input_ = -1;
};

// The window's process, -1 when none is open; for the end on a signal.
pid_t ProgressWindowProcess();
