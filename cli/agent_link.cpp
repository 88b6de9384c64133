#include "agent_link.h"

#include "agent_protocol.h"
#include "library_exports.h"

HWND FindAgent() {
    return FindWindowW(AGENT_WINDOW_CLASS, nullptr);
}

ReloadResult ReloadAgent() {
    HWND agent = FindAgent();
    if (!agent)
        return ReloadResult::NoAgent;
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(agent, ReloadMessage, 0, 0, SMTO_ABORTIFHUNG, RELOAD_WAIT_MS, &answer))
        return IsWindow(agent) ? ReloadResult::Queued : ReloadResult::NoAgent;
    // 0: a reload was under way; the agent runs ours right after it.
    return answer == ReloadMessage ? ReloadResult::Reloaded : ReloadResult::Queued;
}

bool ConfigurationDialogOpen() {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, CONFIGURE_DIALOG_MUTEX_NAME);
    if (!mutex)
        return GetLastError() == ERROR_ACCESS_DENIED;
    CloseHandle(mutex);
    return true;
}
