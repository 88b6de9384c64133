// Registry helpers for tests: a known, empty store before each test and
// nothing left behind after it, plus raw access to the stored bytes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "record_array.h"
#include "records.h"

std::wstring StorePath(const std::wstring& below = L"");

// How many rounds a long probe runs: `usual` in a plain run, `longRun` under
// "scripts/test --long" (which sets PENDRIX_LONG_TESTS).
int ProbeRounds(int usual, int longRun);

// Removes the whole store tree and the autostart value.
void ClearStoreAndAutostart();

bool KeyExists(const std::wstring& path);
bool ValueExists(const std::wstring& path, const wchar_t* name);
void CreateKeyOrFail(const std::wstring& path);
void WriteValue(const std::wstring& path, const wchar_t* name, DWORD type, const void* data,
                DWORD size);
void WriteDword(const std::wstring& path, const wchar_t* name, DWORD value);
std::vector<BYTE> ReadValue(const std::wstring& path, const wchar_t* name, DWORD* type = nullptr);
std::wstring ReadStringValue(const std::wstring& path, const wchar_t* name);
// Subkey names in the registry's enumeration order.
std::vector<std::wstring> SubkeyNames(const std::wstring& path);

// True when both pairs of lists hold the same records, byte for byte.
bool SameRecords(const RecordArray<HotkeyRecord>& h1, const RecordArray<ActionRecord>& a1,
                 const RecordArray<HotkeyRecord>& h2, const RecordArray<ActionRecord>& a2);

// A key under HKEY_CURRENT_USER (created if need be) that everyone may only
// read and give another access list, until the object is destroyed: opening
// or creating it for all access fails, and so does renaming it.
class ReadOnlyKey {
  public:
    explicit ReadOnlyKey(const std::wstring& path);
    ~ReadOnlyKey();
    ReadOnlyKey(const ReadOnlyKey&) = delete;
    ReadOnlyKey& operator=(const ReadOnlyKey&) = delete;
    bool Denies() const; // the registry here enforces it
    bool locked() const { return locked_; }

  private:
    std::wstring path_;
    HKEY key_ = nullptr;
    std::vector<BYTE> saved_;
    bool locked_ = false;
};

// The autostart value the tests read back.
std::wstring ReadAutostartValue();

// Each test starts from an empty store and leaves none behind.
class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    HWND window() const { return window_; }

  private:
    HWND window_ = nullptr;
};

// A plain hidden top-level window of this program.
HWND CreateHiddenTestWindow();
