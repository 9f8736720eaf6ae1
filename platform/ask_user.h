// Asking the user one question outside the map window (the dialogs of the
// home platform and the helper programs): through zenity (or yad, whose
// forms can show the current values) when there is a display; headless, or
// when the tool cannot run, the answer comes from TVL_DIALOG_ANSWER (unset
// or empty: the user cancels), so no test waits.
#pragma once

#include <string>
#include <vector>

enum class DialogTool { Zenity, Yad };

enum class AskResult { Answered, Cancelled, NotRun };

// A display zenity can use: DISPLAY or WAYLAND_DISPLAY set, and SDL not told
// to run with its dummy or offscreen driver.
bool CanAskUser();
// Runs the tool with args; rows (a list's cells, one a line) go to its
// standard input, never onto its command line, so that no text from a file
// or the network is ever read as an option. Answered puts the first output
// line in *answer; NotRun when there is no display or the tool is missing.
AskResult RunDialogTool(DialogTool tool, const std::vector<std::string>& args, std::string* answer,
                        const std::vector<std::string>& rows = {});
// zenity with args (and rows on its input) and its first output line when
// the user answered OK; else the scripted answer as above. False means
// cancelled.
bool AskUser(const std::vector<std::string>& args, std::string* answer, const std::vector<std::string>& rows = {});
