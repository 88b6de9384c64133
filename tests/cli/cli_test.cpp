// The pendrix console tool, run as a real program against the real registry
// and, where it talks to one, the real agent.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent_harness.h"
#include "catalogue.h"
#include "dialog_driver.h"
#include "store.h"
#include "test_registry.h"

namespace {

const UINT CTRL_ALT = MOD_CONTROL | MOD_ALT;

struct ToolRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out; // the bytes the tool wrote
    std::string err;
    std::wstring Out() const { return Decode(out); }
    std::wstring Err() const { return Decode(err); }
    static std::wstring Decode(const std::string& utf8) {
        if (utf8.empty())
            return std::wstring();
        std::wstring text(utf8.size(), L'\0');
        text.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(),
                                                            static_cast<int>(utf8.size()), &text[0],
                                                            static_cast<int>(text.size()))));
        return text;
    }
};

std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

class Tool : public AgentTest {
  protected:
    // pendrix.exe started with its output and errors going to files.
    struct Started {
        PROCESS_INFORMATION process = {};
        std::wstring outPath, errPath;
    };
    Started StartPendrix(const std::wstring& arguments) {
        Started started;
        // Files of their own for each run: Wine may close a finished
        // program's handles a moment after it reports its end.
        const std::wstring runNumber = std::to_wstring(++runs_);
        started.outPath = installFolder_ + L"out" + runNumber + L".txt";
        started.errPath = installFolder_ + L"err" + runNumber + L".txt";
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE out = CreateFileW(started.outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, 0, nullptr);
        HANDLE err = CreateFileW(started.errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, 0, nullptr);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out;
        startup.hStdError = err;
        const std::wstring program = TestProgramFolder() + L"pendrix.exe";
        std::wstring commandLine = L"\"" + program + L"\" " + arguments;
        // Wine now and then fails to start a program at all: once more then.
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                               CREATE_NO_WINDOW, nullptr, installFolder_.c_str(), &startup,
                               &started.process))
                break;
            printf("pendrix.exe did not start (error %lu); once more\n", GetLastError());
            Sleep(200);
        }
        CloseHandle(out);
        CloseHandle(err);
        return started;
    }
    ToolRun Finish(Started& started) {
        ToolRun run;
        if (started.process.hProcess) {
            if (WaitForSingleObject(started.process.hProcess, 60000) == WAIT_TIMEOUT)
                TerminateProcess(started.process.hProcess, 0xDEAD);
            GetExitCodeProcess(started.process.hProcess, &run.exitCode);
            CloseHandle(started.process.hProcess);
            CloseHandle(started.process.hThread);
        }
        run.out = ReadBytes(started.outPath);
        run.err = ReadBytes(started.errPath);
        return run;
    }
    ToolRun Pendrix(const std::wstring& arguments) {
        Started started = StartPendrix(arguments);
        return Finish(started);
    }
    std::wstring File(const wchar_t* name) { return installFolder_ + name; }
    int runs_ = 0;
    std::wstring Quoted(const wchar_t* name) { return L"\"" + File(name) + L"\""; }

    // Exports, replaces the store with something else, imports: the store
    // must come back byte for byte, and a second export must match the first.
    void ExpectRoundTrip() {
        const auto before = SnapshotStore();
        ToolRun exported = Pendrix(L"export " + Quoted(L"list.json"));
        ASSERT_EQ(0u, exported.exitCode) << exported.Err().c_str();
        const std::string file = ReadBytes(File(L"list.json"));
        Hotkeys other;
        Actions none;
        other.Append(MakeHotkey(L"Other", CTRL_ALT, VK_F2));
        WriteStore(other, none);
        ToolRun imported = Pendrix(L"import " + Quoted(L"list.json"));
        ASSERT_EQ(0u, imported.exitCode) << imported.Err().c_str();
        EXPECT_TRUE(before == SnapshotStore()) << "the store came back byte for byte";
        ToolRun again = Pendrix(L"export -");
        ASSERT_EQ(0u, again.exitCode);
        EXPECT_EQ(file, again.out) << "the same store gives the same bytes, to a file or a pipe";
    }
};

ActionRecord OpenAction(UINT owner, const wchar_t* target, const wchar_t* parameters = L"",
                        const wchar_t* startIn = L"") {
    ActionRecord action = {};
    action.owner = owner;
    action.kind = ACTION_FILE_URL;
    CopyBoundedText(action.target, ACTION_PATH_CHARS, target);
    CopyBoundedText(action.parameters, ACTION_PARAMETERS_CHARS, parameters);
    CopyBoundedText(action.startIn, ACTION_PATH_CHARS, startIn);
    return action;
}

} // namespace

TEST_F(Tool, ListsTheDefaultsAndAnswersHelpVersionAndBadUsage) {
    ToolRun list = Pendrix(L"list");
    ASSERT_EQ(0u, list.exitCode) << list.Err().c_str();
    EXPECT_EQ(L"1  on   ALT + Ctrl + F7                 Configure Pendrix\r\n"
              L"        command Configure Pendrix\r\n"
              L"2  on   Ctrl + Shift + I                Internet Explorer\r\n"
              L"        open about:blank\r\n"
              L"3  on   Ctrl + Shift + C                Calculator\r\n"
              L"        open calc.exe\r\n"
              L"4  on   Ctrl + Shift + M                Media Player\r\n"
              L"        open wmplayer.exe\r\n"
              L"5  on   Ctrl + Shift + G                Pendrix Website\r\n"
              L"        open https://www.ostrand.example/?id=pendrix\r\n"
              L"6  off  ALT + Ctrl + Shift + Backspace  Shutdown System\r\n"
              L"        command Shutdown\r\n",
              list.Out());
    EXPECT_TRUE(SnapshotStore().empty()) << "listing writes nothing, not even the defaults";

    EXPECT_EQ(0u, Pendrix(L"--help").exitCode);
    ToolRun version = Pendrix(L"--version");
    EXPECT_EQ(0u, version.exitCode);
    EXPECT_EQ("pendrix 1.2.0\r\n", version.out);
    EXPECT_EQ(2u, Pendrix(L"").exitCode);
    ToolRun unknown = Pendrix(L"lsit");
    EXPECT_EQ(2u, unknown.exitCode);
    EXPECT_NE(std::wstring::npos, unknown.Err().find(L"unknown command \"lsit\""));
    EXPECT_EQ(2u, Pendrix(L"export").exitCode);
    EXPECT_EQ(2u, Pendrix(L"import --merge").exitCode);
    ToolRun missing = Pendrix(L"enable 9");
    EXPECT_EQ(1u, missing.exitCode);
    EXPECT_NE(std::wstring::npos, missing.Err().find(L"there is no hotkey 9; the list has 6"));
}

