// The machine a Wine test case builds around Pravenit.exe: a program folder whose name
// has spaces, a current folder and a Windows folder holding decoy settings files,
// imaging devices and registry values, a per-program Windows version, and copies of
// the recording net command planted where a careless search would find them first.
// Everything a case creates, and every key the program creates below the keys it
// watches, is removed again when the case ends.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "scenarios.h"

namespace winetest {

// The built Pravenit.exe and PravenitCheck.exe, as Wine names them; set from the command
// line (the check may be absent).
extern std::string BuiltProgram;
extern std::string BuiltCheck;
// The machine its image header must name (IMAGE_FILE_MACHINE_*): this test program's own
// unless the command line says otherwise.
extern WORD ProgramMachine;

// A Linux path as Wine's drive Z: shows it; other paths are returned unchanged.
std::string WindowsPath(const std::string& path);

// A folder of C: whose full path has the given length.
std::string FolderOfLength(size_t length);

// Every key below the key of HKEY_LOCAL_MACHINE, and every value as a DescribeValue line.
std::vector<std::string> RegistryTree(const std::string& key);

// Every value of these keys of HKEY_LOCAL_MACHINE as DescribeValue lines.
std::multiset<std::string> ValuesOfKeys(const std::vector<std::string>& keys);

// One line of the recording net command's log.
struct NetRecord {
    std::string event; // "begin" or "end"
    std::string path;  // the recorder's own path
    std::string commandLine;
    DWORD flags = 0;
    DWORD show = 0;
    std::string window; // the program's window: "absent", "hidden" or "visible"
};

// Where the recording net command appends its lines.
const char* const NetLog = "C:\\net-recorder.log";
// The lines of the recording net command's log, in order.
std::vector<NetRecord> ReadNetLog();
// Where the program must start the net command from; the bench put the recorder there.
std::string SystemNetCommand();

// Wine runs its own net command, whatever lies in the system folder, unless the DLL
// overrides say "native". The loader of a new process takes them from the registry or
// from the environment Wine itself was started with, not from a parent's Windows
// environment, so the override is a registry value while this object lives.
class NativeNetCommand {
  public:
    explicit NativeNetCommand(bool native);
    ~NativeNetCommand();
    NativeNetCommand(const NativeNetCommand&) = delete;
    NativeNetCommand& operator=(const NativeNetCommand&) = delete;

  private:
    HKEY key_ = NULL;
};

// Removes the key with everything below it; nothing if it does not exist.
void DeleteTree(HKEY root, const std::string& key);

// How a case starts the program.
struct Launch {
    std::string arguments; // appended to the quoted program path
    DWORD startupFlags = 0;
    WORD show = 0;
    bool recordingNet = true; // false: Wine's own net command runs
};

// What a run of PravenitCheck.exe from a console gave.
struct CheckOutcome {
    bool finished = false;
    DWORD exitCode = 0;
    std::string report;
    std::vector<struct NetRecord> records; // the net commands started meanwhile
};

struct Outcome {
    bool finished = false;
    DWORD exitCode = 0;
    std::vector<std::string> windowEvents; // what happened to the program's window
    std::vector<NetRecord> records;
};

// The case's machine; the fixture of every test that runs the program.
class WineMachine : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Puts the program, under the given file name, and a planted net command into the
    // folder (no trailing backslash), creating what is missing of its path. Without
    // it, the program goes to "C:\Program Files\Pravenit Bench\Pravenit.exe".
    void PlaceProgram(const std::string& folder, const std::string& fileName);

    // Builds the scenario's machine: version, settings file, devices, prior values, and
    // the watched keys marked for removal. Check WhyWineCannotBuild first.
    void BuildMachine(const Scenario& scenario);

    Outcome Start(const Launch& launch = Launch());

    // Puts PravenitCheck.exe into the program's folder under the given name, before
    // BuildMachine: the machine then reports the same Windows version to it as to the
    // program.
    void PlaceCheck(const std::string& fileName);

    // Runs the check as a deployer would, from a console: cmd /c with its arguments, its
    // report caught in a file.
    CheckOutcome RunCheck(const std::vector<std::string>& arguments);

    // The program's folder, with a trailing backslash.
    const std::string& ProgramFolder() const {
        return programFolder_;
    }
    void CreateFolder(const std::string& folder);
    void PutFile(const std::string& path, const std::string& content);

    // Where the program looks for its settings file.
    std::string SettingsFile() const {
        return programFolder_ + "InfoSetting.ini";
    }

  private:
    void SetVersion(uint32_t major, uint32_t minor);
    void AddDevices(const std::vector<ScenarioDevice>& devices);
    void SetValue(const ScenarioValue& value);
    void Claim(HKEY root, const std::string& key);
    HKEY CreateKey(HKEY root, const std::string& key);
    void CopyIn(const std::string& from, const std::string& to);

    struct ClaimedKey {
        HKEY root;
        std::string key;
    };
    std::vector<ClaimedKey> claimedKeys_;
    std::vector<std::string> createdFiles_;
    std::vector<std::string> createdFolders_;
    std::string programFolder_; // with a trailing backslash
    std::string programName_;
    std::string programFile_;
    std::string checkName_;
    std::string checkFile_;
};

// Why a scenario cannot be built in Wine, or empty if it can.
std::string WhyWineCannotBuild(const Scenario& scenario);

// What a run must show about the net commands: each command in order, begun and ended
// before the next begins, every one started from the system folder, hidden, while the
// program's window existed and was not visible.
void ExpectNetCommands(const Outcome& outcome, const std::vector<std::string>& commands);

// Every value of every watched key equals the scenario's expectation, and a key with
// nothing to hold does not exist.
void ExpectRegistry(const Scenario& scenario);

// The checks every run makes: the program ended with exit code 0, and its window was
// created hidden, titled "Pravenit", and never shown.
void ExpectQuietRun(const Outcome& outcome);

} // namespace winetest
