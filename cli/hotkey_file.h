// The hotkey file: the whole list as JSON, in list order, the same bytes for
// the same store. Values the dialogs never make (an enabled byte of 2, an
// unknown action kind, reserved bytes) travel in extra members, written only
// where they occur, so that a file read back gives the store byte for byte.
#pragma once

#include <stdexcept>
#include <string>

#include "record_array.h"
#include "records.h"

using HotkeyArray = RecordArray<HotkeyRecord>;
using ActionArray = RecordArray<ActionRecord>;

const int HOTKEY_FILE_VERSION = 1;

// A file that cannot be read into records: the message names the place.
class HotkeyFileError : public std::runtime_error {
  public:
    explicit HotkeyFileError(const std::string& message) : std::runtime_error(message) {}
};

// UTF-8 JSON, two-space indented, ending in a newline.
std::string WriteHotkeyFile(const HotkeyArray& hotkeys, const ActionArray& actions);

// The file's text as UTF-8: UTF-8 with or without a byte-order mark, or
// UTF-16 with one (what Windows PowerShell 5.1 writes with ">"). Throws
// HotkeyFileError naming the place where the text is in neither.
std::string DecodeHotkeyFileText(const std::string& bytes);

// Checks the whole file and appends its records to the (empty) arrays;
// throws HotkeyFileError, and then the arrays may hold part of the file.
void ReadHotkeyFile(const std::string& text, HotkeyArray* hotkeys, ActionArray* actions);

// A record's text field up to its NUL, never past its width.
std::wstring FieldText(const wchar_t* field, UINT width);

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);        // throws HotkeyFileError on invalid UTF-8
std::wstring LenientWide(const std::string& utf8); // never throws: bad bytes become U+FFFD