TEST_F(Tool, ExportAndImportGiveBackTheStoreByteForByte) {
    {
        SCOPED_TRACE("the defaults");
        Hotkeys hotkeys;
        Actions actions;
        AddDefaultHotkeys(hotkeys, actions);
        WriteStore(hotkeys, actions);
        ExpectRoundTrip();
        EXPECT_EQ(std::string::npos, ReadBytes(File(L"list.json")).find("commandName"))
            << "only the documented members";
    }
    {
        SCOPED_TRACE("every key with every modifier set, every command");
        Hotkeys hotkeys;
        Actions actions;
        for (int row = 0; row < KEY_NAME_ROWS; ++row)
            hotkeys.Append(MakeHotkey(L"k", static_cast<UINT>(row % 16), KeyNameTable[row].code));
        hotkeys.Append(MakeHotkey(L"no row", MOD_WIN, 0x59)); // "Key 0x59"
        hotkeys.Append(MakeHotkey(L"high", MOD_ALT, 0x1234ABCD));
        for (int row = 0; row < SYSTEM_COMMAND_ROWS; ++row) {
            ActionRecord action =
                CommandAction(static_cast<UINT>(row % 7), SystemCommandTable[row].code);
            action.commandName = static_cast<UINT>(row); // as the dialog writes it
            actions.Append(action);
        }
        actions.Append(CommandAction(8, 0x0B03)); // a code without a row
        WriteStore(hotkeys, actions);
        ExpectRoundTrip();
    }
    {
        SCOPED_TRACE("values the dialogs never make");
        Hotkeys hotkeys;
        Actions actions;
        HotkeyRecord odd =
            MakeHotkey(L"Odd é \xD83D\xDE00 \"quoted\" \\", CTRL_ALT | 0x4000, 'K', 2, 3);
        odd.reserved[0] = 0xAB;
        odd.reserved[1] = 0x01;
        hotkeys.Append(odd);
        hotkeys.Append(MakeHotkey(L"", 0, VK_F9, 0, 0));
        ActionRecord unknown = OpenAction(0, L"C:\\x y\\z.exe", L"--a \"b\"", L"C:\\w");
        unknown.kind = 7;
        unknown.commandCode = 0x0F00;
        unknown.commandName = 99;
        actions.Append(unknown);
        ActionRecord open = OpenAction(0, L"%USERPROFILE%\\todo.txt", L"", L"%TEMP%");
        open.commandCode = 5;
        open.commandName = 123456;
        actions.Append(open);
        ActionRecord command = CommandAction(1, 0x0A05);
        CopyBoundedText(command.target, ACTION_PATH_CHARS, L"left over");
        command.commandName = 77;
        actions.Append(command);
        WriteStore(hotkeys, actions);
        ExpectRoundTrip();
        const std::string file = ReadBytes(File(L"list.json"));
        EXPECT_NE(std::string::npos, file.find("\"enabledByte\": 2"));
        EXPECT_NE(std::string::npos,
                  file.find("\"reserved\": [\n        171,\n        1\n      ]"));
        EXPECT_NE(std::string::npos, file.find("\"kind\": 7"));
        EXPECT_NE(std::string::npos, file.find("Odd \xC3\xA9 \xF0\x9F\x98\x80")) << "UTF-8";
        EXPECT_EQ(std::string::npos, file.find("\"enabledByte\": 0")) << "only where they occur";
    }
    {
        SCOPED_TRACE("the same file as UTF-8 with a byte-order mark, and as UTF-16 with one, as "
                     "Windows PowerShell 5.1 writes it");
        const auto before = SnapshotStore();
        const std::wstring text = ToolRun::Decode(ReadBytes(File(L"list.json")));
        std::string utf16 = "\xFF\xFE";
        for (wchar_t c : text) {
            utf16 += static_cast<char>(c & 0xFF);
            utf16 += static_cast<char>(c >> 8);
        }
        WriteBytes(File(L"utf16.json"), utf16);
        WriteBytes(File(L"bom.json"), "\xEF\xBB\xBF" + ReadBytes(File(L"list.json")));
        for (const wchar_t* name : {L"utf16.json", L"bom.json"}) {
            Hotkeys other;
            Actions none;
            WriteStore(other, none);
            ToolRun imported = Pendrix(L"import " + Quoted(name));
            ASSERT_EQ(0u, imported.exitCode) << imported.Err().c_str();
            EXPECT_TRUE(before == SnapshotStore()) << "the store came back byte for byte";
        }
    }
}

TEST_F(Tool, AHandWrittenFileInTheDocumentedFormGivesItsRecords) {
    WriteBytes(File(L"hand.json"), R"({
  "pendrix": 1,
  "hotkeys": [
    {
      "title": "Sample Shortcut 2",
      "description": "Internet Explorer",
      "keys": "ctrl+shift+i",
      "enabled": true,
      "runSequentially": false,
      "actions": [
        { "open": "about:blank", "parameters": "", "startIn": "" },
        { "command": "lock system" }
      ]
    },
    { "title": "Wave", "keys": "WIN + ALT + Key 0x59", "enabled": false,
      "runSequentially": true, "actions": [ { "command": "0x0F02" } ] }
  ]
})");
    // Where the agent never ran, the import makes the store as its first
    // run would, with the autostart value naming the agent beside the tool.
    ASSERT_TRUE(SnapshotStore().empty());
    ToolRun run = Pendrix(L"import " + Quoted(L"hand.json"));
    ASSERT_EQ(0u, run.exitCode) << run.Err().c_str();
    EXPECT_EQ(L"\"" + TestProgramFolder() + L"pendrixd.exe\" /background", ReadAutostartValue());
    std::vector<HotkeyRecord> hotkeys = StoredHotkeys();
    ASSERT_EQ(2u, hotkeys.size());
    EXPECT_STREQ(L"Sample Shortcut 2", hotkeys[0].title);
    EXPECT_STREQ(L"Internet Explorer", hotkeys[0].description);
    EXPECT_EQ(static_cast<UINT>(MOD_CONTROL | MOD_SHIFT), hotkeys[0].modifiers);
    EXPECT_EQ(static_cast<UINT>('I'), hotkeys[0].virtualKey);
    EXPECT_EQ(1, hotkeys[0].enabled);
    EXPECT_EQ(0, hotkeys[0].runSequentially);
    EXPECT_EQ(static_cast<UINT>(MOD_WIN | MOD_ALT), hotkeys[1].modifiers);
    EXPECT_EQ(0x59u, hotkeys[1].virtualKey);
    EXPECT_EQ(0, hotkeys[1].enabled);
    EXPECT_EQ(1, hotkeys[1].runSequentially);
    std::vector<BYTE> node = ReadValue(StorePath(L"HEADER\\0\\1"), L"node");
    ASSERT_EQ(sizeof(ActionRecord), node.size());
    ActionRecord lock;
    memcpy(&lock, node.data(), sizeof lock);
    EXPECT_EQ(ACTION_SYS_COMMAND, lock.kind);
    EXPECT_EQ(0x0A0Bu, lock.commandCode) << "\"Lock System\", read without regard to case";
    node = ReadValue(StorePath(L"HEADER\\0\\0"), L"node");
    ActionRecord open;
    memcpy(&open, node.data(), sizeof open);
    EXPECT_STREQ(L"about:blank", open.target);
}

