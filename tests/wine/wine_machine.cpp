#include "wine_machine.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace winetest {

std::string BuiltProgram;
std::string BuiltCheck;
#if defined(_WIN64)
WORD ProgramMachine = IMAGE_FILE_MACHINE_AMD64;
#else
WORD ProgramMachine = IMAGE_FILE_MACHINE_I386;
#endif

namespace {

const char* const WindowLog = "C:\\window-recorder.log";
const char* const DllOverridesKey = "Software\\Wine\\DllOverrides";
const char* const ProgramFolderPath = "C:\\Program Files\\Pravenit Bench";
const char* const CurrentFolderPath = "C:\\Bench Current Folder\\";
const char* const DevicesKey = "SYSTEM\\CurrentControlSet\\Enum\\PRAVENITBENCH";
const char* const AppDefaultsKey = "Software\\Wine\\AppDefaults\\";
const char* const CheckReport = "C:\\check-report.txt";
const DWORD RunTimeout = 30000;
const DWORD NetCommandTimeout = 30000;

// Settings files where the program must not look. Each would write its own marker
// value for the usual camera, so reading one shows in the registry.
std::string Decoy(const std::string& marker) {
    return std::string(CameraIdentity) + "[CLASSSETTINGS]\r\nValue1=" + marker +
           ",1\r\n[DEFAULTSETTINGS]\r\nValue1=" + marker + ",1\r\n";
}

bool KeyExists(HKEY root, const std::string& key) {
    HKEY handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(handle);
    return true;
}

} // namespace

namespace {

// The names of the key's subkeys; none when it cannot be opened.
std::vector<std::string> SubkeyNames(HKEY root, const std::string& key) {
    std::vector<std::string> children;
    HKEY handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return children;
    }
    char name[256];
    DWORD length = sizeof name;
    while (RegEnumKeyExA(handle, static_cast<DWORD>(children.size()), name, &length, NULL, NULL,
                         NULL, NULL) == ERROR_SUCCESS) {
        children.emplace_back(name, length);
        length = sizeof name;
    }
    RegCloseKey(handle);
    return children;
}

} // namespace

void DeleteTree(HKEY root, const std::string& key) {
    if (!KeyExists(root, key)) {
        return;
    }
    for (const std::string& child : SubkeyNames(root, key)) {
        DeleteTree(root, key + "\\" + child);
    }
    EXPECT_EQ(RegDeleteKeyA(root, key.c_str()), ERROR_SUCCESS) << key;
}

namespace {

// Every value of the key as DescribeValue lines; none if the key does not exist.
std::vector<std::string> KeyValues(const std::string& key) {
    std::vector<std::string> lines;
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return lines;
    }
    DWORD count = 0, longestName = 0, longestData = 0;
    RegQueryInfoKeyA(handle, NULL, NULL, NULL, NULL, NULL, NULL, &count, &longestName, &longestData,
                     NULL, NULL);
    for (DWORD index = 0; index < count; ++index) {
        std::vector<char> name(longestName + 1);
        std::vector<BYTE> data(longestData);
        DWORD nameLength = longestName + 1, dataLength = longestData, type = 0;
        LONG status = RegEnumValueA(handle, index, name.data(), &nameLength, NULL, &type,
                                    data.data(), &dataLength);
        EXPECT_EQ(status, ERROR_SUCCESS) << key << " value " << index;
        data.resize(dataLength);
        lines.push_back(DescribeValue(key, std::string(name.data(), nameLength), type, data));
    }
    RegCloseKey(handle);
    return lines;
}

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::string::npos;
         start = end + separator.size()) {
        parts.push_back(text.substr(start, end - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

} // namespace

std::string SystemNetCommand() {
    char folder[MAX_PATH];
    UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder, length) + "\\net.exe";
}

namespace {

// The program does not wait for the start command: wait here for every net command,
// recorded or Wine's own, before reading what they did.
void WaitForNetCommands() {
    for (int round = 0; round < 10; ++round) {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
        std::vector<HANDLE> running;
        PROCESSENTRY32 entry;
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32First(snapshot, &entry); more;
             more = Process32Next(snapshot, &entry)) {
            HANDLE process = NULL;
            if (lstrcmpiA(entry.szExeFile, "net.exe") == 0) {
                process = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID);
            }
            if (process != NULL) {
                running.push_back(process);
            }
        }
        CloseHandle(snapshot);
        if (running.empty()) {
            return;
        }
        for (HANDLE process : running) {
            EXPECT_EQ(WaitForSingleObject(process, NetCommandTimeout), WAIT_OBJECT_0)
                << "a net command did not end";
            CloseHandle(process);
        }
    }
}

