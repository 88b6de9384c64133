// Measures pendrixd.exe against reference_agent.exe under the same Wine:
// idle memory after start-up, the time from a key press to the launched
// program's start (median of 31 presses), and the agent's size.
// Run by `scripts/bench agent`; not a test. Uses the prefix's real store.
#include <windows.h>

#include <psapi.h>
#include <shlwapi.h>
#include <stdio.h>
#include <stdlib.h>

#include "record_array.h"
#include "store.h"

namespace {

const int PRESSES = 31;
wchar_t g_folder[MAX_PATH];
wchar_t g_log[MAX_PATH];

struct Process {
    PROCESS_INFORMATION info = {};
    bool Start(const wchar_t* program, const wchar_t* arguments) {
        wchar_t commandLine[2048];
        wsprintfW(commandLine, L"\"%s\" %s", program, arguments);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        if (!CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, g_folder,
                            &startup, &info))
            return false;
        for (int i = 0; i < 200 && WaitForInputIdle(info.hProcess, 100) != 0; ++i)
            Sleep(20);
        Sleep(500); // let start-up settle
        return true;
    }
    void Stop(const wchar_t* windowClass, UINT message, WPARAM wParam) {
        HWND window = FindWindowW(windowClass, nullptr);
        if (window)
            PostMessageW(window, message, wParam, 0);
        if (WaitForSingleObject(info.hProcess, 5000) != WAIT_OBJECT_0)
            TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
};

struct Memory {
    double workingSetKiB;
    double privateKiB;
};

Memory IdleMemory(HANDLE process) {
    // Give the pages back, as the agent does after each dialog.
    SetProcessWorkingSetSize(process, static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
    Sleep(200);
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(process, &counters, sizeof counters);
    return {counters.WorkingSetSize / 1024.0, counters.PagefileUsage / 1024.0};
}

int LogLines() {
    HANDLE file = CreateFileW(g_log, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    char buffer[65536];
    DWORD read = 0;
    int lines = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        for (DWORD i = 0; i < read; ++i)
            lines += buffer[i] == 'S' && (i == 0 || buffer[i - 1] == '\n');
    }
    CloseHandle(file);
    return lines;
}

LONGLONG LastStart() {
    HANDLE file = CreateFileW(g_log, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    static char text[1 << 20];
    DWORD read = 0;
    ReadFile(file, text, sizeof text - 1, &read, nullptr);
    CloseHandle(file);
    text[read] = 0;
    LONGLONG last = 0;
    for (char* line = text; line && *line;) {
        if (line[0] == 'S' && line[1] == '|') {
            char* ticks = strchr(line + 2, '|');
            if (ticks)
                last = _atoi64(ticks + 1);
        }
        line = strchr(line, '\n');
        if (line)
            ++line;
    }
    return last;
}

void Press() {
    INPUT inputs[6] = {};
    const WORD keys[3] = {VK_CONTROL, VK_MENU, VK_F9};
    for (int i = 0; i < 3; ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = keys[i];
        inputs[5 - i].type = INPUT_KEYBOARD;
        inputs[5 - i].ki.wVk = keys[i];
        inputs[5 - i].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    SendInput(6, inputs, sizeof(INPUT));
}

int CompareDoubles(const void* a, const void* b) {
    double x = *static_cast<const double*>(a), y = *static_cast<const double*>(b);
    return x < y ? -1 : x > y;
}

// Median milliseconds from SendInput to the launched program's first line.
double MedianLatency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double samples[PRESSES];
    int taken = 0;
    for (int i = 0; i < PRESSES; ++i) {
        int before = LogLines();
        LARGE_INTEGER pressed;
        QueryPerformanceCounter(&pressed);
        Press();
        DWORD start = GetTickCount();
        while (LogLines() == before && GetTickCount() - start < 5000)
            Sleep(2);
        if (LogLines() == before)
            continue;
        samples[taken++] =
            (LastStart() - pressed.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
        Sleep(100);
    }
    if (taken == 0)
        return -1;
    qsort(samples, taken, sizeof(double), CompareDoubles);
    return samples[taken / 2];
}

} // namespace

int wmain() {
    wchar_t bin[MAX_PATH];
    GetModuleFileNameW(nullptr, bin, MAX_PATH);
    PathRemoveFileSpecW(bin);
    GetTempPathW(MAX_PATH, g_folder);
    PathAppendW(g_folder, L"Pendrix Bench");
    CreateDirectoryW(g_folder, nullptr);
    GetTempPathW(MAX_PATH, g_log);
    PathAppendW(g_log, L"pxbench.log");

    wchar_t agent[MAX_PATH], reference[MAX_PATH], probe[MAX_PATH], installed[MAX_PATH];
    PathCombineW(agent, bin, L"pendrixd.exe");
    PathCombineW(reference, bin, L"reference_agent.exe");
    PathCombineW(probe, bin, L"launch_probe.exe");
    PathCombineW(installed, g_folder, L"pendrixd.exe"); // without a library beside it
    CopyFileW(agent, installed, FALSE);
    wchar_t parameters[512];
    wsprintfW(parameters, L"\"%s\" press 0", g_log);

    // One hotkey, Ctrl+Alt+F9, launching the probe.
    RecordArray<HotkeyRecord> hotkeys;
    RecordArray<ActionRecord> actions;
    HotkeyRecord hotkey = {};
    hotkey.modifiers = MOD_CONTROL | MOD_ALT;
    hotkey.virtualKey = VK_F9;
    hotkey.enabled = 1;
    hotkeys.Append(hotkey);
    ActionRecord action = {};
    CopyBoundedText(action.target, ACTION_PATH_CHARS, probe);
    CopyBoundedText(action.parameters, ACTION_PARAMETERS_CHARS, parameters);
    actions.Append(action);
    SHDeleteKeyW(HKEY_CURRENT_USER, STORE_ROOT_PATH);
    store_detail::CreateStoreRootWithVersion();
    SaveStore(hotkeys, actions);

    DeleteFileW(g_log);
    Process pendrix;
    if (!pendrix.Start(installed, L"/background")) {
        printf("cannot start the agent\n");
        return 1;
    }
    Memory agentMemory = IdleMemory(pendrix.info.hProcess);
    double agentLatency = MedianLatency();
    pendrix.Stop(L"PendrixOstrand", WM_COMMAND, 32782);

    DeleteFileW(g_log);
    wchar_t referenceArguments[1024];
    wsprintfW(referenceArguments, L"\"%s\" \"\\\"%s\\\" press 0\"", probe, g_log);
    Process minimal;
    if (!minimal.Start(reference, referenceArguments)) {
        printf("cannot start the reference program\n");
        return 1;
    }
    Memory referenceMemory = IdleMemory(minimal.info.hProcess);
    double referenceLatency = MedianLatency();
    minimal.Stop(L"PendrixReference", WM_CLOSE, 0);

    HANDLE file =
        CreateFileW(agent, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    CloseHandle(file);
    SHDeleteKeyW(HKEY_CURRENT_USER, STORE_ROOT_PATH);
    DeleteFileW(g_log);

    printf("%-22s %14s %14s\n", "", "pendrixd", "reference");
    printf("%-22s %14.0f %14.0f\n", "working set (KiB)", agentMemory.workingSetKiB,
           referenceMemory.workingSetKiB);
    printf("%-22s %14.0f %14.0f\n", "private bytes (KiB)", agentMemory.privateKiB,
           referenceMemory.privateKiB);
    printf("%-22s %14.2f %14.2f\n", "press to start (ms)", agentLatency, referenceLatency);
    printf("private bytes ratio: %.3f\n", agentMemory.privateKiB / referenceMemory.privateKiB);
    printf("working set ratio:   %.3f\n",
           agentMemory.workingSetKiB / referenceMemory.workingSetKiB);
    printf("latency ratio:       %.3f\n", agentLatency / referenceLatency);
    printf("pendrixd.exe size:   %lld bytes (%.1f KiB)\n", size.QuadPart, size.QuadPart / 1024.0);
    return 0;
}
