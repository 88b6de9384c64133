// Saves and loads stores of 100, 1,000 and 10,000 hotkeys with 4 actions
// each and prints the times. Run by scripts/bench-store under Wine; not a
// test. It works on the real store of the prefix it runs in and removes it.
#include <windows.h>

#include <shlwapi.h>
#include <stdio.h>

#include "record_array.h"
#include "store.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

struct Timing {
    double save;
    double load;
};

Timing Measure(UINT hotkeyCount) {
    RecordArray<HotkeyRecord> hotkeys;
    RecordArray<ActionRecord> actions;
    for (UINT i = 0; i < hotkeyCount; ++i) {
        HotkeyRecord hotkey = {};
        hotkey.modifiers = MOD_CONTROL;
        hotkey.virtualKey = 'A' + i % 20;
        CopyBoundedText(hotkey.title, HOTKEY_TEXT_CHARS, L"Benchmark hotkey");
        hotkeys.Append(hotkey);
    }
    // Actions added round-robin, as edits append them, so the save must group.
    for (UINT j = 0; j < 4; ++j) {
        for (UINT i = 0; i < hotkeyCount; ++i) {
            ActionRecord action = {};
            action.owner = i;
            CopyBoundedText(action.target, ACTION_PATH_CHARS, L"C:\\Windows\\notepad.exe");
            actions.Append(action);
        }
    }
    SHDeleteKeyW(HKEY_CURRENT_USER, STORE_ROOT_PATH);
    store_detail::CreateStoreRootWithVersion();

    LARGE_INTEGER t0, t1, t2;
    QueryPerformanceCounter(&t0);
    SaveStore(hotkeys, actions);
    QueryPerformanceCounter(&t1);
    RecordArray<HotkeyRecord> loadedHotkeys;
    RecordArray<ActionRecord> loadedActions;
    LoadStore(nullptr, loadedHotkeys, loadedActions);
    QueryPerformanceCounter(&t2);
    if (loadedHotkeys.Count() != hotkeyCount || loadedActions.Count() != 4 * hotkeyCount)
        printf("  (loaded %u hotkeys and %u actions: wrong)\n", loadedHotkeys.Count(),
               loadedActions.Count());
    SHDeleteKeyW(HKEY_CURRENT_USER, STORE_ROOT_PATH);
    return {Seconds(t0, t1), Seconds(t1, t2)};
}

} // namespace

int main() {
    const UINT sizes[3] = {100, 1000, 10000};
    Timing timings[3];
    printf("%10s %12s %12s\n", "hotkeys", "save (s)", "load (s)");
    for (int k = 0; k < 3; ++k) {
        // Best of three: the wineserver's periodic registry flush can land
        // inside one measurement.
        timings[k] = Measure(sizes[k]);
        for (int repeat = 1; repeat < 3; ++repeat) {
            Timing again = Measure(sizes[k]);
            if (again.save < timings[k].save)
                timings[k].save = again.save;
            if (again.load < timings[k].load)
                timings[k].load = again.load;
        }
        printf("%10u %12.3f %12.3f\n", sizes[k], timings[k].save, timings[k].load);
    }
    printf("10,000 / 1,000 ratio: save %.2f, load %.2f (linear = 10)\n",
           timings[2].save / timings[1].save, timings[2].load / timings[1].load);
    return 0;
}
