#pragma once
// Program start-up: options, the settings file in use, the windows in their fixed order, and
// the message loop.

#include <string>

// The settings file the program uses (set at start-up from --settings or the default path).
const std::string& SettingsFileName();
void SetSettingsFileName(std::string FileName);

// Runs the program; returns its exit code.
int RunProgram(int argc, char** argv);
