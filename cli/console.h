// What the tool says: to a console as UTF-16 through WriteConsoleW, to a
// pipe or a file as UTF-8, so that both show every character.
#pragma once

#include <windows.h>

#include <string>

// While one lives, what the tool says is kept and written when the last one
// goes: a console paused by "| more" or a selection blocks a write, and
// nothing may block while the store is held.
class HeldOutput {
  public:
    HeldOutput();
    ~HeldOutput();
    HeldOutput(const HeldOutput&) = delete;
    HeldOutput& operator=(const HeldOutput&) = delete;
};

void PrintOut(const std::wstring& text);   // standard output
void PrintError(const std::wstring& text); // standard error, "pendrix: " in front
// Bytes as they are, for a file written to standard output.
bool WriteOutBytes(const std::string& bytes);
