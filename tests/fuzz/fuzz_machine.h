// What every fuzz target shares: a fresh stand-in machine per input with the program's
// folder mapped to a host folder of this process, whole machines made from the input for
// the targets that run whole passes, and checks that stop the run with a message so that
// libFuzzer records the input as a finding.
#pragma once

#include "fresh_program.h"
#include "standin.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class FuzzedDataProvider;

#define SETTINGS_PATH PROGRAM_FOLDER "\\InfoSetting.ini"

[[noreturn]] void FuzzCheckFailed(const char* file, int line, const char* condition,
                                  const std::string& detail);

#define FUZZ_CHECK(condition, detail)                                                              \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            FuzzCheckFailed(__FILE__, __LINE__, #condition, (detail));                             \
        }                                                                                          \
    } while (0)

// Resets the stand-in and the program's shared state (see FreshProgram), and maps the
// program's folder; the host folder is made once per process.
void FreshMachine();

// Writes InfoSetting.ini beside the program.
void WriteSettings(const std::string& bytes);

// The text as C code would spell it, for messages.
std::string Printable(const std::string& text);

// A key path as the registry tells keys apart: names folded, empty parts dropped.
std::string KeyIdentity(const std::string& path);

// The command lines of every process the program tried to start, started or not.
std::vector<std::string> AttemptedCommands();

// ---- Whole machines made from the input -----------------------------------

// An imaging device and the read failures injected into it.
struct FuzzDevice {
    standin::Device device;
    DWORD hardwareIdError = 0; // 0: its hardware-ID reads do not fail
    standin::FailingReads hardwareIdFailingReads = standin::FailingReads::Every;
    DWORD driverError = 0; // 0: its driver key name reads do not fail
};

// A failure of the settings file's reads, named by the read it starts at.
struct ProfileFault {
    enum { None, File, Read, ReadsFrom } kind = None; // see standin::FailProfileFile, ...
    const char* section = "";
    const char* key = "";
};

// What BuildFuzzMachine put into the stand-in, for the expectations.
struct FuzzMachine {
    std::string settings; // the bytes of InfoSetting.ini
    DWORD major = 5;
    DWORD minor = 1;
    bool versionQueryFails = false;
    std::vector<FuzzDevice> devices; // in the order added: devices[i] has index i
    bool setOpenFails = false;
    bool allocationFails = false; // blocks of one size are refused
    bool systemDirectoryChanged = false;
    bool writesMayFail = false; // keys refused or a value set that fails
    ProfileFault profileFault;  // in place only once ArmProfileFault has run
};

// A fresh stand-in machine (as FreshMachine makes it) built from the input: the settings
// file, the version, the imaging devices and their read failures, a refused block size,
// registry values and refused keys before the run, the system directory, net commands that
// cannot start or never end, and a value name whose set fails. Everything is in place on
// return except the settings-file fault, so that expectations can still read the file.
FuzzMachine BuildFuzzMachine(FuzzedDataProvider& in);

// Injects the machine's settings-file fault: from then on the reads it names fail.
void ArmProfileFault(const FuzzMachine& machine);

// The settings key below the device's driver key, as the program forms it from the name
// it reads into its 260-byte buffer (259 bytes offered); "" when it cannot be formed.
std::string SettingsKeyOf(const FuzzDevice& device);
