#include "records.h"

namespace {

void BoundText(wchar_t* field, UINT width) {
    field[width - 1] = L'\0';
}

} // namespace

void BoundRecordTexts(HotkeyRecord& record) {
    BoundText(record.description, HOTKEY_TEXT_CHARS);
    BoundText(record.title, HOTKEY_TEXT_CHARS);
}

void BoundRecordTexts(ActionRecord& record) {
    BoundText(record.startIn, ACTION_PATH_CHARS);
    BoundText(record.target, ACTION_PATH_CHARS);
    BoundText(record.parameters, ACTION_PARAMETERS_CHARS);
}

void CopyBoundedText(wchar_t* field, UINT width, const wchar_t* text) {
    UINT i = 0;
    if (text) {
        for (; i + 1 < width && text[i] != L'\0'; ++i)
            field[i] = text[i];
    }
    for (; i < width; ++i)
        field[i] = L'\0';
}
