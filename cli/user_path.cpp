#include "user_path.h"

#include <vector>

#include "win32/reg_key.h"

namespace {

const wchar_t ENVIRONMENT_KEY[] = L"Environment";
const wchar_t PATH_VALUE[] = L"Path";
// The system's bound on an environment variable, its NUL included.
const size_t MAX_PATH_VALUE_CHARS = 32767;

struct UserPath {
    bool exists = false;
    DWORD type = REG_EXPAND_SZ; // what a new value is written as
    std::wstring text;
};

std::wstring ErrorText(LONG error) {
    return L"error " + std::to_wstring(error);
}

// The whole value, or false: a value that changes size between two reads is
// read again, and one with a NUL inside it or of a type other than text is
// not the user's Path as this tool could write it back.
bool ReadUserPath(HKEY environment, UserPath* path, std::wstring* problem) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD type = 0, bytes = 0;
        LONG result = RegQueryValueExW(environment, PATH_VALUE, nullptr, &type, nullptr, &bytes);
        if (result == ERROR_FILE_NOT_FOUND)
            return true;
        if (result != ERROR_SUCCESS) {
            *problem = L"cannot read the Path (" + ErrorText(result) + L")";
            return false;
        }
        if (type != REG_SZ && type != REG_EXPAND_SZ) {
            *problem = L"the Path is not text (registry type " + std::to_wstring(type) + L")";
            return false;
        }
        std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD read = bytes;
        result = RegQueryValueExW(environment, PATH_VALUE, nullptr, &type,
                                  reinterpret_cast<BYTE*>(data.data()), &read);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS) {
            *problem = L"cannot read the Path (" + ErrorText(result) + L")";
            return false;
        }
        size_t length = read / sizeof(wchar_t);
        while (length > 0 && data[length - 1] == L'\0')
            --length;
        for (size_t i = 0; i < length; ++i) {
            if (data[i] == L'\0') {
                *problem = L"the Path holds a NUL character: it is left as it is";
                return false;
            }
        }
        path->exists = true;
        path->type = type;
        path->text.assign(data.data(), length);
        return true;
    }
    *problem = L"the Path kept changing while it was read";
    return false;
}

std::vector<std::wstring> Entries(const std::wstring& text) {
    std::vector<std::wstring> entries;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(L';', start);
        entries.push_back(text.substr(start, end == std::wstring::npos ? end : end - start));
        if (end == std::wstring::npos)
            return entries;
        start = end + 1;
    }
}

std::wstring Joined(const std::vector<std::wstring>& entries) {
    std::wstring text;
    for (size_t i = 0; i < entries.size(); ++i)
        text += (i ? L";" : L"") + entries[i];
    return text;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// An entry as the system reads it: without blanks or quotes around it, and
// without a last backslash.
std::wstring Plain(std::wstring entry) {
    const size_t first = entry.find_first_not_of(L" \t\"");
    const size_t last = entry.find_last_not_of(L" \t\"");
    entry = first == std::wstring::npos ? std::wstring() : entry.substr(first, last - first + 1);
    if (entry.size() > 1 && entry.back() == L'\\')
        entry.pop_back();
    return entry;
}

PathChange WritePath(HKEY environment, const UserPath& path, const std::wstring& text,
                     std::wstring* problem) {
    LONG result;
    if (text.empty()) {
        result = RegDeleteValueW(environment, PATH_VALUE);
    } else {
        if (text.size() + 1 > MAX_PATH_VALUE_CHARS) {
            *problem = L"the Path would be longer than the system allows (" +
                       std::to_wstring(MAX_PATH_VALUE_CHARS - 1) + L" characters)";
            return PathChange::Failed;
        }
        result = RegSetValueExW(environment, PATH_VALUE, 0, path.type,
                                reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    if (result != ERROR_SUCCESS) {
        *problem = L"cannot write the Path (" + ErrorText(result) + L")";
        return PathChange::Failed;
    }
    return PathChange::Changed;
}

bool OpenEnvironment(RegKey* key, std::wstring* problem) {
    const LONG result = key->Create(HKEY_CURRENT_USER, ENVIRONMENT_KEY);
    if (result != ERROR_SUCCESS)
        *problem = L"cannot open the user's environment (" + ErrorText(result) + L")";
    return result == ERROR_SUCCESS;
}

} // namespace

PathChange AddFolderToUserPath(const std::wstring& folder, std::wstring* problem) {
    RegKey environment;
    UserPath path;
    if (Plain(folder).empty()) {
        *problem = L"no folder given";
        return PathChange::Failed;
    }
    if (!OpenEnvironment(&environment, problem) || !ReadUserPath(environment.Get(), &path, problem))
        return PathChange::Failed;
    std::vector<std::wstring> entries = Entries(path.text);
    for (const std::wstring& entry : entries) {
        if (SameText(Plain(entry), Plain(folder)))
            return PathChange::Unchanged;
    }
    if (path.text.empty())
        entries.assign(1, folder);
    else if (entries.back().empty())
        entries.insert(entries.end() - 1, folder); // "a;b;" becomes "a;b;folder;"
    else
        entries.push_back(folder);
    return WritePath(environment.Get(), path, Joined(entries), problem);
}

PathChange RemoveFolderFromUserPath(const std::wstring& folder, std::wstring* problem) {
    RegKey environment;
    UserPath path;
    if (!OpenEnvironment(&environment, problem) || !ReadUserPath(environment.Get(), &path, problem))
        return PathChange::Failed;
    // Joining what is left drops the separator after an entry, or before the
    // last one: exactly what the add put there.
    std::vector<std::wstring> entries = Entries(path.text);
    std::vector<std::wstring> kept;
    for (const std::wstring& entry : entries) {
        if (!SameText(entry, folder))
            kept.push_back(entry);
    }
    if (kept.size() == entries.size())
        return PathChange::Unchanged;
    return WritePath(environment.Get(), path, Joined(kept), problem);
}
