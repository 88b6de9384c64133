#include "hotkey_file.h"

#include <nlohmann/json.hpp>

#include "catalogue.h"
#include "program_rules.h"
#include "text_forms.h"

using Json = nlohmann::ordered_json;

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], size,
                        nullptr, nullptr);
    return utf8;
}

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty())
        return std::wstring();
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                         static_cast<int>(utf8.size()), nullptr, 0);
    if (size <= 0)
        throw HotkeyFileError("the text is not valid UTF-8");
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                        &text[0], size);
    return text;
}

std::wstring LenientWide(const std::string& utf8) {
    if (utf8.empty())
        return std::wstring();
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (size <= 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0], size);
    return text;
}

std::wstring FieldText(const wchar_t* field, UINT width) {
    UINT length = 0;
    while (length < width && field[length])
        ++length;
    return std::wstring(field, length);
}

namespace {

std::string FieldUtf8(const wchar_t* field, UINT width) {
    return Utf8(FieldText(field, width));
}

Json ActionJson(const ActionRecord& action) {
    Json json = Json::object();
    const std::string target = FieldUtf8(action.target, ACTION_PATH_CHARS);
    const std::string parameters = FieldUtf8(action.parameters, ACTION_PARAMETERS_CHARS);
    const std::string startIn = FieldUtf8(action.startIn, ACTION_PATH_CHARS);
    if (action.kind == ACTION_FILE_URL) {
        json["open"] = target;
        json["parameters"] = parameters;
        json["startIn"] = startIn;
        const UINT options = action.commandCode;
        if (!KnownOpenOptions(options)) {
            json["commandCode"] = options; // bits that mean nothing, kept as they are
        } else {
            if (options & OPEN_SWITCH_IF_RUNNING)
                json["ifRunning"] = "switch";
            if (options & OPEN_RUN_AS_ADMINISTRATOR)
                json["runAs"] = "administrator";
            if ((options & OPEN_WINDOW_MASK) == OPEN_WINDOW_MINIMIZED)
                json["window"] = "minimized";
            if ((options & OPEN_WINDOW_MASK) == OPEN_WINDOW_MAXIMIZED)
                json["window"] = "maximized";
        }
        if (action.commandName)
            json["commandName"] = action.commandName;
        return json;
    }
    if (action.kind == ACTION_TYPE_TEXT) {
        json["type"] = target;
        if (!parameters.empty())
            json["parameters"] = parameters;
        if (!startIn.empty())
            json["startIn"] = startIn;
        if (action.commandCode)
            json["commandCode"] = action.commandCode;
        if (action.commandName)
            json["commandName"] = action.commandName;
        return json;
    }
    if (action.kind == ACTION_SYS_COMMAND) {
        json["command"] = Utf8(CommandText(action.commandCode));
        if (!target.empty())
            json["target"] = target;
        if (!parameters.empty())
            json["parameters"] = parameters;
        if (!startIn.empty())
            json["startIn"] = startIn;
        // Every record the system makes holds 0 here (the field is never read).
        if (action.commandName != 0)
            json["commandName"] = action.commandName;
        return json;
    }
    // A kind the system does not run: every field, as stored.
    json["kind"] = action.kind;
    json["target"] = target;
    json["parameters"] = parameters;
    json["startIn"] = startIn;
    json["commandCode"] = action.commandCode;
    json["commandName"] = action.commandName;
    return json;
}

// The entries of a programs record that "onlyIn" or "notIn" give back
// exactly: joined by ";" without blanks, with nothing else in the record.
bool ProgramEntries(const ActionRecord& action, std::vector<std::string>* entries) {
    if (action.kind != ACTION_PROGRAMS || action.commandCode > PROGRAMS_NOT_IN ||
        action.commandName || action.startIn[0] || action.parameters[0])
        return false;
    std::wstring joined;
    ForEachProgramEntry(action, [&](const wchar_t* entry, UINT length) {
        if (!joined.empty())
            joined += L';';
        joined.append(entry, length);
        entries->push_back(Utf8(std::wstring(entry, length)));
    });
    return !entries->empty() && joined == FieldText(action.target, ACTION_PATH_CHARS);
}

// An abbreviation record that "abbreviation", "expand" and "matchCase" give
// back exactly.
bool PlainAbbreviation(const ActionRecord& action, std::string* text) {
    if (action.kind != ACTION_ABBREVIATION ||
        (action.commandCode & ~(ABBREVIATION_AT_ONCE | ABBREVIATION_MATCH_CASE)) ||
        action.commandName || action.startIn[0] || action.parameters[0])
        return false;
    const std::wstring abbreviation = FieldText(action.target, ACTION_PATH_CHARS);
    if (abbreviation.size() < ABBREVIATION_MIN_CHARS ||
        abbreviation.size() > ABBREVIATION_MAX_CHARS ||
        abbreviation.find_first_of(L" \t\r\n") != std::wstring::npos)
        return false;
    *text = Utf8(abbreviation);
    return true;
}

} // namespace

