// The agent's hidden window: tray icon, menu commands, hotkeys and the
// reload handshake with the configuration library.
#include <windows.h>
#include <shellapi.h>

#include "abbreviations.h"
#include "agent_state.h"
#include "config_library.h"
#include "hotkey_runner.h"
#include "maker_site.h"
#include "mouse_hook.h"
#include "resource.h"
#include "store.h"
#include "tray.h"
#include "window_in_front.h"

namespace {

const UINT_PTR RELOAD_RETRY_TIMER = 1;
const UINT RELOAD_RETRY_MS = 250;
// The agent's thread waits no longer than this for the store: a writer that
// holds it longer (a console paused in the middle of an import) must not
// leave the tray and every hotkey dead meanwhile.
const DWORD RELOAD_LOCK_WAIT_MS = 100;

// Adds the hotkeys one registration refused to those of start-up; the named
// ones once each (only the first few of either have their positions).
void NoteStartupRefusals(const RefusedHotkeys& refused) {
    RefusedHotkeys& all = g_agent.startupRefused;
    for (UINT n = 0; n < refused.count; ++n) {
        bool known = false;
        for (UINT k = 0; n < REFUSED_HOTKEYS_NAMED && k < all.count && k < REFUSED_HOTKEYS_NAMED;
             ++k)
            known = known || all.positions[k] == refused.positions[n];
        if (known)
            continue;
        if (all.count < REFUSED_HOTKEYS_NAMED && n < REFUSED_HOTKEYS_NAMED)
            all.positions[all.count] = refused.positions[n];
        ++all.count;
    }
}

// One load, registration and save, all under the store lock, so that no
// other writer's change falls between the load and the save. Without the
// lock the current registrations stay and the reload is tried again shortly.
// A list that could not be read or saved whole is said once per kind of
// failure, not at every reload.
void SayStoreProblem(LONG error) {
    if (error == ERROR_SUCCESS || error == g_agent.saveErrorSaid) {
        g_agent.saveErrorSaid = error;
        return;
    }
    g_agent.saveErrorSaid = error;
    // The system's words for it; the agent's thread never waits, so a busy
    // store is never the reason here.
    wchar_t text[256];
    int length = wsprintfW(text, L"Pendrix could not read or save the whole list of hotkeys: ");
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                        static_cast<DWORD>(error), 0, text + length,
                        static_cast<DWORD>(ARRAYSIZE(text) - length), nullptr))
        wsprintfW(text + length, L"error %ld.", error);
    ShowWarningText(text);
}

bool ReloadUnderLock(HWND window) {
    store_detail::StoreLock lock(RELOAD_LOCK_WAIT_MS);
    if (!lock.Held()) {
        SetTimer(window, RELOAD_RETRY_TIMER, RELOAD_RETRY_MS, nullptr);
        return false;
    }
    // The mouse hook's thread stays through the reload when the new list
    // wants it too: each thread's start costs the agent memory under Wine.
    g_agent.reloading = true;
    UnregisterHotkeys(window, ALL_HOTKEYS);
    g_agent.hotkeys.Clear();
    g_agent.actions.Clear();
    const LONG loaded = LoadStore(window, g_agent.hotkeys, g_agent.actions);
    RefusedHotkeys refused;
    g_agent.reloading = false;
    RegisterEnabledHotkeys(window, &refused);
    if (g_agent.starting || g_agent.startupLoadPending)
        NoteStartupRefusals(refused);
    // Saving right away stores as disabled every hotkey the system refused;
    // a list read only in part is not written back as the whole list.
    SayStoreProblem(loaded == ERROR_SUCCESS ? SaveStore(g_agent.hotkeys, g_agent.actions) : loaded);
    return true;
}

// The balloon of start-up names what the first whole load refused, even
// when that load had to wait for the store.
void FinishStartupLoad() {
    g_agent.startupLoadPending = false;
    if (g_agent.startupRefused.count > 0)
        ShowRefusedHotkeysBalloon(g_agent.startupRefused);
}

// Replaces both arrays with the store and registers them again. It is
// whole in itself, so a reload that arrives while start-up waits on the shell
// leaves nothing for start-up to add twice. A reload that arrives inside it
// (the autostart message pumps messages) is done again right after.
bool ReloadStore(HWND window) {
    if (g_agent.storeBusy) {
        g_agent.reloadPending = true;
        return false;
    }
    g_agent.storeBusy = true;
    KillTimer(window, RELOAD_RETRY_TIMER);
    bool reloaded = true;
    do {
        g_agent.reloadPending = false;
        reloaded = ReloadUnderLock(window);
    } while (reloaded && g_agent.reloadPending);
    g_agent.storeBusy = false;
    return reloaded;
}

