#include "test_registry.h"

#include <shlwapi.h>

#include <cstring>

#include "store.h"

std::wstring StorePath(const std::wstring& below) {
    std::wstring path = STORE_ROOT_PATH;
    if (!below.empty())
        path += L"\\" + below;
    return path;
}

void ClearStoreAndAutostart() {
    SHDeleteKeyW(HKEY_CURRENT_USER, STORE_ROOT_PATH);
    HKEY run;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, AUTOSTART_KEY_PATH, 0, KEY_ALL_ACCESS, &run) ==
        ERROR_SUCCESS) {
        RegDeleteValueW(run, AUTOSTART_VALUE_NAME);
        RegCloseKey(run);
    }
}

bool KeyExists(const std::wstring& path) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool ValueExists(const std::wstring& path, const wchar_t* name) {
    return RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
}

void CreateKeyOrFail(const std::wstring& path) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
}

void WriteValue(const std::wstring& path, const wchar_t* name, DWORD type, const void* data,
                DWORD size) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size));
    RegCloseKey(key);
}

void WriteDword(const std::wstring& path, const wchar_t* name, DWORD value) {
    WriteValue(path, name, REG_DWORD, &value, sizeof value);
}

std::vector<BYTE> ReadValue(const std::wstring& path, const wchar_t* name, DWORD* type) {
    DWORD size = 0;
    DWORD valueType = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &valueType,
                     nullptr, &size) != ERROR_SUCCESS)
        return {};
    std::vector<BYTE> data(size);
    if (size && RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND,
                             &valueType, data.data(), &size) != ERROR_SUCCESS)
        return {};
    data.resize(size);
    if (type)
        *type = valueType;
    return data;
}

std::wstring ReadStringValue(const std::wstring& path, const wchar_t* name) {
    std::vector<BYTE> data = ReadValue(path, name);
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return text;
}

std::vector<std::wstring> SubkeyNames(const std::wstring& path) {
    std::vector<std::wstring> names;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

std::wstring ReadAutostartValue() {
    return ReadStringValue(AUTOSTART_KEY_PATH, AUTOSTART_VALUE_NAME);
}

HWND CreateHiddenTestWindow() {
    static ATOM atom = 0;
    if (!atom) {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PendrixTestWindow";
        atom = RegisterClassExW(&wc);
    }
    return CreateWindowExW(0, L"PendrixTestWindow", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

void StoreTest::SetUp() {
    ClearStoreAndAutostart();
    window_ = CreateHiddenTestWindow();
    ASSERT_NE(nullptr, window_);
}

void StoreTest::TearDown() {
    if (window_)
        DestroyWindow(window_);
    ClearStoreAndAutostart();
}

bool SameRecords(const RecordArray<HotkeyRecord>& h1, const RecordArray<ActionRecord>& a1,
                 const RecordArray<HotkeyRecord>& h2, const RecordArray<ActionRecord>& a2) {
    if (h1.Count() != h2.Count() || a1.Count() != a2.Count())
        return false;
    for (UINT i = 0; i < h1.Count(); ++i) {
        if (memcmp(&h1.At(i), &h2.At(i), sizeof(HotkeyRecord)) != 0)
            return false;
    }
    for (UINT a = 0; a < a1.Count(); ++a) {
        if (memcmp(&a1.At(a), &a2.At(a), sizeof(ActionRecord)) != 0)
            return false;
    }
    return true;
}

ReadOnlyKey::ReadOnlyKey(const std::wstring& path) : path_(path) {
    RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, READ_CONTROL | WRITE_DAC,
                    nullptr, &key_, nullptr);
    DWORD size = 0;
    RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
    saved_.resize(size);
    if (RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data(), &size) != ERROR_SUCCESS)
        saved_.clear();
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    BYTE aclBuffer[256];
    ACL* acl = reinterpret_cast<ACL*>(aclBuffer);
    InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION);
    AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ | WRITE_DAC, everyone);
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    locked_ = RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
    FreeSid(everyone);
}

ReadOnlyKey::~ReadOnlyKey() {
    if (!saved_.empty())
        RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data());
    RegCloseKey(key_);
}

bool ReadOnlyKey::Denies() const {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return true;
    RegCloseKey(key);
    return false;
}

int ProbeRounds(int usual, int longRun) {
    wchar_t value[8] = {};
    return GetEnvironmentVariableW(L"PENDRIX_LONG_TESTS", value, ARRAYSIZE(value)) && value[0] &&
                   value[0] != L'0'
               ? longRun
               : usual;
}