TEST_F(Tool, TypedTextsOpenOptionsAndTheAddedKeysAndCommandsTravelAndList) {
    WriteBytes(File(L"typing.json"), R"json({"pendrix": 1, "hotkeys": [
      {"title": "Signature", "keys": "Ctrl + Alt + ; (OEM 1)", "actions": [
        {"type": "Kind regards,\r\n{Tab}Ann {{x}}"},
        {"open": "notepad.exe", "ifRunning": "switch", "runAs": "administrator",
         "window": "minimized"},
        {"command": "center window"}]},
      {"title": "Y", "keys": "win+y", "actions": [{"open": "b.exe", "window": "maximized"}]},
      {"title": "Back", "keys": "ctrl + \\"}]})json");
    ToolRun run = Pendrix(L"import " + Quoted(L"typing.json"));
    ASSERT_EQ(0u, run.exitCode) << run.Err().c_str();
    const std::vector<HotkeyRecord> hotkeys = StoredHotkeys();
    ASSERT_EQ(3u, hotkeys.size());
    EXPECT_EQ(static_cast<UINT>(VK_OEM_1), hotkeys[0].virtualKey);
    EXPECT_EQ(static_cast<UINT>('Y'), hotkeys[1].virtualKey);
    EXPECT_EQ(static_cast<UINT>(VK_OEM_5), hotkeys[2].virtualKey) << "a US character alone";
    ActionRecord type, open;
    memcpy(&type, ReadValue(StorePath(L"HEADER\\0\\0"), L"node").data(), sizeof type);
    memcpy(&open, ReadValue(StorePath(L"HEADER\\0\\1"), L"node").data(), sizeof open);
    EXPECT_EQ(ACTION_TYPE_TEXT, type.kind);
    EXPECT_STREQ(L"Kind regards,\r\n{Tab}Ann {{x}}", type.target);
    EXPECT_EQ(OPEN_SWITCH_IF_RUNNING | OPEN_RUN_AS_ADMINISTRATOR | OPEN_WINDOW_MINIMIZED,
              open.commandCode);

    ToolRun list = Pendrix(L"list");
    ASSERT_EQ(0u, list.exitCode);
    EXPECT_EQ(L"1  on   ALT + Ctrl + ; (OEM 1)  Signature\r\n"
              L"        type Kind regards,{Enter}{Tab}Ann {{x}}\r\n"
              L"        open notepad.exe  (switching to it if it runs, as administrator, "
              L"minimized)\r\n"
              L"        command Center Window\r\n"
              L"2  on   Win + Y                 Y\r\n"
              L"        open b.exe  (maximized)\r\n"
              L"3  on   Ctrl + \\ (OEM 5)        Back\r\n",
              list.Out());
    ExpectRoundTrip();
    const std::string file = ReadBytes(File(L"list.json"));
    EXPECT_NE(std::string::npos, file.find("\"type\": \"Kind regards,\\r\\n{Tab}Ann {{x}}\""));
    EXPECT_NE(std::string::npos, file.find("\"window\": \"maximized\""));
    EXPECT_EQ(std::string::npos, file.find("commandCode")) << "only the documented members";
}

TEST_F(Tool, HotkeysForChosenProgramsTravelListAndMergeByWhichProgramsCanHaveBoth) {
    WriteBytes(File(L"programs.json"), R"({"pendrix": 1, "hotkeys": [
      {"title": "Mail", "keys": "Ctrl + Shift + N", "onlyIn": ["notepad", " winword.exe"],
       "actions": [{"type": "Dear "}]},
      {"title": "Elsewhere", "keys": "Ctrl + Shift + N", "notIn": ["notepad", "winword"]},
      {"title": "Plain", "keys": "Ctrl + Shift + N"}]})");
    ToolRun run = Pendrix(L"import " + Quoted(L"programs.json"));
    ASSERT_EQ(0u, run.exitCode) << run.Err().c_str();
    EXPECT_NE(std::wstring::npos, run.Out().find(L"Imported 3 hotkeys with 1 action from"))
        << "the programs are no action: " << run.Out().c_str();
    ActionRecord rule;
    memcpy(&rule, ReadValue(StorePath(L"HEADER\\0\\0"), L"node").data(), sizeof rule);
    EXPECT_EQ(ACTION_PROGRAMS, rule.kind);
    EXPECT_EQ(PROGRAMS_ONLY_IN, rule.commandCode);
    EXPECT_STREQ(L"notepad;winword.exe", rule.target) << "stored first, joined by \";\"";
    ToolRun list = Pendrix(L"list");
    EXPECT_EQ(L"1  on   Ctrl + Shift + N  Mail  (Only in: notepad, winword.exe)\r\n"
              L"        type Dear \r\n"
              L"2  on   Ctrl + Shift + N  Elsewhere  (Not in: notepad, winword)\r\n"
              L"3  on   Ctrl + Shift + N  Plain\r\n",
              list.Out());
    ExpectRoundTrip();
    EXPECT_NE(std::string::npos, ReadBytes(File(L"list.json")).find("\"onlyIn\": ["));

    // A merge takes a hotkey only where no program can have both.
    WriteBytes(File(L"more.json"), R"({"pendrix": 1, "hotkeys": [
      {"title": "Notepad too", "keys": "Ctrl + Shift + N", "onlyIn": ["NOTEPAD.EXE"]},
      {"title": "Code", "keys": "Ctrl + Shift + N", "onlyIn": ["code"]},
      {"title": "Code M", "keys": "Ctrl + Shift + M", "onlyIn": ["code"]}]})");
    ToolRun merge = Pendrix(L"import --merge " + Quoted(L"more.json"));
    ASSERT_EQ(0u, merge.exitCode) << merge.Err().c_str();
    EXPECT_NE(std::wstring::npos, merge.Out().find(L"Added 1 hotkey with 0 actions"));
    EXPECT_NE(std::wstring::npos,
              merge.Out().find(L"Skipped hotkey 1 \"Notepad too\" (Ctrl + Shift + N): the list "
                               L"already has Ctrl + Shift + N for a program both work in, in "
                               L"hotkey 1 \"Mail\" (Ctrl + Shift + N)."))
        << merge.Out().c_str();
    EXPECT_NE(std::wstring::npos, merge.Out().find(L"in hotkey 2 \"Elsewhere\""))
        << "\"not in\" notepad and winword admits code";
    std::vector<HotkeyRecord> stored = StoredHotkeys();
    ASSERT_EQ(4u, stored.size());
    EXPECT_STREQ(L"Code M", stored[3].title);
}