LRESULT OnCreate(HWND window) {
    g_agent.window = window;
    g_agent.taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
    // Reloads asked for while the icon goes up count towards start-up's
    // balloon: what they refused, start-up's own load finds disabled.
    g_agent.starting = true;
    CreateTrayIcon(window);
    g_agent.startupLoadPending = true;
    const bool loaded = ReloadStore(window);
    g_agent.starting = false;
    // Only at start-up: after a reload that the dialog asked for, the dialog
    // itself shows the refused hotkeys unchecked.
    if (loaded)
        FinishStartupLoad();
    if (g_agent.background)
        g_agent.background = false;
    else
        SendMessageW(window, WM_COMMAND, ID_TRAY_CONFIGURE, 0);
    return 0;
}

LRESULT OnTrayCallback(HWND window, LPARAM mouseMessage) {
    switch (mouseMessage) {
    case WM_RBUTTONDOWN:
        ShowTrayMenu(window);
        break;
    case WM_LBUTTONDBLCLK:
    case NIN_BALLOONUSERCLICK: // the only balloon names refused hotkeys
        SendMessageW(window, WM_COMMAND, ID_TRAY_CONFIGURE, 0);
        break;
    default:
        break;
    }
    return 0;
}

// Every hotkey off but those that resume, or all back, as the store says
// now; a reload meanwhile keeps the pause.
LRESULT SetPaused(HWND window, bool paused) {
    if (g_agent.paused != paused) {
        g_agent.paused = paused;
        UpdateProgramHotkeys(window, nullptr);
        ShowPausedState();
    }
    return 1;
}

void OnExit(HWND window) {
    DeleteTrayIcon();
    UnregisterHotkeys(window, ALL_HOTKEYS);
    PostQuitMessage(0);
}

LRESULT OnCommand(HWND window, WORD id) {
    switch (id) {
    case ID_TRAY_CONFIGURE:
        RunConfigureDialog();
        break;
    case ID_TRAY_ABOUT:
        RunAboutDialog(window);
        break;
    case ID_TRAY_EXIT:
        OnExit(window);
        break;
    case ID_TRAY_PAUSE:
        SetPaused(window, !g_agent.paused);
        break;
    case ID_TRAY_MY_HOTKEYS:
        StartMyHotkeys(g_agent.frontBeforeMenu);
        break;
    case ID_TRAY_WEBSITE:
        ShellExecuteW(nullptr, L"open", MAKER_SITE_AGENT_PAGE, L"", L"", SW_SHOWNORMAL);
        break;
    default:
        break;
    }
    return 0;
}

// Answered only once everything is registered again, so the library can
// read back which hotkeys the system refused. A reload asked for while one
// runs is answered 0, as by no agent: it follows when the running one ends. So is
// one that could not get the store in time: it is tried again shortly.
LRESULT OnReload(HWND window) {
    return ReloadStore(window) ? ReloadMessage : 0;
}

void OnTimer(HWND window, UINT_PTR id) {
    if (id == RELOAD_RETRY_TIMER && ReloadStore(window) && g_agent.startupLoadPending)
        FinishStartupLoad();
}

} // namespace

LRESULT CALLBACK AgentWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != 0 && message == g_agent.taskbarCreatedMessage) {
        ReAddTrayIcon();
        return DefWindowProcW(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case TrayCallbackMessage:
        return OnTrayCallback(window, lParam);
    case WM_COMMAND:
        return OnCommand(window, LOWORD(wParam));
    case WM_HOTKEY:
        HandOffHotkey(window, wParam, lParam);
        return 0;
    case ReloadMessage:
        return OnReload(window);
    case WM_TIMER:
        OnTimer(window, wParam);
        return 0;
    case AgentStepAsideMessage:
        return StepHotkeyAside(window, static_cast<UINT>(wParam), static_cast<UINT>(lParam));
    case AgentComeBackMessage:
        BringHotkeyBack(window, lParam);
        return 0;
    case AgentMouseHotkeyMessage:
        HandOffMouseHotkey(window, static_cast<UINT>(wParam), lParam);
        return 0;
    case AgentHooksMessage:
        return (MouseHookInstalled() ? AGENT_HAS_MOUSE_HOOK : 0) |
               (KeyboardHookInstalled() ? AGENT_HAS_KEYBOARD_HOOK : 0);
    case AgentTypedKeyMessage:
        NoteTypedKey(static_cast<UINT>(wParam & 0xFFFF), static_cast<UINT>((wParam >> 16) & 0xFFFF),
                     static_cast<UINT>(static_cast<ULONGLONG>(wParam) >> 32));
        return 0;
    case AgentForgetTypingMessage:
        ForgetTyping();
        return 0;
    case AgentPauseMessage:
        return SetPaused(window, wParam != 0);
    case AgentLetGoMessage:
        NoteLetGo(lParam);
        return 0;
    case AgentCannotReachMessage:
        SayCannotReach(reinterpret_cast<HWND>(wParam), lParam != 0);
        return 0;
    case AgentShowSheetMessage:
        StartMyHotkeys(WindowUserWasIn());
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