std::string WriteHotkeyFile(const HotkeyArray& hotkeys, const ActionArray& actions) {
    Json list = Json::array();
    for (UINT i = 0; i < hotkeys.Count(); ++i) {
        const HotkeyRecord& hotkey = hotkeys.At(i);
        Json json = Json::object();
        json["title"] = FieldUtf8(hotkey.title, HOTKEY_TEXT_CHARS);
        json["description"] = FieldUtf8(hotkey.description, HOTKEY_TEXT_CHARS);
        // A hotkey started by its abbreviation alone has no keys to write.
        std::string abbreviation;
        const ActionRecord* abbreviationRecord = nullptr;
        for (UINT a = 0; a < actions.Count() && !abbreviationRecord; ++a) {
            if (actions.At(a).owner == i && actions.At(a).kind == ACTION_ABBREVIATION)
                abbreviationRecord = &actions.At(a);
        }
        if (abbreviationRecord && !PlainAbbreviation(*abbreviationRecord, &abbreviation))
            abbreviationRecord = nullptr;
        if (!abbreviationRecord || hotkey.virtualKey != 0 || hotkey.modifiers != 0)
            json["keys"] = Utf8(HotkeyText(hotkey.modifiers, hotkey.virtualKey));
        if (abbreviationRecord) {
            json["abbreviation"] = abbreviation;
            if (abbreviationRecord->commandCode & ABBREVIATION_AT_ONCE)
                json["expand"] = "at once";
            if (abbreviationRecord->commandCode & ABBREVIATION_MATCH_CASE)
                json["matchCase"] = true;
        }
        json["enabled"] = hotkey.enabled != 0;
        json["runSequentially"] = hotkey.runSequentially != 0;
        if (hotkey.modifiers & ~HOTKEY_MODIFIERS)
            json["modifierBits"] = hotkey.modifiers;
        if ((hotkey.virtualKey < 1 || hotkey.virtualKey > 254) &&
            (hotkey.virtualKey != 0 || !abbreviationRecord))
            json["keyCode"] = hotkey.virtualKey;
        if (hotkey.enabled > 1)
            json["enabledByte"] = hotkey.enabled;
        if (hotkey.runSequentially > 1)
            json["runSequentiallyByte"] = hotkey.runSequentially;
        if (hotkey.reserved[0] || hotkey.reserved[1])
            json["reserved"] = Json::array({hotkey.reserved[0], hotkey.reserved[1]});
        Json actionList = Json::array();
        bool first = true;
        for (UINT a = 0; a < actions.Count(); ++a) {
            const ActionRecord& action = actions.At(a);
            if (action.owner != i)
                continue;
            // The programs record, first as the dialogs and the tool put it,
            // in its own members; anywhere else, or unusual, as an action.
            std::vector<std::string> programs;
            if (&action == abbreviationRecord)
                continue;
            if (first && ProgramEntries(action, &programs))
                json[action.commandCode == PROGRAMS_NOT_IN ? "notIn" : "onlyIn"] = programs;
            else
                actionList.push_back(ActionJson(action));
            first = false;
        }
        json["actions"] = actionList;
        list.push_back(json);
    }
    Json file = Json::object();
    file["pendrix"] = HOTKEY_FILE_VERSION;
    file["hotkeys"] = list;
    return file.dump(2) + "\n";
}

namespace {

// Where a value sits in the file, for messages: "hotkey 2, action 1".
struct Place {
    std::string where;
    [[noreturn]] void Fail(const std::string& what) const {
        throw HotkeyFileError(where.empty() ? what : where + ": " + what);
    }
};

void OnlyMembers(const Json& object, std::initializer_list<const char*> allowed,
                 const Place& place) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool known = false;
        for (const char* name : allowed)
            known = known || it.key() == name;
        if (!known)
            place.Fail("unknown member \"" + it.key() + "\"");
    }
}

