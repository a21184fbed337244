#pragma once
// Helpers of the bad-input tests: the demo and the capture tool run against a data folder
// with one thing wrong, as a user would meet it.
#include "tests/process.hpp"

#include <string>
#include <vector>

// A fresh folder holding copies of the shipped data files (meshes and module).
std::string copy_of_data_folder();

// The demo started in folder dir, ended by SIGTERM after term_after_ms (unless negative) when
// it is still running then. A wrapper is a command put in front of the program, for example
// {"/usr/bin/env", "-u", "DISPLAY"}.
ProcessResult run_demo(const std::string& dir, int term_after_ms,
                       const std::vector<std::string>& wrapper = {});

// The capture tool with --data dir and the arguments, run in folder dir.
ProcessResult run_capture(const std::string& dir, const std::vector<std::string>& args,
                          const std::vector<std::string>& wrapper = {});

// Whether path names anything (a file, a folder, a dangling link).
bool exists(const std::string& path);
