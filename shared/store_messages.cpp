#include "store_messages.h"

#include <strsafe.h>

#include "store.h"

void DescribeStoreError(LONG error, wchar_t* text, UINT chars) {
    if (chars == 0)
        return;
    text[0] = L'\0';
    if (error == STORE_BUSY) {
        DWORD processId = 0;
        wchar_t program[64];
        if (StoreLockHolder(&processId, program, ARRAYSIZE(program)))
            StringCchPrintfW(text, chars,
                             L"The list of hotkeys is busy: %s (process %lu) is writing it. "
                             L"Try again in a moment.",
                             program, processId);
        else
            StringCchCopyW(text, chars,
                           L"The list of hotkeys is busy: another program is "
                           L"writing it. Try again in a moment.");
        return;
    }
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(error), 0, text, chars, nullptr);
    // The system's messages end in a line break.
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n'))
        text[--length] = L'\0';
    if (length == 0)
        StringCchPrintfW(text, chars, L"Error %ld.", error);
}
