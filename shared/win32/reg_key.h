// Owner of an open registry key: the key is closed on every path.
#pragma once

#include <windows.h>

class RegKey {
  public:
    RegKey() = default;
    ~RegKey() { Close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // Both open with KEY_ALL_ACCESS, as every key of the store is opened.
    // On failure the object holds no key and the registry's error is returned.
    LONG Open(HKEY parent, const wchar_t* path) {
        Close();
        LONG result = RegOpenKeyExW(parent, path, 0, KEY_ALL_ACCESS, &key_);
        if (result != ERROR_SUCCESS)
            key_ = nullptr;
        return result;
    }
    // Creates a non-volatile key with no class and default security, or opens it.
    LONG Create(HKEY parent, const wchar_t* path) {
        Close();
        LONG result = RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        if (result != ERROR_SUCCESS)
            key_ = nullptr;
        return result;
    }
    void Close() {
        if (key_)
            RegCloseKey(key_);
        key_ = nullptr;
    }

    HKEY Get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }

  private:
    HKEY key_ = nullptr;
};