TEST_F(Tool, EveryBadFileIsRefusedWithItsPlaceAndLeavesTheStoreAlone) {
    Hotkeys hotkeys;
    Actions actions;
    AddDefaultHotkeys(hotkeys, actions);
    WriteStore(hotkeys, actions);
    const auto before = SnapshotStore();
    const std::string longTitle =
        "{\"pendrix\": 1, \"hotkeys\": [{\"keys\": \"Ctrl + A\", \"title\": \"" +
        std::string(40, 'x') + "\"}]}";
    const struct {
        const char* file;
        const wchar_t* message;
    } cases[] = {
        {"", L"the file is empty"},
        {"{\n  \"pendrix\": 1,\n  \"hotkeys\": [ { \"title\": \"A\", }\n]}", L"line 3, column"},
        {"[1, 2]", L"the file must hold one object"},
        {"{\"pendrix\": 2, \"hotkeys\": []}", L"\"pendrix\" must be 1"},
        {"{\"pendrix\": 1, \"hotkeys\": {}}", L"\"hotkeys\" must be a list"},
        {"{\"pendrix\": 1, \"hotkeys\": [{\"keys\": \"Ctrl + A\"}, {\"keys\": \"Ctrl + B\", "
         "\"enabled\": \"yes\"}]}",
         L"hotkey 2: \"enabled\" must be true or false"},
        {longTitle.c_str(),
         L"hotkey 1: \"title\" is 40 characters long; the field holds at most 31"},
        {"{\"pendrix\": 1, \"hotkeys\": [{\"keys\": \"Ctrl + Shift + Foo\"}]}",
         L"hotkey 1: \"keys\" \"Ctrl + Shift + Foo\": unknown key \"foo\""},
        {"{\"pendrix\": 1, \"hotkeys\": [{\"keys\": \"Hyper + A\"}]}",
         L"unknown modifier \"hyper\""},
        {"{\"pendrix\": 1, \"hotkeys\": [{\"keys\": \"Ctrl + A\", \"actions\": [{\"command\": "
         "\"Lock Sytem\"}]}]}",
         L"hotkey 1, action 1: unknown command \"Lock Sytem\""},
        {"{\"pendrix\": 1, \"hotkeys\": [{\"keys\": \"Ctrl + A\", \"titel\": \"x\"}]}",
         L"hotkey 1: unknown member \"titel\""},
        {"{\"pendrix\": 1, \"hotkeys\": [{\"keys\": \"Ctrl + A\", \"actions\": [{\"open\": 5}]}]}",
         L"hotkey 1, action 1: \"open\" must be a text"},
        {"{\"pendrix\": 1, \"hotkeys\": [{\"keys\": \"Ctrl + Key 0x1FF\"}]}",
         L"hotkey 1: \"keys\" \"Ctrl + Key 0x1FF\": the key code must be from 1 to 254"},
        {"{\"pendrix\": 1,\n \"hotkeys\": [{\"title\": \"Caf\xE9\"}]}",
         L"line 2, column 28: the file is not UTF-8 text, nor UTF-16 with a byte-order mark"},
        {"{\0\"\0p\0", L"line 1, column 2: the file is not UTF-8 text"},
        {"{\"pendrix\": 1, \"hotkeys\": [{\"keys\": \"Ctrl + A\", \"actions\": [{\"type\": "
         "\"a{Ctrl + Foo}\"}]}]}",
         L"hotkey 1, action 1: \"type\": {Ctrl + Foo} names no key."},
        {"{\"pendrix\": 1, \"hotkeys\": [{\"keys\": \"Ctrl + A\", \"actions\": [{\"open\": "
         "\"a\", \"window\": \"hidden\"}]}]}",
         L"\"window\" is \"normal\", \"minimized\" or \"maximized\""},
        {"{\"pendrix\": 1, \"hotkeys\": [{\"keys\": \"Ctrl + A\", \"onlyIn\": [\"a\"], "
         "\"notIn\": [\"b\"]}]}",
         L"hotkey 1: a hotkey has \"onlyIn\" or \"notIn\", never both"},
    };
    int n = 0;
    for (const auto& bad : cases) {
        SCOPED_TRACE(std::to_string(++n));
        const std::wstring name = L"bad" + std::to_wstring(n) + L".json";
        const char* end = bad.file + strlen(bad.file);
        if (bad.file[0] == '{' && bad.file[1] == '\0')
            end = bad.file + 6; // UTF-16 without its byte-order mark
        WriteBytes(File(name.c_str()), std::string(bad.file, end));
        ToolRun run = Pendrix(L"import " + Quoted(name.c_str()));
        EXPECT_EQ(1u, run.exitCode);
        EXPECT_NE(std::wstring::npos, run.Err().find(bad.message)) << run.Err().c_str();
        EXPECT_NE(std::wstring::npos, run.Err().find(L"Nothing was imported."));
        EXPECT_TRUE(before == SnapshotStore()) << "the store is untouched";
    }
    ToolRun absent = Pendrix(L"import " + Quoted(L"no such file.json"));
    EXPECT_EQ(1u, absent.exitCode);
    EXPECT_NE(std::wstring::npos, absent.Err().find(L"cannot read"));
    EXPECT_TRUE(before == SnapshotStore());
}

TEST_F(Tool, MergeSkipsKnownCombinationsAndAnOpenDialogRefusesImports) {
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Mine", CTRL_ALT, VK_F5));
    actions.Append(OpenAction(0, L"mine.exe"));
    WriteStore(hotkeys, actions);
    WriteBytes(File(L"more.json"), R"({"pendrix": 1, "hotkeys": [
      {"title": "Same keys", "keys": "Ctrl + ALT + F5", "actions": [{"open": "theirs.exe"}]},
      {"title": "New", "keys": "Ctrl + ALT + F6", "actions": [{"open": "new.exe"}]}]})");
    ToolRun merge = Pendrix(L"import --merge " + Quoted(L"more.json"));
    ASSERT_EQ(0u, merge.exitCode) << merge.Err().c_str();
    EXPECT_NE(std::wstring::npos,
              merge.Out().find(L"Skipped hotkey 1 \"Same keys\" (ALT + Ctrl + F5): the list "
                               L"already has ALT + Ctrl + F5."))
        << merge.Out().c_str();
    std::vector<HotkeyRecord> stored = StoredHotkeys();
    ASSERT_EQ(2u, stored.size());
    EXPECT_STREQ(L"Mine", stored[0].title);
    EXPECT_STREQ(L"New", stored[1].title);
    std::vector<BYTE> node = ReadValue(StorePath(L"HEADER\\1\\0"), L"node");
    ASSERT_EQ(sizeof(ActionRecord), node.size());
    EXPECT_STREQ(L"new.exe", reinterpret_cast<const ActionRecord*>(node.data())->target);

    // With the real dialog open, nothing is written.
    const auto before = SnapshotStore();
    LibraryUnderTest library;
    ConfigureRun dialog(library.configure());
    ASSERT_NE(nullptr, dialog.WaitForDialog());
    ToolRun refused = Pendrix(L"import " + Quoted(L"more.json"));
    EXPECT_EQ(1u, refused.exitCode);
    EXPECT_NE(std::wstring::npos, refused.Err().find(L"a configuration dialog is open"));
    EXPECT_EQ(1u, Pendrix(L"disable 1").exitCode);
    EXPECT_TRUE(before == SnapshotStore());
}

