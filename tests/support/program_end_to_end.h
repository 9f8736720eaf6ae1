// The end-to-end fixture: the built map program run headless on a copy of
// the shipped root in a temporary folder, its settings file to write keys
// into, peers and tools as child processes, and the image library ready to
// read its screenshots.
#pragma once

#include "platform/ini_sections.h"
#include "tests/support/child_process.h"
#include "tests/support/program_root_copy.h"
#include "tests/support/screenshot.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class ProgramEndToEnd : public ::testing::Test {
protected:
    TempFolder root;
    std::string system = CopyProgramRoot(root.Path());
    std::string ini = system + "/Plovik.ini";
    Child program;

    // The headless environment with the runtime folder in the root, none of
    // the run switches a test before set, and the image library started.
    void SetUp() override;
    void TearDown() override;

    // A key of the main section, or of another one.
    void Set(const char* key, const std::string& value) { SetIn(MainSection, key, value); }
    void SetIn(const char* section, const char* key, const std::string& value);
    std::string Get(const char* key) { return GetIn(MainSection, key); }
    std::string GetIn(const char* section, const char* key);
    // The program's log.
    std::string Log() { return ReadFileText(system + "/Tervalingo.log"); }
    // Copies a folder of the shipped root (Navdata, DemoMap ...) beside System.
    void CopyShippedFolder(const char* name);

    // Starts the program in System with args (the simulator's number ...),
    // output to root/program.out, and an event script when one is given.
    bool StartProgram(const std::vector<std::string>& args = {}, const std::string& script = "");
    // Starts the program and waits for its end; the exit code.
    int RunProgram(const std::vector<std::string>& args = {}, const std::string& script = "");
    // A tool of the build (tvl-mkterrain ...) started in the root with its
    // output to the file output; the port it announced, "" when none.
    std::string StartTool(Child* tool, const char* name, const std::vector<std::string>& args,
                          const std::string& output);
    // A tool of the build run to its end; true when it ended with 0.
    bool RunBuiltTool(const char* name, const std::vector<std::string>& args);
    // tvl-proxypeer with args, its output to the file output, and the
    // program's MSFS link pointed at the port it announced.
    void StartProxyPeer(Child* peer, const std::vector<std::string>& args, const std::string& output);
    // The run of the program that ends 10 frames after frame `frames`, of
    // which it takes root/<name>.png; the event script, if given, is
    // root/<name>.txt. The picture, empty when none was written.
    Picture RunForShot(const char* name, int frames, const std::string& script = "");
    // The picture root/<name>.png against the reference tests/e2e/<name>.png.
    void ExpectShotMatchesReference(const char* name);
};