std::string Text(const Json& object, const char* name, const Place& place, bool required) {
    auto it = object.find(name);
    if (it == object.end()) {
        if (required)
            place.Fail(std::string("\"") + name + "\" is missing");
        return std::string();
    }
    if (!it->is_string())
        place.Fail(std::string("\"") + name + "\" must be a text");
    return it->get<std::string>();
}

bool Flag(const Json& object, const char* name, bool fallback, const Place& place) {
    auto it = object.find(name);
    if (it == object.end())
        return fallback;
    if (!it->is_boolean())
        place.Fail(std::string("\"") + name + "\" must be true or false");
    return it->get<bool>();
}

UINT Number(const Json& object, const char* name, UINT limit, UINT fallback, const Place& place) {
    auto it = object.find(name);
    if (it == object.end())
        return fallback;
    if (!it->is_number_unsigned() || it->get<unsigned long long>() > limit)
        place.Fail(std::string("\"") + name + "\" must be a whole number from 0 to " +
                   std::to_string(limit));
    return static_cast<UINT>(it->get<unsigned long long>());
}

void PutText(wchar_t* field, UINT width, const char* name, const std::string& utf8,
             const Place& place) {
    std::wstring text;
    try {
        text = Wide(utf8);
    } catch (const HotkeyFileError&) {
        place.Fail(std::string("\"") + name + "\" is not valid UTF-8");
    }
    if (text.find(L'\0') != std::wstring::npos)
        place.Fail(std::string("\"") + name + "\" holds a NUL character");
    if (text.size() > width - 1)
        place.Fail(std::string("\"") + name + "\" is " + std::to_string(text.size()) +
                   " characters long; the field holds at most " + std::to_string(width - 1));
    CopyBoundedText(field, width, text.c_str());
}

// "ifRunning", "runAs" and "window" of an open action, as its option bits.
UINT OpenOptions(const Json& json, const Place& place) {
    UINT options = 0;
    const std::string ifRunning = Text(json, "ifRunning", place, false);
    if (ifRunning == "switch")
        options |= OPEN_SWITCH_IF_RUNNING;
    else if (!ifRunning.empty())
        place.Fail("\"ifRunning\" is \"switch\" or left out");
    const std::string runAs = Text(json, "runAs", place, false);
    if (runAs == "administrator")
        options |= OPEN_RUN_AS_ADMINISTRATOR;
    else if (!runAs.empty())
        place.Fail("\"runAs\" is \"administrator\" or left out");
    const std::string window = Text(json, "window", place, false);
    if (window == "minimized")
        options |= OPEN_WINDOW_MINIMIZED;
    else if (window == "maximized")
        options |= OPEN_WINDOW_MAXIMIZED;
    else if (!window.empty() && window != "normal")
        place.Fail("\"window\" is \"normal\", \"minimized\" or \"maximized\"");
    return options;
}