TEST_F(Tool, TheRunningAgentReloadsRunsAndReportsWhatItCouldNotRegister) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Old", CTRL_ALT, VK_F4));
    WriteStore(hotkeys, actions);
    ToolRun none = Pendrix(L"reload");
    EXPECT_EQ(1u, none.exitCode);
    EXPECT_NE(std::wstring::npos, none.Err().find(L"no agent is running"));
    ASSERT_TRUE(Start());

    // An imported hotkey fires at once; one whose keys are taken is named.
    auto taken = std::make_unique<HeldCombinations>(CTRL_ALT, std::initializer_list<UINT>{VK_F7});
    ASSERT_TRUE(taken->held());
    Hotkeys next;
    Actions nextActions;
    next.Append(MakeHotkey(L"Imported", CTRL_ALT, VK_F6));
    next.Append(MakeHotkey(L"Taken", CTRL_ALT, VK_F7));
    next.Append(MakeHotkey(L"Twin", CTRL_ALT, VK_F6));
    // With this program in front, two hotkeys for it on one combination: the
    // second stands in the first's way, not in that of the unlimited one.
    next.Append(MakeHotkey(L"Anywhere", CTRL_ALT, VK_F9));
    next.Append(MakeHotkey(L"Tests'", CTRL_ALT, VK_F9));
    next.Append(MakeHotkey(L"Tests' twin", CTRL_ALT, VK_F9));
    // Twins for a program not in front are stored off at once all the same.
    next.Append(MakeHotkey(L"Notepad's", CTRL_ALT, VK_F10));
    next.Append(MakeHotkey(L"Notepad's twin", CTRL_ALT, VK_F10));
    nextActions.Append(ProbeAction(0, log_, L"imported"));
    nextActions.Append(ProbeAction(1, log_, L"second"));
    nextActions.Append(ProgramsAction(4, PROGRAMS_ONLY_IN, L"cli_tests"));
    nextActions.Append(ProgramsAction(5, PROGRAMS_NOT_IN, L"notepad"));
    nextActions.Append(ProgramsAction(6, PROGRAMS_ONLY_IN, L"notepad.exe"));
    nextActions.Append(ProgramsAction(7, PROGRAMS_ONLY_IN, L"wordpad; Notepad"));
    WriteStore(next, nextActions);
    ASSERT_EQ(0u, Pendrix(L"export " + Quoted(L"next.json")).exitCode);
    WriteStore(hotkeys, actions);
    ASSERT_EQ(static_cast<LRESULT>(AGENT_RELOAD), Reload());
    ToolRun imported;
    {
        FrontWindow front;
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == front.window(); }));
        imported = Pendrix(L"import " + Quoted(L"next.json"));
    }
    taken.reset();
    EXPECT_EQ(1u, imported.exitCode);
    EXPECT_NE(std::wstring::npos,
              imported.Err().find(L"could not register hotkey 2 \"Taken\" (ALT + Ctrl + F7): "
                                  L"another program uses these keys"))
        << imported.Err().c_str();
    EXPECT_NE(std::wstring::npos,
              imported.Err().find(L"could not register hotkey 3 \"Twin\" (ALT + Ctrl + F6): it "
                                  L"has the same keys as hotkey 1"))
        << imported.Err().c_str();
    EXPECT_NE(std::wstring::npos, imported.Err().find(L"could not register hotkey 6 \"Tests' "
                                                      L"twin\" (ALT + Ctrl + F9): it has the "
                                                      L"same keys as hotkey 5"))
        << imported.Err().c_str();
    EXPECT_NE(std::wstring::npos, imported.Err().find(L"could not register hotkey 8 \"Notepad's "
                                                      L"twin\" (ALT + Ctrl + F10): it has the "
                                                      L"same keys as hotkey 7"))
        << imported.Err().c_str();
    EXPECT_EQ(1, StoredHotkeys()[6].enabled);
    EXPECT_EQ(0, StoredHotkeys()[7].enabled);
    PressCombination(CTRL_ALT, VK_F6);
    EXPECT_TRUE(WaitFor([this] { return RunsOf(ReadProbeLog(log_), L"imported").size() == 1; }));

    // run N: the agent runs it as a press; a disabled one is refused.
    ToolRun run = Pendrix(L"run 1");
    EXPECT_EQ(0u, run.exitCode) << run.Err().c_str();
    EXPECT_TRUE(WaitFor([this] { return RunsOf(ReadProbeLog(log_), L"imported").size() == 2; }));
    ToolRun disabled = Pendrix(L"run 2");
    EXPECT_EQ(1u, disabled.exitCode);
    EXPECT_NE(std::wstring::npos, disabled.Err().find(L"is disabled"));

    // enable / disable reach the agent's registrations.
    ToolRun enable = Pendrix(L"enable 2");
    EXPECT_EQ(0u, enable.exitCode) << enable.Err().c_str();
    EXPECT_TRUE(CombinationIsTaken(CTRL_ALT, VK_F7));
    EXPECT_EQ(1, StoredHotkeys()[1].enabled);
    EXPECT_EQ(0u, Pendrix(L"disable 1").exitCode);
    EXPECT_FALSE(CombinationIsTaken(CTRL_ALT, VK_F6));
    EXPECT_EQ(0, StoredHotkeys()[0].enabled);
    ToolRun reload = Pendrix(L"reload");
    EXPECT_EQ(0u, reload.exitCode);
    EXPECT_EQ(L"The agent reloaded the list.\r\n", reload.Out());
    EXPECT_TRUE(Alive());
}

TEST_F(Tool, AConsoleShowsEveryCharacterOfTheList) {
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Caf\x00E9 \x041C\x0438\x0440 \x4E2D", CTRL_ALT, VK_F9));
    WriteStore(hotkeys, actions);
    // A console of this test's own, which the tool inherits and writes to.
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    HANDLE screen =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, screen);
    const std::wstring program = TestProgramFolder() + L"pendrix.exe";
    std::wstring commandLine = L"\"" + program + L"\" list";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 60000));
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    wchar_t shown[200] = {};
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, shown, 199, COORD{0, 0}, &read);
    CloseHandle(screen);
    FreeConsole();
    EXPECT_NE(std::wstring::npos,
              std::wstring(shown, read)
                  .find(L"1  on   ALT + Ctrl + F9  Caf\x00E9 \x041C\x0438\x0440 \x4E2D"))
        << "the console got the title as it is";
}

namespace {

// A file of `count` hotkeys titled "<tag> <n>", each opening "<tag>.exe",
// on combinations no other test uses: three or four modifiers with a digit,
// a letter or an F-key, from combination number `first` on.
std::string ManyHotkeysFile(const std::string& tag, UINT first, UINT count) {
    const char* modifiers[] = {"Ctrl + Alt + Shift", "Ctrl + Alt + Win", "Alt + Shift + Win",
                               "Ctrl + Shift + Win", "Ctrl + Alt + Shift + Win"};
    std::vector<UINT> keys;
    for (UINT key = '0'; key <= '9'; ++key)
        keys.push_back(key);
    for (UINT key = 'A'; key <= 'Z'; ++key)
        keys.push_back(key);
    for (UINT key = VK_F1; key <= VK_F24; ++key)
        keys.push_back(key);
    std::string file = "{\"pendrix\": 1, \"hotkeys\": [";
    for (UINT n = 0; n < count; ++n) {
        const UINT combination = first + n;
        char keyText[16];
        snprintf(keyText, sizeof keyText, "Key 0x%02X", keys[combination % keys.size()]);
        file += std::string(n ? "," : "") + "\n{\"title\": \"" + tag + " " + std::to_string(n) +
                "\", \"keys\": \"" + modifiers[combination / keys.size()] + " + " + keyText +
                "\", \"actions\": [{\"open\": \"" + tag + ".exe\"}]}";
    }
    return file + "]}\n";
}

// The stored titles, read while no writer is in the middle of a save.
std::vector<std::wstring> StoredTitles() {
    store_detail::StoreLock lock;
    std::vector<std::wstring> titles;
    for (const HotkeyRecord& hotkey : StoredHotkeys())
        titles.push_back(hotkey.title);
    return titles;
}

struct Reloader {
    HWND agent;
    volatile LONG stop;
    volatile LONG reloads;
};

// Asks the agent to reload, over and over, as other dialogs and tools do.
DWORD WINAPI KeepReloading(void* parameter) {
    Reloader* reloader = static_cast<Reloader*>(parameter);
    while (!reloader->stop) {
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(reloader->agent, AGENT_RELOAD, 0, 0, SMTO_ABORTIFHUNG, 60000, &answer);
        InterlockedIncrement(&reloader->reloads);
    }
    return 0;
}

} // namespace