std::vector<std::string> ReadLines(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    std::vector<std::string> lines = Split(content.str(), "\r\n");
    lines.erase(std::remove(lines.begin(), lines.end(), std::string()), lines.end());
    return lines;
}

// The folder of this test program, where the build put the recorders too.
std::string OwnFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.rfind('\\') + 1);
}

} // namespace

std::vector<NetRecord> ReadNetLog() {
    std::vector<NetRecord> records;
    for (const std::string& line : ReadLines(NetLog)) {
        std::vector<std::string> fields = Split(line, "\t");
        if (fields.size() != 6) {
            ADD_FAILURE() << "unreadable net command record: " << line;
            continue;
        }
        NetRecord record;
        record.event = fields[0];
        record.path = fields[1];
        record.commandLine = fields[2];
        record.flags = static_cast<DWORD>(std::stoul(fields[3]));
        record.show = static_cast<DWORD>(std::stoul(fields[4]));
        record.window = fields[5];
        records.push_back(record);
    }
    return records;
}

namespace {

// Watches the program's window from inside it while it exists: a global hook loads
// the window recorder into every process that handles window messages.
class WindowRecorder {
  public:
    WindowRecorder() {
        DeleteFileA(WindowLog);
        module_ = LoadLibraryA((OwnFolder() + "window_recorder.dll").c_str());
        EXPECT_NE(module_, nullptr) << "no window_recorder.dll beside the test program";
        // Through void*: GetProcAddress's type is not the hook's.
        HOOKPROC record = reinterpret_cast<HOOKPROC>(
            reinterpret_cast<void*>(GetProcAddress(module_, "RecordWindowMessage")));
        if (record != nullptr) {
            hook_ = SetWindowsHookExA(WH_CALLWNDPROC, record, module_, 0);
        }
        EXPECT_NE(hook_, nullptr);
    }
    ~WindowRecorder() {
        if (hook_ != NULL) {
            UnhookWindowsHookEx(hook_);
        }
        if (module_ != NULL) {
            FreeLibrary(module_);
        }
        DeleteFileA(WindowLog);
    }
    std::vector<std::string> Events() const {
        return ReadLines(WindowLog);
    }

  private:
    HMODULE module_ = NULL;
    HHOOK hook_ = NULL;
};

} // namespace

NativeNetCommand::NativeNetCommand(bool native) {
    if (native) {
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, DllOverridesKey, 0, NULL, 0, KEY_SET_VALUE,
                                  NULL, &key_, NULL),
                  ERROR_SUCCESS);
        EXPECT_EQ(
            RegSetValueExA(key_, "net.exe", 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7),
            ERROR_SUCCESS);
    }
}

NativeNetCommand::~NativeNetCommand() {
    if (key_ != NULL) {
        EXPECT_EQ(RegDeleteValueA(key_, "net.exe"), ERROR_SUCCESS);
        RegCloseKey(key_);
    }
}

std::string WindowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') {
        return path;
    }
    std::string windows = "Z:" + path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

void WineMachine::SetUp() {
    ASSERT_FALSE(BuiltProgram.empty()) << "no --pravenit=<path of Pravenit.exe>";
    DeleteFileA(NetLog);
    CreateFolder(CurrentFolderPath);
    PutFile(std::string(CurrentFolderPath) + "InfoSetting.ini", Decoy("DecoyCurrentFolder"));
    CopyIn(SystemNetCommand(), std::string(CurrentFolderPath) + "net.exe");
    char windows[MAX_PATH];
    UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    PutFile(std::string(windows, length) + "\\InfoSetting.ini", Decoy("DecoyWindowsFolder"));
}

void WineMachine::PlaceProgram(const std::string& folder, const std::string& fileName) {
    ASSERT_TRUE(programFile_.empty()) << "the program is already placed";
    // Each missing folder of the path, from the outermost.
    for (size_t end = folder.find('\\', 3);; end = folder.find('\\', end + 1)) {
        const std::string outer = folder.substr(0, end);
        if (GetFileAttributesA(outer.c_str()) == INVALID_FILE_ATTRIBUTES) {
            CreateFolder(outer);
        }
        if (end == std::string::npos) {
            break;
        }
    }
    programFolder_ = folder + "\\";
    programName_ = fileName;
    programFile_ = programFolder_ + fileName;
    CopyIn(BuiltProgram, programFile_);
    CopyIn(SystemNetCommand(), programFolder_ + "net.exe");
}