ActionRecord ReadAction(const Json& json, UINT owner, const Place& place) {
    if (!json.is_object())
        place.Fail("an action must be an object");
    ActionRecord action = {};
    action.owner = owner;
    const bool open = json.contains("open");
    const bool command = json.contains("command");
    const bool type = json.contains("type");
    const bool kind = json.contains("kind");
    if (open + command + type + kind != 1)
        place.Fail("an action has exactly one of \"open\", \"command\", \"type\" or \"kind\"");
    if (open) {
        OnlyMembers(json,
                    {"open", "parameters", "startIn", "ifRunning", "runAs", "window", "commandCode",
                     "commandName"},
                    place);
        action.kind = ACTION_FILE_URL;
        PutText(action.target, ACTION_PATH_CHARS, "open", Text(json, "open", place, true), place);
        action.commandCode =
            Number(json, "commandCode", 0xFFFFFFFF, OpenOptions(json, place), place);
        action.commandName = Number(json, "commandName", 0xFFFFFFFF, 0, place);
    } else if (type) {
        OnlyMembers(json, {"type", "parameters", "startIn", "commandCode", "commandName"}, place);
        action.kind = ACTION_TYPE_TEXT;
        PutText(action.target, ACTION_PATH_CHARS, "type", Text(json, "type", place, true), place);
        TypedPiece unknown = {};
        if (FindUnknownTypedName(action.target, static_cast<UINT>(lstrlenW(action.target)),
                                 &unknown))
            place.Fail("\"type\": " + Utf8(UnknownTypedNameText(unknown)));
        action.commandCode = Number(json, "commandCode", 0xFFFFFFFF, 0, place);
        action.commandName = Number(json, "commandName", 0xFFFFFFFF, 0, place);
    } else if (command) {
        OnlyMembers(json, {"command", "target", "parameters", "startIn", "commandName"}, place);
        action.kind = ACTION_SYS_COMMAND;
        const std::string name = Text(json, "command", place, true);
        if (!ParseCommandText(Wide(name), &action.commandCode))
            place.Fail("unknown command \"" + name + "\"");
        PutText(action.target, ACTION_PATH_CHARS, "target", Text(json, "target", place, false),
                place);
        action.commandName = Number(json, "commandName", 0xFFFFFFFF, 0, place);
    } else {
        OnlyMembers(json, {"kind", "target", "parameters", "startIn", "commandCode", "commandName"},
                    place);
        action.kind = Number(json, "kind", 0xFFFFFFFF, 0, place);
        if (action.kind <= ACTION_TYPE_TEXT)
            place.Fail("\"kind\" 0, 1 and 2 are written as \"open\", \"command\" and \"type\"");
        PutText(action.target, ACTION_PATH_CHARS, "target", Text(json, "target", place, false),
                place);
        action.commandCode = Number(json, "commandCode", 0xFFFFFFFF, 0, place);
        action.commandName = Number(json, "commandName", 0xFFFFFFFF, 0, place);
    }
    PutText(action.parameters, ACTION_PARAMETERS_CHARS, "parameters",
            Text(json, "parameters", place, false), place);
    PutText(action.startIn, ACTION_PATH_CHARS, "startIn", Text(json, "startIn", place, false),
            place);
    return action;
}

HotkeyRecord ReadHotkey(const Json& json, const Place& place) {
    if (!json.is_object())
        place.Fail("a hotkey must be an object");
    OnlyMembers(json,
                {"title", "description", "keys", "enabled", "runSequentially", "actions", "onlyIn",
                 "notIn", "modifierBits", "keyCode", "enabledByte", "runSequentiallyByte",
                 "reserved", "abbreviation", "expand", "matchCase"},
                place);
    HotkeyRecord hotkey = {};
    PutText(hotkey.title, HOTKEY_TEXT_CHARS, "title", Text(json, "title", place, false), place);
    PutText(hotkey.description, HOTKEY_TEXT_CHARS, "description",
            Text(json, "description", place, false), place);
    // A hotkey with an abbreviation may have no keys.
    const bool keyless = !json.contains("keys") && json.contains("abbreviation");
    const std::string keys = keyless ? std::string() : Text(json, "keys", place, true);
    std::wstring problem;
    if (!keyless && !ParseHotkeyText(Wide(keys), &hotkey.modifiers, &hotkey.virtualKey, &problem))
        place.Fail("\"keys\" \"" + keys + "\": " + Utf8(problem));
    // Windows registers key codes 1 to 254 only; other stored values travel
    // in "keyCode", written where the store holds one.
    if (json.contains("keyCode"))
        hotkey.virtualKey = Number(json, "keyCode", 0xFFFFFFFF, 0, place);
    else if (!keyless && (hotkey.virtualKey < 1 || hotkey.virtualKey > 254))
        place.Fail("\"keys\" \"" + keys + "\": the key code must be from 1 to 254 (0x01 to 0xFE)");
    hotkey.modifiers = Number(json, "modifierBits", 0xFFFFFFFF, hotkey.modifiers, place);
    // A bare wheel is how people scroll: it is never taken from them.
    if (IsWheelTrigger(hotkey.virtualKey) && (hotkey.modifiers & HOTKEY_MODIFIERS) == 0)
        place.Fail("\"keys\" \"" + keys + "\": a wheel needs Alt, Ctrl, Shift or Win with it");
    hotkey.enabled = static_cast<BYTE>(
        Number(json, "enabledByte", 255, Flag(json, "enabled", true, place) ? 1 : 0, place));
    hotkey.runSequentially =
        static_cast<BYTE>(Number(json, "runSequentiallyByte", 255,
                                 Flag(json, "runSequentially", false, place) ? 1 : 0, place));
    auto reserved = json.find("reserved");
    if (reserved != json.end()) {
        if (!reserved->is_array() || reserved->size() != 2)
            place.Fail("\"reserved\" must be two whole numbers from 0 to 255");
        for (int b = 0; b < 2; ++b) {
            const Json& value = (*reserved)[static_cast<size_t>(b)];
            if (!value.is_number_unsigned() || value.get<unsigned long long>() > 255)
                place.Fail("\"reserved\" must be two whole numbers from 0 to 255");
            hotkey.reserved[b] = static_cast<BYTE>(value.get<unsigned long long>());
        }
    }
    return hotkey;
}