TEST_F(Tool, ImportsCrossingTheAgentsReloadsAndTwoMergesAtOnceLoseNothing) {
    Install(Library::None);
    ASSERT_TRUE(Start());
    const int rounds = ProbeRounds(6, 20);

    // Each import of 250 hotkeys lands while the agent reloads, again and
    // again; once it has ended, the store holds what it imported.
    WriteBytes(File(L"a.json"), ManyHotkeysFile("A", 0, 250));
    WriteBytes(File(L"b.json"), ManyHotkeysFile("B", 0, 250));
    Reloader reloader = {window_, 0, 0};
    HANDLE thread = CreateThread(nullptr, 0, KeepReloading, &reloader, 0, nullptr);
    int lost = 0;
    for (int round = 0; round < rounds; ++round) {
        const std::wstring tag = round % 2 ? L"B " : L"A ";
        ToolRun run = Pendrix(L"import " + Quoted(round % 2 ? L"b.json" : L"a.json"));
        EXPECT_EQ(0u, run.exitCode) << run.Err().c_str();
        // A reload that was in flight during the import ends with its save:
        // the list is read once that has happened.
        const LONG reloadsSoFar = reloader.reloads;
        WaitFor([&] { return reloader.reloads >= reloadsSoFar + 2; }, 30000);
        const std::vector<std::wstring> titles = StoredTitles();
        const bool whole = titles.size() == 250 &&
                           std::all_of(titles.begin(), titles.end(), [&](const std::wstring& t) {
                               return t.compare(0, 2, tag) == 0;
                           });
        lost += !whole;
    }
    reloader.stop = 1;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 120000));
    CloseHandle(thread);
    printf("%d imports crossed %ld reloads\n", rounds, reloader.reloads);
    EXPECT_GT(reloader.reloads, rounds) << "the reloads ran all along";
    EXPECT_EQ(0, lost) << "imports the agent wrote over";

    // Two merges started at once: both report success, and both are there.
    WriteBytes(File(L"m1.json"), ManyHotkeysFile("M1", 260, 2));
    WriteBytes(File(L"m2.json"), ManyHotkeysFile("M2", 262, 2));
    lost = 0;
    for (int round = 0; round < rounds; ++round) {
        Hotkeys base;
        Actions none;
        base.Append(MakeHotkey(L"Base", CTRL_ALT, VK_F3));
        WriteStore(base, none);
        ASSERT_EQ(static_cast<LRESULT>(AGENT_RELOAD), Reload());
        Started first = StartPendrix(L"import --merge " + Quoted(L"m1.json"));
        Started second = StartPendrix(L"import --merge " + Quoted(L"m2.json"));
        const ToolRun one = Finish(first);
        const ToolRun two = Finish(second);
        EXPECT_EQ(0u, one.exitCode) << one.Err().c_str();
        EXPECT_EQ(0u, two.exitCode) << two.Err().c_str();
        std::vector<std::wstring> titles = StoredTitles();
        std::sort(titles.begin(), titles.end());
        lost += titles != std::vector<std::wstring>{L"Base", L"M1 0", L"M1 1", L"M2 0", L"M2 1"};
    }
    EXPECT_EQ(0, lost) << "merges that lost the other's hotkeys";
    EXPECT_TRUE(Alive());
}

TEST_F(Tool, ASaveThatFailsNeverGoesLiveAndIsSaidEverywhere) {
    Install(Library::None);
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Kept", CTRL_ALT, VK_F9));
    actions.Append(OpenAction(0, L"kept.exe"));
    WriteStore(hotkeys, actions);
    ASSERT_TRUE(Start());
    WriteBytes(File(L"other.json"), ManyHotkeysFile("Other", 0, 3));
    LibraryUnderTest library;
    ConfigureRun run(library.configure());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(nullptr, dialog);
    ClickListRow(GetDlgItem(dialog, 1009), 0);
    ASSERT_TRUE(Checked(dialog, 1011));

    // The live tree can be read but neither written nor renamed: the new
    // tree is written beside it and cannot be swapped in.
    {
        const auto before = SnapshotStore();
        ReadOnlyKey header(StorePath(L"HEADER"));
        ASSERT_TRUE(header.locked());
        ASSERT_TRUE(header.Denies()) << "the registry here does not deny the key";

        // The dialog: one message box with the system's reason; the edit stays.
        PostMessageW(GetDlgItem(dialog, 1011), BM_CLICK, 0, 0);
        HWND box = WaitForMessageBox(dialog);
        ASSERT_NE(nullptr, box);
        const std::wstring said = MessageBoxText(box);
        EXPECT_NE(std::wstring::npos, said.find(L"The change could not be saved.")) << said.c_str();
        EXPECT_GT(said.size(), wcslen(L"The change could not be saved.") + 4) << "with a reason";
        EXPECT_EQ(L"Pendrix", WindowText(box));
        ASSERT_TRUE(AnswerMessageBox(box, IDOK));
        EXPECT_EQ(nullptr, WaitForMessageBox(dialog, 500)) << "one box";
        EXPECT_FALSE(Checked(dialog, 1011)) << "the edit stays in the dialog";
        EXPECT_TRUE(CombinationIsTaken(CTRL_ALT, VK_F9)) << "the agent was not told";

        // Closing saves the edit once more, and says so once more.
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        HWND closing = nullptr;
        EXPECT_TRUE(WaitFor([&] {
            closing = FindDialogOfThread(run.threadId(), L"Pendrix");
            return closing && IsWindowVisible(closing);
        }));
        EXPECT_NE(std::wstring::npos,
                  MessageBoxText(closing).find(L"The changes could not be saved."));
        EXPECT_TRUE(AnswerMessageBox(closing, IDOK));
        EXPECT_TRUE(run.Ended(10000));

        // The tool, once no dialog is open.
        ToolRun imported = Pendrix(L"import " + Quoted(L"other.json"));
        EXPECT_EQ(1u, imported.exitCode);
        EXPECT_NE(std::wstring::npos, imported.Err().find(L"cannot write the list to the "
                                                          L"registry; nothing was imported: "))
            << imported.Err().c_str();

        // The agent reads what it can, writes nothing back, and says so once.
        EXPECT_EQ(static_cast<LRESULT>(AGENT_RELOAD), Reload());
        EXPECT_TRUE(before == SnapshotStore()) << "no failed save went live";
        EXPECT_NE(std::wstring::npos,
                  WaitForBalloon(8000).text.find(
                      L"Pendrix could not read or save the whole list of hotkeys: "));
    }
    // The store holds the old list, whole, and takes the next save.
    const std::vector<HotkeyRecord> stored = StoredHotkeys();
    ASSERT_EQ(1u, stored.size());
    EXPECT_STREQ(L"Kept", stored[0].title);
    ToolRun imported = Pendrix(L"import " + Quoted(L"other.json"));
    EXPECT_EQ(0u, imported.exitCode) << imported.Err().c_str();
    EXPECT_EQ(3u, StoredHotkeys().size());
}

namespace {

// Another writer that holds the store, as a console paused in the middle of
// an import would: on a thread of its own, until Release, when it may write
// a list of its own first.
class StoreHolder {
  public:
    StoreHolder() {
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
        WaitForSingleObject(held_, 10000);
    }
    ~StoreHolder() { Release(); }
    void Release(const Hotkeys* hotkeys = nullptr) {
        if (!thread_)
            return;
        hotkeys_ = hotkeys;
        SetEvent(release_);
        WaitForSingleObject(thread_, 30000);
        CloseHandle(thread_);
        thread_ = nullptr;
    }

  private:
    static DWORD WINAPI Run(void* parameter) {
        StoreHolder* self = static_cast<StoreHolder*>(parameter);
        store_detail::StoreLock lock;
        SetEvent(self->held_);
        WaitForSingleObject(self->release_, 120000);
        if (self->hotkeys_)
            WriteStore(*self->hotkeys_, Actions());
        return 0;
    }
    HANDLE held_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread_ = nullptr;
    const Hotkeys* hotkeys_ = nullptr;
};

} // namespace

