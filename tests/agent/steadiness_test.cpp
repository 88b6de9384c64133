// The agent stays small and steady over a long day: after a thousand
// reloads, a thousand presses and fifty configuration dialogs its handles,
// GDI and USER objects and private memory are back where they were.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent_harness.h"
#include "store.h"
#include "test_registry.h"

namespace {

struct Footprint {
    DWORD handles = 0;
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
    SIZE_T privateBytes = 0;
};

// Handles of another process, from the system's handle table:
// GetProcessHandleCount answers only for the calling process under Wine.
DWORD HandlesOf(DWORD processId) {
    typedef LONG(WINAPI * QuerySystem)(ULONG, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QuerySystem>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    struct Entry { // SYSTEM_HANDLE_ENTRY
        ULONG owner;
        BYTE type;
        BYTE flags;
        USHORT handle;
        void* object;
        ULONG access;
    };
    const ULONG SYSTEM_HANDLE_INFORMATION = 16;
    std::vector<BYTE> buffer(1 << 20);
    ULONG size = 0;
    while (query && query(SYSTEM_HANDLE_INFORMATION, buffer.data(),
                          static_cast<ULONG>(buffer.size()), &size) != 0) {
        if (buffer.size() >= (1u << 26))
            return 0;
        buffer.resize(buffer.size() * 2);
    }
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const Entry* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
    DWORD handles = 0;
    for (ULONG i = 0; i < count; ++i)
        handles += entries[i].owner == processId;
    return handles;
}

Footprint Measure(HANDLE process, DWORD processId) {
    // What is still settling (a worker that is ending) settles first.
    Sleep(500);
    Footprint footprint;
    footprint.handles = HandlesOf(processId);
    footprint.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
    footprint.userObjects = GetGuiResources(process, GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(process, &counters, sizeof counters);
    footprint.privateBytes = counters.PagefileUsage;
    return footprint;
}

void Print(const char* when, const Footprint& f) {
    printf("%-16s handles %4lu  GDI %4lu  USER %4lu  private %7.0f KiB\n", when, f.handles,
           f.gdiObjects, f.userObjects, f.privateBytes / 1024.0);
}

// Equal counts of handles, and of GDI and USER objects where the platform
// reports them (Wine reports 0 for another process).
void ExpectSameObjects(const Footprint& before, const Footprint& after, const char* what) {
    EXPECT_LE(after.handles, before.handles) << what << ": handles leak";
    EXPECT_LE(after.gdiObjects, before.gdiObjects) << what << ": GDI objects leak";
    EXPECT_LE(after.userObjects, before.userObjects) << what << ": USER objects leak";
}

const UINT CTRL_ALT = MOD_CONTROL | MOD_ALT;

} // namespace

TEST_F(AgentTest, AfterALongDayTheAgentIsAsSmallAsAfterTheFirstHour) {
    Install(Library::Real);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Pressed all day", CTRL_ALT, VK_F9));
    hotkeys.Append(MakeHotkey(L"Launching", CTRL_ALT, VK_F10));
    actions.Append(ProbeAction(1, log_, L"day"));
    for (UINT i = 0; i < 20; ++i)
        hotkeys.Append(MakeHotkey(L"Idle", CTRL_ALT | MOD_SHIFT, 'A' + i));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());
    HANDLE process = process_.hProcess;

    auto openAndCloseDialog = [&]() -> bool {
        PostMessageW(window_, WM_COMMAND, AGENT_CONFIGURE, 0);
        HWND dialog = nullptr;
        if (!WaitFor([&] {
                dialog = FindWindowW(L"#32770", L"Pendrix    ostrand online");
                return dialog && IsWindowVisible(dialog);
            }))
            return false;
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return WaitFor([&] { return !IsWindow(dialog); });
    };
    auto day = [&](int reloads, int presses, int dialogs, int launches) {
        for (int i = 0; i < reloads; ++i)
            ASSERT_EQ(static_cast<LRESULT>(AGENT_RELOAD), Reload()) << i;
        for (int i = 0; i < presses; ++i) {
            PressCombination(CTRL_ALT, VK_F9);
            if (i % 50 == 49)
                Sleep(50);
        }
        for (int i = 0; i < dialogs; ++i)
            ASSERT_TRUE(openAndCloseDialog()) << i;
        const size_t before = RunsOf(ReadProbeLog(log_), L"day").size();
        for (int i = 0; i < launches; ++i)
            PressCombination(CTRL_ALT, VK_F10);
        EXPECT_TRUE(WaitFor(
            [&] { return RunsOf(ReadProbeLog(log_), L"day").size() == before + launches; }));
    };

    // The first hour: every path has run, so caches are warm and the heap
    // has grown to what a thousand quick presses in a row need.
    day(20, 1000, 2, 2);
    Sleep(1000);
    const DWORD pid = process_.dwProcessId;
    const Footprint start = Measure(process, pid);
    Print("first hour", start);
    ASSERT_GT(start.handles, 0u) << "the handle table cannot be read here";

    // A longer day under "scripts/test --long".
    const int reloads = ProbeRounds(300, 1000);
    // Heap growth from many short workers is noisy (a few hundred KiB now
    // and then): presses come in batches large enough to tell a leak from it.
    const int presses = 1000;
    day(reloads, 0, 0, 0);
    const Footprint reloaded = Measure(process, pid);
    Print((std::to_string(reloads) + " reloads").c_str(), reloaded);
    ExpectSameObjects(start, reloaded, "reloads");
    EXPECT_LE(reloaded.privateBytes, start.privateBytes + 64 * 1024) << "reloads leak memory";

    // Heap pages that many short-lived workers touch come and go by up to a
    // few hundred KiB, now in one batch of presses, now in another; a thread
    // or job kept per press grows every batch alike. So two equal batches,
    // and the smaller growth tells.
    day(0, presses, 0, 10);
    Sleep(1000); // presses are handled by workers that end on their own
    const Footprint firstBatch = Measure(process, pid);
    Print((std::to_string(presses) + " presses").c_str(), firstBatch);
    day(0, presses, 0, 10);
    Sleep(1000);
    const Footprint pressed = Measure(process, pid);
    Print((std::to_string(2 * presses) + " presses").c_str(), pressed);
    ExpectSameObjects(start, pressed, "presses");
    const double firstGrowth =
        static_cast<double>(firstBatch.privateBytes) - static_cast<double>(reloaded.privateBytes);
    const double secondGrowth =
        static_cast<double>(pressed.privateBytes) - static_cast<double>(firstBatch.privateBytes);
    EXPECT_LE(std::min(firstGrowth, secondGrowth), 160.0 * 1024) << "presses leak memory";

    // Each dialog loads and frees the library, and with it comctl32, which
    // the idle agent does not keep. Measured under Wine, each load and free
    // of comctl32 keeps 2 handles and a few KiB of Wine's own; a dialog held
    // open by a test program that keeps comctl32 loaded keeps nothing. More
    // than that is ours.
    // The heap the presses left behind may be below what dialogs need, so
    // the first batch can grow it to that; two equal batches, and the
    // smaller growth tells, as for the presses.
    const int dialogs = ProbeRounds(20, 50);
    day(0, 0, dialogs, 0);
    const Footprint firstDialogs = Measure(process, pid);
    Print((std::to_string(dialogs) + " dialogs").c_str(), firstDialogs);
    day(0, 0, dialogs, 0);
    const Footprint configured = Measure(process, pid);
    Print((std::to_string(2 * dialogs) + " dialogs").c_str(), configured);
    EXPECT_LE(configured.gdiObjects, start.gdiObjects) << "dialogs: GDI objects leak";
    EXPECT_LE(configured.userObjects, start.userObjects) << "dialogs: USER objects leak";
    const double handlesPerDialog =
        (static_cast<double>(configured.handles) - static_cast<double>(pressed.handles)) /
        (2 * dialogs);
    const double kibPerDialog = std::min(static_cast<double>(firstDialogs.privateBytes) -
                                             static_cast<double>(pressed.privateBytes),
                                         static_cast<double>(configured.privateBytes) -
                                             static_cast<double>(firstDialogs.privateBytes)) /
                                1024.0 / dialogs;
    printf("per dialog: %.2f handles, %.1f KiB\n", handlesPerDialog, kibPerDialog);
    EXPECT_LE(handlesPerDialog, 2.0) << "dialogs leak handles";
    EXPECT_LE(kibPerDialog, 8.0) << "dialogs leak memory";
    EXPECT_TRUE(Alive());
}