// "abbreviation", with "expand" and "matchCase": the record that follows the
// programs record among the hotkey's actions. False when it has none.
bool ReadAbbreviation(const Json& json, UINT owner, const Place& place, ActionRecord* record) {
    if (!json.contains("abbreviation")) {
        if (json.contains("expand") || json.contains("matchCase"))
            place.Fail("\"expand\" and \"matchCase\" go with an \"abbreviation\"");
        return false;
    }
    const std::string text = Text(json, "abbreviation", place, true);
    const std::wstring abbreviation = Wide(text);
    if (abbreviation.size() < ABBREVIATION_MIN_CHARS ||
        abbreviation.size() > ABBREVIATION_MAX_CHARS ||
        abbreviation.find_first_of(L" \t\r\n") != std::wstring::npos)
        place.Fail("\"abbreviation\" \"" + text + "\": 2 to 31 characters without blanks");
    *record = ActionRecord();
    record->owner = owner;
    record->kind = ACTION_ABBREVIATION;
    CopyBoundedText(record->target, ACTION_PATH_CHARS, abbreviation.c_str());
    auto expand = json.find("expand");
    if (expand != json.end()) {
        if (!expand->is_string() ||
            (expand->get<std::string>() != "at once" && expand->get<std::string>() != "after"))
            place.Fail("\"expand\" is \"at once\" or \"after\" (an ending character)");
        if (expand->get<std::string>() == "at once")
            record->commandCode |= ABBREVIATION_AT_ONCE;
    }
    if (Flag(json, "matchCase", false, place))
        record->commandCode |= ABBREVIATION_MATCH_CASE;
    return true;
}

// "onlyIn" or "notIn": the programs record that goes first among the
// hotkey's actions. False when the hotkey works in every program.
bool ReadPrograms(const Json& json, UINT owner, const Place& place, ActionRecord* record) {
    const bool onlyIn = json.contains("onlyIn");
    const bool notIn = json.contains("notIn");
    if (!onlyIn && !notIn)
        return false;
    if (onlyIn && notIn)
        place.Fail("a hotkey has \"onlyIn\" or \"notIn\", never both");
    const char* name = onlyIn ? "onlyIn" : "notIn";
    const Json& list = json.at(name);
    if (!list.is_array() || list.empty())
        place.Fail(std::string("\"") + name + "\" must be a list of one or more programs");
    std::wstring joined;
    for (const Json& entry : list) {
        if (!entry.is_string())
            place.Fail(std::string("\"") + name + "\" must be a list of program names");
        std::wstring program;
        try {
            program = Wide(entry.get<std::string>());
        } catch (const HotkeyFileError&) {
            place.Fail(std::string("\"") + name + "\" is not valid UTF-8");
        }
        const size_t first = program.find_first_not_of(L" \t");
        if (first == std::wstring::npos || program.find(L';') != std::wstring::npos ||
            program.find(L'\0') != std::wstring::npos)
            place.Fail(std::string("\"") + name + "\": \"" + Utf8(program) +
                       "\" is not a program name");
        program = program.substr(first, program.find_last_not_of(L" \t") - first + 1);
        joined += (joined.empty() ? L"" : L";") + program;
    }
    if (joined.size() > ACTION_PATH_CHARS - 1)
        place.Fail(std::string("\"") + name + "\" is " + std::to_string(joined.size()) +
                   " characters long with its separators; it holds at most " +
                   std::to_string(ACTION_PATH_CHARS - 1));
    *record = ActionRecord();
    record->owner = owner;
    record->kind = ACTION_PROGRAMS;
    record->commandCode = onlyIn ? PROGRAMS_ONLY_IN : PROGRAMS_NOT_IN;
    CopyBoundedText(record->target, ACTION_PATH_CHARS, joined.c_str());
    return true;
}