TEST_F(Tool, AStoreHeldElsewhereLeavesTheAgentAnsweringAndTheToolAndDialogWritingNothing) {
    Install(Library::None);
    HeldCombinations taken(CTRL_ALT, {VK_F5});
    ASSERT_TRUE(taken.held());
    Hotkeys hotkeys;
    hotkeys.Append(MakeHotkey(L"Kept", CTRL_ALT, VK_F9));
    hotkeys.Append(MakeHotkey(L"Taken", CTRL_ALT, VK_F5));
    WriteStore(hotkeys, Actions());
    {
        // A start whose load finds the store held loads once it is free, and
        // still names what the system refused.
        StoreHolder holder;
        ASSERT_TRUE(Start());
        Sleep(1000);
        EXPECT_FALSE(CombinationIsTaken(CTRL_ALT, VK_F9)) << "not loaded yet";
        holder.Release();
        EXPECT_TRUE(WaitFor([] { return CombinationIsTaken(CTRL_ALT, VK_F9); }, 5000));
        const Balloon balloon = WaitForBalloon(8000);
        EXPECT_NE(std::wstring::npos, balloon.text.find(L"Taken (ALT + Ctrl + F5)"))
            << "the start-up balloon";
    }
    WriteBytes(File(L"other.json"), ManyHotkeysFile("Other", 0, 3));
    LibraryUnderTest library;
    ConfigureRun run(library.configure());
    HWND dialog = run.WaitForDialog();
    ASSERT_NE(nullptr, dialog);
    ClickListRow(GetDlgItem(dialog, 1009), 0);
    ASSERT_TRUE(Checked(dialog, 1011));
    const auto before = SnapshotStore();

    StoreHolder holder;
    // The agent answers at once, keeps its hotkeys and reloads once it can.
    const DWORD asked = GetTickCount();
    EXPECT_EQ(0, Reload()) << "not reloaded now";
    EXPECT_LT(GetTickCount() - asked, 2000u) << "the agent's thread did not wait for the store";
    EXPECT_TRUE(CombinationIsTaken(CTRL_ALT, VK_F9));
    // The tool and the dialog wait their while, then write nothing and say so.
    Started import = StartPendrix(L"import " + Quoted(L"other.json"));
    PostMessageW(GetDlgItem(dialog, 1011), BM_CLICK, 0, 0);
    HWND box = WaitForMessageBox(dialog, 45000);
    ASSERT_NE(nullptr, box);
    EXPECT_NE(std::wstring::npos, MessageBoxText(box).find(L"The change could not be saved."));
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_FALSE(Checked(dialog, 1011)) << "the edit stays in the dialog";
    const ToolRun imported = Finish(import);
    EXPECT_EQ(1u, imported.exitCode);
    EXPECT_NE(std::wstring::npos, imported.Err().find(L"nothing was imported"))
        << imported.Err().c_str();
    EXPECT_TRUE(before == SnapshotStore()) << "nothing written";

    Hotkeys written;
    written.Append(MakeHotkey(L"Kept", CTRL_ALT, VK_F9));
    written.Append(MakeHotkey(L"Written meanwhile", CTRL_ALT, VK_F10));
    holder.Release(&written);
    EXPECT_TRUE(WaitFor([] { return CombinationIsTaken(CTRL_ALT, VK_F10); }, 5000))
        << "the reload came once the store was free";
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitFor([&] {
        HWND closing = FindDialogOfThread(run.threadId(), L"Pendrix");
        if (closing && IsWindowVisible(closing))
            AnswerMessageBox(closing, IDOK);
        return run.Ended(100);
    }));
    EXPECT_TRUE(Alive());
}

namespace {

// A user's Path of `length` characters: folders of their own, some with a
// variable in them.
std::wstring UserPathOf(size_t length, bool trailingSeparator) {
    std::wstring path;
    for (int n = 0; path.size() < length; ++n)
        path += (path.empty() ? L"" : L";") +
                std::wstring(n % 3 ? L"C:\\Tools\\" : L"%APPDATA%\\") + std::to_wstring(n);
    path.resize(length - (trailingSeparator ? 1 : 0));
    if (path.back() == L';')
        path.back() = L'x';
    return trailingSeparator ? path + L";" : path;
}

struct UserPathValue {
    DWORD type = 0;
    std::wstring text;
    bool exists = false;
};

UserPathValue ReadUserPath() {
    UserPathValue value;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Environment", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, L"Path", nullptr, &value.type, nullptr, &bytes) == ERROR_SUCCESS) {
        std::vector<wchar_t> data(bytes / 2 + 1);
        RegQueryValueExW(key, L"Path", nullptr, &value.type, reinterpret_cast<BYTE*>(data.data()),
                         &bytes);
        value.text = data.data();
        value.exists = true;
    }
    RegCloseKey(key);
    return value;
}

void WriteUserPath(DWORD type, const std::wstring& text) {
    WriteValue(L"Environment", L"Path", type, text.c_str(),
               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void DeleteUserPath() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Environment", 0, KEY_ALL_ACCESS, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueW(key, L"Path");
        RegCloseKey(key);
    }
}

} // namespace

TEST_F(Tool, ThePathOfAnyLengthKeepsEveryEntryAndItsTypeAndGetsTheFolderOnceAndBackExactly) {
    const std::wstring folder = L"C:\\Users\\Me\\AppData\\Local\\Programs\\Pendrix";
    const std::wstring quoted = L"\"" + folder + L"\"";
    for (size_t length : {900u, 2000u, 30000u}) {
        for (bool trailing : {false, true}) {
            for (DWORD type : {static_cast<DWORD>(REG_SZ), static_cast<DWORD>(REG_EXPAND_SZ)}) {
                SCOPED_TRACE(std::to_string(length) + (trailing ? " with ;" : " without ;") +
                             (type == REG_SZ ? " REG_SZ" : " REG_EXPAND_SZ"));
                const std::wstring mine = UserPathOf(length, trailing);
                ASSERT_EQ(length, mine.size());
                WriteUserPath(type, mine);
                ToolRun added = Pendrix(L"path add " + quoted);
                EXPECT_EQ(0u, added.exitCode) << added.Err().c_str();
                UserPathValue now = ReadUserPath();
                EXPECT_EQ(type, now.type);
                EXPECT_EQ(trailing ? mine + folder + L";" : mine + L";" + folder, now.text);
                EXPECT_EQ(3u, Pendrix(L"path add " + quoted).exitCode) << "once";
                EXPECT_EQ(trailing ? mine + folder + L";" : mine + L";" + folder,
                          ReadUserPath().text);
                ToolRun removed = Pendrix(L"path remove " + quoted);
                EXPECT_EQ(0u, removed.exitCode) << removed.Err().c_str();
                now = ReadUserPath();
                EXPECT_EQ(type, now.type);
                EXPECT_TRUE(mine == now.text) << "exactly the user's own Path again";
            }
        }
    }
    {
        SCOPED_TRACE("already there, written by the user another way");
        const std::wstring mine = L"C:\\Tools;" + folder + L"\\;D:\\bin";
        WriteUserPath(REG_EXPAND_SZ, mine);
        EXPECT_EQ(3u, Pendrix(L"path add " + quoted).exitCode);
        EXPECT_EQ(mine, ReadUserPath().text);
    }
    {
        SCOPED_TRACE("moved to the middle by the user, then removed");
        WriteUserPath(REG_SZ, L"C:\\Tools;" + folder + L";D:\\bin");
        EXPECT_EQ(0u, Pendrix(L"path remove " + quoted).exitCode);
        EXPECT_EQ(L"C:\\Tools;D:\\bin", ReadUserPath().text);
    }
    {
        SCOPED_TRACE("too long to add: nothing written");
        const std::wstring mine = UserPathOf(32767 - 10, false);
        WriteUserPath(REG_EXPAND_SZ, mine);
        ToolRun refused = Pendrix(L"path add " + quoted);
        EXPECT_EQ(1u, refused.exitCode);
        EXPECT_NE(std::wstring::npos, refused.Err().find(L"longer than the system allows"));
        EXPECT_TRUE(mine == ReadUserPath().text);
    }
    {
        SCOPED_TRACE("not text: left alone");
        const DWORD number = 7;
        WriteValue(L"Environment", L"Path", REG_DWORD, &number, sizeof number);
        EXPECT_EQ(1u, Pendrix(L"path add " + quoted).exitCode);
        EXPECT_EQ(1u, Pendrix(L"path remove " + quoted).exitCode);
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), ReadUserPath().type);
    }
    {
        SCOPED_TRACE("no Path at all: the folder alone, and none again after");
        DeleteUserPath();
        EXPECT_EQ(0u, Pendrix(L"path add " + quoted).exitCode);
        EXPECT_EQ(folder, ReadUserPath().text);
        EXPECT_EQ(0u, Pendrix(L"path remove " + quoted).exitCode);
        EXPECT_FALSE(ReadUserPath().exists);
    }
    DeleteUserPath();
}