void WineMachine::TearDown() {
    for (auto key = claimedKeys_.rbegin(); key != claimedKeys_.rend(); ++key) {
        DeleteTree(key->root, key->key);
    }
    for (auto file = createdFiles_.rbegin(); file != createdFiles_.rend(); ++file) {
        EXPECT_TRUE(DeleteFileA(file->c_str())) << *file;
    }
    for (auto folder = createdFolders_.rbegin(); folder != createdFolders_.rend(); ++folder) {
        EXPECT_TRUE(RemoveDirectoryA(folder->c_str())) << *folder;
    }
    DeleteFileA(NetLog);
}

namespace {

struct WineVersion {
    uint32_t major, minor;
    const char* name; // for HKCU\Software\Wine\AppDefaults\<program>\Version
};
const WineVersion WineVersions[] = {
    {5, 0, "win2k"}, {5, 1, "winxp"}, {5, 2, "win2003"}, {6, 0, "vista"}, {6, 1, "win7"}};

const WineVersion* FindWineVersion(uint32_t major, uint32_t minor) {
    for (const WineVersion& version : WineVersions) {
        if (version.major == major && version.minor == minor) {
            return &version;
        }
    }
    return nullptr;
}

} // namespace

std::string WhyWineCannotBuild(const Scenario& scenario) {
    if (FindWineVersion(scenario.major, scenario.minor) == nullptr) {
        return "Wine has no name for version " + std::to_string(scenario.major) + "." +
               std::to_string(scenario.minor);
    }
    for (const ScenarioDevice& device : scenario.devices) {
        if (!device.present) {
            return "Wine lists every device as present";
        }
    }
    return "";
}

void WineMachine::PlaceCheck(const std::string& fileName) {
    ASSERT_FALSE(BuiltCheck.empty()) << "no --check=<path of PravenitCheck.exe>";
    ASSERT_TRUE(checkFile_.empty()) << "the check is already placed";
    if (programFile_.empty()) {
        PlaceProgram(ProgramFolderPath, "Pravenit.exe");
    }
    checkName_ = fileName;
    checkFile_ = programFolder_ + fileName;
    CopyIn(BuiltCheck, checkFile_);
}

void WineMachine::BuildMachine(const Scenario& scenario) {
    if (programFile_.empty()) {
        PlaceProgram(ProgramFolderPath, "Pravenit.exe");
    }
    for (const std::string& key : WatchedKeys(scenario)) {
        Claim(HKEY_LOCAL_MACHINE, key); // the program may create it
    }
    SetVersion(scenario.major, scenario.minor);
    if (scenario.hasSettings) {
        PutFile(SettingsFile(), scenario.settings);
    }
    AddDevices(scenario.devices);
    for (const ScenarioValue& value : scenario.before) {
        SetValue(value);
    }
}

void WineMachine::SetVersion(uint32_t major, uint32_t minor) {
    const WineVersion* version = FindWineVersion(major, minor);
    ASSERT_NE(version, nullptr);
    for (const std::string& name : {programName_, checkName_}) {
        if (name.empty()) {
            continue;
        }
        HKEY key = CreateKey(HKEY_CURRENT_USER, AppDefaultsKey + name);
        EXPECT_EQ(RegSetValueExA(key, "Version", 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(version->name),
                                 static_cast<DWORD>(std::strlen(version->name) + 1)),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
}

void WineMachine::AddDevices(const std::vector<ScenarioDevice>& devices) {
    for (size_t index = 0; index < devices.size(); ++index) {
        const ScenarioDevice& device = devices[index];
        HKEY key = CreateKey(HKEY_LOCAL_MACHINE, std::string(DevicesKey) + "\\DEVICE" +
                                                     std::to_string(index) + "\\0000");
        auto setText = [key](const char* name, DWORD type, const std::string& text) {
            EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(text.data()),
                                     static_cast<DWORD>(text.size())),
                      ERROR_SUCCESS);
        };
        setText("ClassGUID", REG_SZ, std::string(IMAGE_CLASS) + '\0');
        // Wine's device list writes the class name on first sight; set it as Windows would
        // have, so that listing the devices changes nothing.
        setText("Class", REG_SZ, std::string("Image") + '\0');
        setText("Driver", REG_SZ, device.driver + '\0');
        if (device.hasHardwareIds) {
            std::string list;
            for (const std::string& id : SplitHardwareIds(device.hardwareIds)) {
                list += id + '\0';
            }
            setText("HardwareId", REG_MULTI_SZ, list + '\0');
        }
        RegCloseKey(key);
    }
}