// "line 3, column 7" of a byte offset.
std::string LineAndColumn(const std::string& text, size_t offset) {
    size_t line = 1, column = 1;
    for (size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column; // characters, not UTF-8 bytes
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

} // namespace

std::string DecodeHotkeyFileText(const std::string& bytes) {
    const bool littleEndian = bytes.compare(0, 2, "\xFF\xFE") == 0;
    if (littleEndian || bytes.compare(0, 2, "\xFE\xFF") == 0) {
        if (bytes.size() % 2 != 0)
            throw HotkeyFileError("the UTF-16 text has an odd number of bytes");
        std::wstring wide;
        wide.reserve(bytes.size() / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const unsigned char low = static_cast<unsigned char>(bytes[littleEndian ? i : i + 1]);
            const unsigned char high = static_cast<unsigned char>(bytes[littleEndian ? i + 1 : i]);
            wide += static_cast<wchar_t>(low | (high << 8));
        }
        const int size =
            WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(),
                                static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
        if (size <= 0 && !wide.empty())
            throw HotkeyFileError("the UTF-16 text holds a broken surrogate pair");
        return Utf8(wide);
    }
    // UTF-8: find the first byte that is not, to name its place.
    size_t valid = 0;
    while (valid < bytes.size()) {
        const unsigned char lead = static_cast<unsigned char>(bytes[valid]);
        const size_t length = lead == 0           ? 0
                              : lead < 0x80       ? 1
                              : (lead >> 5) == 6  ? 2
                              : (lead >> 4) == 14 ? 3
                              : (lead >> 3) == 30 ? 4
                                                  : 0;
        if (length == 0 || valid + length > bytes.size() ||
            MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + valid,
                                static_cast<int>(length), nullptr, 0) <= 0)
            throw HotkeyFileError(
                LineAndColumn(bytes, valid) +
                ": the file is not UTF-8 text, nor UTF-16 with a byte-order mark");
        valid += length;
    }
    return bytes;
}

void ReadHotkeyFile(const std::string& text, HotkeyArray* hotkeys, ActionArray* actions) {
    size_t first = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; // a byte-order mark
    if (text.find_first_not_of(" \t\r\n", first) == std::string::npos)
        throw HotkeyFileError("the file is empty");
    Json file;
    try {
        file = Json::parse(text.begin() + static_cast<std::ptrdiff_t>(first), text.end());
    } catch (const Json::parse_error& error) {
        std::string reason = error.what();
        const size_t colon = reason.find(": ", reason.find("column"));
        if (colon != std::string::npos)
            reason = reason.substr(colon + 2);
        const size_t offset = error.byte > 0 ? first + error.byte - 1 : first;
        throw HotkeyFileError(LineAndColumn(text, offset) + ": " + reason);
    }
    const Place top;
    if (!file.is_object())
        top.Fail("the file must hold one object with \"pendrix\" and \"hotkeys\"");
    OnlyMembers(file, {"pendrix", "hotkeys"}, top);
    auto version = file.find("pendrix");
    if (version == file.end() || !version->is_number_integer() ||
        version->get<long long>() != HOTKEY_FILE_VERSION)
        top.Fail("\"pendrix\" must be 1, the version of this format");
    auto list = file.find("hotkeys");
    if (list == file.end() || !list->is_array())
        top.Fail("\"hotkeys\" must be a list");
    UINT number = 0;
    for (const Json& json : *list) {
        ++number;
        Place place{"hotkey " + std::to_string(number)};
        hotkeys->Append(ReadHotkey(json, place));
        ActionRecord programs = {};
        if (ReadPrograms(json, number - 1, place, &programs))
            actions->Append(programs);
        ActionRecord abbreviation = {};
        if (ReadAbbreviation(json, number - 1, place, &abbreviation))
            actions->Append(abbreviation);
        auto acts = json.find("actions");
        if (acts == json.end())
            continue;
        if (!acts->is_array())
            place.Fail("\"actions\" must be a list");
        UINT n = 0;
        for (const Json& action : *acts) {
            ++n;
            Place at{place.where + ", action " + std::to_string(n)};
            actions->Append(ReadAction(action, number - 1, at));
        }
    }
}