TEST_F(Tool, MouseTriggersTravelAndListAndPauseAndResumeReachTheAgent) {
    {
        SCOPED_TRACE("no agent");
        ToolRun paused = Pendrix(L"pause");
        EXPECT_EQ(1u, paused.exitCode);
        EXPECT_NE(std::wstring::npos, paused.Err().find(L"no agent is running"));
    }
    WriteBytes(File(L"mouse.json"),
               "{\"pendrix\": 1, \"hotkeys\": ["
               "{\"title\": \"Back\", \"keys\": \"X Button 1 (Back)\", \"actions\": "
               "[{\"command\": \"Keyboard - Browser Back key\"}]},"
               "{\"title\": \"Louder\", \"keys\": \"ctrl+wheel up\", \"actions\": "
               "[{\"command\": \"Volume UP\"}]},"
               "{\"title\": \"Pause\", \"keys\": \"Ctrl + Alt + P\", \"actions\": "
               "[{\"command\": \"Pause Hotkeys\"}]}]}\n");
    ToolRun imported = Pendrix(L"import " + Quoted(L"mouse.json"));
    ASSERT_EQ(0u, imported.exitCode) << imported.Err().c_str();
    const std::vector<HotkeyRecord> stored = StoredHotkeys();
    ASSERT_EQ(3u, stored.size());
    EXPECT_EQ(static_cast<UINT32>(VK_XBUTTON1), stored[0].virtualKey);
    EXPECT_EQ(0u, stored[0].modifiers);
    EXPECT_EQ(0x97u, stored[1].virtualKey);
    EXPECT_EQ(static_cast<UINT32>(MOD_CONTROL), stored[1].modifiers);
    ToolRun list = Pendrix(L"list");
    EXPECT_NE(std::wstring::npos, list.Out().find(L"X Button 1 (Back)")) << list.Out().c_str();
    EXPECT_NE(std::wstring::npos, list.Out().find(L"Ctrl + Wheel Up"));
    EXPECT_NE(std::wstring::npos, list.Out().find(L"command Pause Hotkeys"));
    ToolRun exported = Pendrix(L"export -");
    EXPECT_NE(std::string::npos, exported.out.find("\"keys\": \"Ctrl + Wheel Up\""));

    // A bare wheel is refused, with its place; nothing is written.
    WriteBytes(File(L"bare.json"),
               "{\"pendrix\": 1, \"hotkeys\": [{\"keys\": \"Wheel Down\", \"actions\": []}]}\n");
    const auto before = SnapshotStore();
    ToolRun bare = Pendrix(L"import " + Quoted(L"bare.json"));
    EXPECT_EQ(1u, bare.exitCode);
    EXPECT_NE(std::wstring::npos, bare.Err().find(L"a wheel needs Alt, Ctrl, Shift or Win"))
        << bare.Err().c_str();
    EXPECT_TRUE(before == SnapshotStore());

    // Pause and resume reach the running agent: its keys are let go and taken again.
    Install(Library::None);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(CombinationIsTaken(CTRL_ALT, 'P'));
    Hotkeys hotkeys;
    Actions actions;
    hotkeys.Append(MakeHotkey(L"Keys", CTRL_ALT, VK_F9));
    WriteStore(hotkeys, actions);
    ASSERT_EQ(static_cast<LRESULT>(AGENT_RELOAD), Reload());
    ASSERT_TRUE(CombinationIsTaken(CTRL_ALT, VK_F9));
    ToolRun paused = Pendrix(L"pause");
    EXPECT_EQ(0u, paused.exitCode) << paused.Err().c_str();
    EXPECT_FALSE(CombinationIsTaken(CTRL_ALT, VK_F9));
    ToolRun resumed = Pendrix(L"resume");
    EXPECT_EQ(0u, resumed.exitCode) << resumed.Err().c_str();
    EXPECT_TRUE(CombinationIsTaken(CTRL_ALT, VK_F9));
}

TEST_F(Tool, AbbreviationsTravelListAndClashLikeCombinations) {
    WriteBytes(File(L"abbreviations.json"),
               "{\"pendrix\": 1, \"hotkeys\": ["
               "{\"title\": \"Signature\", \"abbreviation\": \";sig\", \"actions\": "
               "[{\"type\": \"Kind regards\"}]},"
               "{\"title\": \"Mail\", \"keys\": \"Ctrl + Shift + S\", \"abbreviation\": \"@@\", "
               "\"expand\": \"at once\", \"matchCase\": true, \"actions\": "
               "[{\"type\": \"ann@example.org\"}]},"
               "{\"title\": \"Again\", \"abbreviation\": \";SIG\", \"actions\": []}]}\n");
    ToolRun imported = Pendrix(L"import " + Quoted(L"abbreviations.json"));
    EXPECT_EQ(1u, imported.exitCode) << "the third is stored off";
    EXPECT_NE(std::wstring::npos,
              imported.Err().find(L"it has the same abbreviation as hotkey 1, so it is stored "
                                  L"disabled"))
        << imported.Err().c_str();
    const std::vector<HotkeyRecord> stored = StoredHotkeys();
    ASSERT_EQ(3u, stored.size());
    EXPECT_EQ(0u, stored[0].virtualKey) << "no keys";
    EXPECT_EQ(0u, stored[0].modifiers);
    EXPECT_EQ(1, stored[0].enabled);
    EXPECT_EQ(0, stored[2].enabled);
    ToolRun list = Pendrix(L"list");
    EXPECT_NE(std::wstring::npos, list.Out().find(L"on   ;sig  ")) << list.Out().c_str();
    EXPECT_NE(std::wstring::npos, list.Out().find(L"Ctrl + Shift + S, @@"));
    EXPECT_NE(std::wstring::npos, list.Out().find(L"abbreviation @@  (at once)  (match case)"));
    ToolRun exported = Pendrix(L"export -");
    EXPECT_NE(std::string::npos, exported.out.find("\"abbreviation\": \";sig\""));
    EXPECT_NE(std::string::npos, exported.out.find("\"expand\": \"at once\""));
    EXPECT_NE(std::string::npos, exported.out.find("\"matchCase\": true"));
    ExpectRoundTrip();

    // A merge skips a hotkey whose abbreviation the list has; a malformed
    // one is refused with its place.
    WriteBytes(File(L"more.json"), "{\"pendrix\": 1, \"hotkeys\": [{\"title\": \"Twin\", "
                                   "\"abbreviation\": \";Sig\", \"actions\": []}]}\n");
    ToolRun merged = Pendrix(L"import --merge " + Quoted(L"more.json"));
    EXPECT_NE(std::wstring::npos, merged.Out().find(L"the list already has the abbreviation ;Sig"))
        << merged.Out().c_str();
    EXPECT_EQ(3u, StoredHotkeys().size());
    for (const char* bad : {"\"x\"", "\"a b\""}) {
        WriteBytes(File(L"bad.json"), std::string("{\"pendrix\": 1, \"hotkeys\": [{"
                                                  "\"abbreviation\": ") +
                                          bad + ", \"actions\": []}]}\n");
        ToolRun refused = Pendrix(L"import " + Quoted(L"bad.json"));
        EXPECT_EQ(1u, refused.exitCode) << bad;
        EXPECT_NE(std::wstring::npos, refused.Err().find(L"2 to 31 characters without blanks"));
    }
}