void WineMachine::SetValue(const ScenarioValue& value) {
    HKEY key = CreateKey(HKEY_LOCAL_MACHINE, value.key);
    const std::vector<BYTE> data = ValueBytes(value);
    EXPECT_EQ(RegSetValueExA(key, value.name.c_str(), 0, value.type, data.data(),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// Remembers the outermost key of the path that does not exist yet: the case or the
// program creates it, the case's end removes it with all below it.
void WineMachine::Claim(HKEY root, const std::string& key) {
    for (size_t end = key.find('\\');; end = key.find('\\', end + 1)) {
        const std::string outer = key.substr(0, end);
        if (!KeyExists(root, outer)) {
            for (const ClaimedKey& claimed : claimedKeys_) {
                const std::string prefix = FoldedName(claimed.key) + "\\";
                if (claimed.root == root &&
                    (FoldedName(outer) + "\\").compare(0, prefix.size(), prefix) == 0) {
                    return;
                }
            }
            claimedKeys_.push_back({root, outer});
            return;
        }
        if (end == std::string::npos) {
            return;
        }
    }
}

HKEY WineMachine::CreateKey(HKEY root, const std::string& key) {
    Claim(root, key);
    HKEY handle = NULL;
    EXPECT_EQ(RegCreateKeyExA(root, key.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &handle, NULL),
              ERROR_SUCCESS)
        << key;
    return handle;
}

void WineMachine::CreateFolder(const std::string& folder) {
    if (CreateDirectoryA(folder.c_str(), NULL)) {
        createdFolders_.push_back(folder);
    } else {
        ADD_FAILURE() << "cannot create " << folder << " (left by an earlier case?)";
    }
}

void WineMachine::PutFile(const std::string& path, const std::string& content) {
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot create " << path << " (left by an earlier case?)";
        return;
    }
    createdFiles_.push_back(path);
    DWORD written = 0;
    EXPECT_TRUE(
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, NULL));
    CloseHandle(file);
}

void WineMachine::CopyIn(const std::string& from, const std::string& to) {
    if (CopyFileA(from.c_str(), to.c_str(), TRUE)) {
        createdFiles_.push_back(to);
    } else {
        ADD_FAILURE() << "cannot copy " << from << " to " << to;
    }
}

namespace {

// Starts the program and waits for its end, at most RunTimeout (then it is ended); false,
// with a failure, when it cannot be started.
bool RunToEnd(const std::string& application, std::string commandLine, DWORD flags,
              const char* folder, STARTUPINFOA startup, bool* finished, DWORD* exitCode) {
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof process);
    if (!CreateProcessA(application.c_str(), &commandLine[0], NULL, NULL, FALSE, flags, NULL,
                        folder, &startup, &process)) {
        ADD_FAILURE() << "cannot start " << commandLine << ": error " << GetLastError();
        return false;
    }
    *finished = WaitForSingleObject(process.hProcess, RunTimeout) == WAIT_OBJECT_0;
    if (!*finished) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    GetExitCodeProcess(process.hProcess, exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace

Outcome WineMachine::Start(const Launch& launch) {
    Outcome outcome;
    const std::string& program = programFile_;
    std::string commandLine = "\"" + program + "\"" + launch.arguments;
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = launch.startupFlags;
    startup.wShowWindow = launch.show;
    NativeNetCommand netOverride(launch.recordingNet);
    WindowRecorder windowRecorder;
    if (!RunToEnd(program, commandLine, 0, CurrentFolderPath, startup, &outcome.finished,
                  &outcome.exitCode)) {
        return outcome;
    }
    WaitForNetCommands();
    outcome.records = ReadNetLog();
    outcome.windowEvents = windowRecorder.Events();
    return outcome;
}

CheckOutcome WineMachine::RunCheck(const std::vector<std::string>& arguments) {
    CheckOutcome outcome;
    if (checkFile_.empty()) {
        ADD_FAILURE() << "no check placed";
        return outcome;
    }
    DeleteFileA(CheckReport);
    DeleteFileA(NetLog); // what the program started before is not the check's
    // cmd /c takes off the outer pair of quotes and runs the rest as typed.
    std::string commandLine = "cmd.exe /c \"\"" + checkFile_ + "\"";
    for (const std::string& argument : arguments) {
        commandLine += " \"" + argument + "\"";
    }
    commandLine += " >\"" + std::string(CheckReport) + "\"\"";
    char system[MAX_PATH];
    const UINT length = GetSystemDirectoryA(system, MAX_PATH);
    const std::string shell = std::string(system, length) + "\\cmd.exe";
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    // Started in C:\, not the bench's current folder: the console host Wine gives it may
    // outlive it for a moment, and would keep that folder from being removed.
    if (!RunToEnd(shell, commandLine, CREATE_NO_WINDOW, "C:\\", startup, &outcome.finished,
                  &outcome.exitCode)) {
        return outcome;
    }
    WaitForNetCommands();
    outcome.records = ReadNetLog();
    std::ifstream report(CheckReport, std::ios::binary);
    std::stringstream content;
    content << report.rdbuf();
    report.close();
    outcome.report = content.str();
    DeleteFileA(CheckReport);
    return outcome;
}

std::string FolderOfLength(size_t length) {
    std::string folder = "C:\\Pravenit Long Folder";
    while (folder.size() < length) {
        const size_t remaining = length - folder.size() - 1; // after the backslash
        size_t part = std::min<size_t>(remaining, 100);
        if (remaining - part == 1) {
            --part; // leave room for a backslash and one more character
        }
        folder += "\\" + std::string(part, 'd');
    }
    return folder;
}

std::multiset<std::string> ValuesOfKeys(const std::vector<std::string>& keys) {
    std::multiset<std::string> values;
    for (const std::string& key : keys) {
        for (const std::string& line : KeyValues(key)) {
            values.insert(line);
        }
    }
    return values;
}

std::vector<std::string> RegistryTree(const std::string& key) {
    std::vector<std::string> tree;
    if (!KeyExists(HKEY_LOCAL_MACHINE, key)) {
        return tree;
    }
    tree.push_back("key " + FoldedName(key));
    for (const std::string& line : KeyValues(key)) {
        tree.push_back(line);
    }
    for (const std::string& child : SubkeyNames(HKEY_LOCAL_MACHINE, key)) {
        for (const std::string& line : RegistryTree(key + "\\" + child)) {
            tree.push_back(line);
        }
    }
    return tree;
}

void ExpectQuietRun(const Outcome& outcome) {
    EXPECT_TRUE(outcome.finished) << "the program did not end within " << RunTimeout << " ms";
    EXPECT_EQ(outcome.exitCode, 0u);
    // Its window was created hidden with its title, and never shown.
    EXPECT_EQ(outcome.windowEvents, std::vector<std::string>{"create\tPravenit\thidden"});
}

void ExpectNetCommands(const Outcome& outcome, const std::vector<std::string>& commands) {
    std::vector<std::string> expected;
    for (const std::string& command : commands) {
        expected.push_back("begin " + command);
        expected.push_back("end " + command);
    }
    std::vector<std::string> recorded;
    for (const NetRecord& record : outcome.records) {
        const std::string line = record.event + " " + record.commandLine;
        recorded.push_back(line);
        EXPECT_EQ(FoldedName(record.path), FoldedName(SystemNetCommand())) << line;
        EXPECT_EQ(record.flags, DWORD(STARTF_USESHOWWINDOW)) << line;
        EXPECT_EQ(record.show, DWORD(SW_HIDE)) << line;
        // The program waits for the stop inside WM_CREATE: its window exists. It does not
        // wait for the start, so by then it may have ended.
        if (record.commandLine == STOP_COMMAND) {
            EXPECT_EQ(record.window, "hidden") << line;
        } else {
            EXPECT_NE(record.window, "visible") << line;
        }
    }
    EXPECT_EQ(recorded, expected);
}

void ExpectRegistry(const Scenario& scenario) {
    EXPECT_EQ(ValuesOfKeys(WatchedKeys(scenario)), ExpectedValueLines(scenario));

    // A key that had nothing to hold was neither created nor left behind.
    for (const std::string& key : WatchedKeys(scenario)) {
        EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, key), KeyHoldsValues(scenario, key)) << key;
    }
}

} // namespace winetest
