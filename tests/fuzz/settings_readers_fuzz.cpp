// The settings file readers over any bytes as InfoSetting.ini: every text they hand back
// is terminated inside its buffer and as long as they say, and nothing stays allocated.
#include "fuzz_machine.h"
#include "provisioning.h"
#include "settings_file.h"

#include <climits>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// A buffer of exactly the given size, filled with a pattern, so that a write past it or a
// missing terminator is seen.
std::unique_ptr<char[]> Filled(DWORD size) {
    std::unique_ptr<char[]> buffer(new char[size == 0 ? 1 : size]);
    std::memset(buffer.get(), 0x5A, size == 0 ? 1 : size);
    return buffer;
}

void CheckText(const char* what, const char* buffer, DWORD size, DWORD returned) {
    const void* end = std::memchr(buffer, '\0', size);
    FUZZ_CHECK(end != nullptr,
               std::string(what) + ": no terminator in " + std::to_string(size) + " bytes");
    const size_t length = static_cast<size_t>(static_cast<const char*>(end) - buffer);
    FUZZ_CHECK(returned == length, std::string(what) + ": returned " + std::to_string(returned) +
                                       " for " + Printable(std::string(buffer, length)));
    FUZZ_CHECK(returned < size, std::string(what) + ": returned " + std::to_string(returned) +
                                    " of a buffer of " + std::to_string(size));
}

void ReadText(const std::string& section, const std::string& key, DWORD size) {
    std::unique_ptr<char[]> buffer = Filled(size);
    const DWORD returned = ReadSettingText(section.c_str(), key.c_str(), buffer.get(), size);
    CheckText(("[" + section + "] " + key).c_str(), buffer.get(), size, returned);
}

// The first section name and the first key of the file, so that names the fuzzer makes up
// are also looked for.
void NamesInFile(const std::string& file, std::string* section, std::string* key) {
    const size_t open = file.find('[');
    const size_t close = open == std::string::npos ? open : file.find(']', open);
    if (close != std::string::npos) {
        *section = file.substr(open + 1, close - open - 1);
    }
    const size_t equals = file.find('=', close == std::string::npos ? 0 : close);
    if (equals != std::string::npos) {
        const size_t lineStart = file.find_last_of("\r\n", equals);
        const size_t from = lineStart == std::string::npos ? 0 : lineStart + 1;
        *key = file.substr(from, equals - from);
    }
    *section = section->substr(0, std::strlen(section->c_str()));
    *key = key->substr(0, std::strlen(key->c_str()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FreshMachine();
    const std::string file(reinterpret_cast<const char*>(data), size);
    WriteSettings(file);
    const unsigned turn = size > 0 ? data[0] : 0;
    static const DWORD sizes[] = {1, 2, 3, 9, 10, 16, MAX_PATH};
    const size_t sizeCount = sizeof sizes / sizeof sizes[0];

    // A zero-sized buffer is neither read nor written.
    char untouched = 0x5A;
    FUZZ_CHECK(ReadSettingText("Device", "VID", &untouched, 0) == 0 && untouched == 0x5A,
               "a zero-sized buffer was used");

    std::string fileSection = "Device";
    std::string fileKey = "VID";
    NamesInFile(file, &fileSection, &fileKey);
    const std::vector<std::string> sections = {"Device", "CLASSSETTINGS", "DEFAULTSETTINGS", "INFO",
                                               fileSection};
    const std::vector<std::string> keys = {"VID", "PID", "Value1", "RESET", fileKey};
    for (size_t s = 0; s < sections.size(); ++s) {
        for (size_t k = 0; k < keys.size(); ++k) {
            ReadText(sections[s], keys[k], sizes[(turn + s * keys.size() + k) % sizeCount]);
        }
    }

    std::memset(&DeviceIdentity, 0x5A, sizeof DeviceIdentity);
    const int identity = ReadDeviceIdentity();
    const char* pid =
        static_cast<const char*>(std::memchr(DeviceIdentity.Pid, '\0', sizeof DeviceIdentity.Pid));
    FUZZ_CHECK(pid != nullptr, "PID not terminated");
    if (pid != DeviceIdentity.Pid) {
        // The VID is read only after a PID.
        const char* vid = static_cast<const char*>(
            std::memchr(DeviceIdentity.Vid, '\0', sizeof DeviceIdentity.Vid));
        FUZZ_CHECK(vid != nullptr, "VID not terminated");
        FUZZ_CHECK(identity == (vid != DeviceIdentity.Vid ? 1 : 0),
                   "identity " + std::to_string(identity) + " for VID " +
                       Printable(DeviceIdentity.Vid));
        FUZZ_CHECK(std::strlen(DeviceIdentity.Vid) <= 9, "VID longer than 9 characters");
    } else {
        FUZZ_CHECK(identity == 0, "identity without a PID");
    }
    FUZZ_CHECK(std::strlen(DeviceIdentity.Pid) <= 9, "PID longer than 9 characters");

    for (const char* section : {"CLASSSETTINGS", "DEFAULTSETTINGS"}) {
        for (int number = 1; number <= 1000; ++number) {
            std::unique_ptr<char[]> buffer = Filled(MAX_PATH);
            const DWORD returned = ReadNumberedEntry(section, number, buffer.get(), MAX_PATH);
            CheckText(section, buffer.get(), MAX_PATH, returned);
            if (returned == 0) {
                break;
            }
        }
        for (int number : {0, -1, INT_MIN, INT_MAX}) {
            const DWORD bufferSize = sizes[(turn + static_cast<unsigned>(number)) % sizeCount];
            std::unique_ptr<char[]> buffer = Filled(bufferSize);
            const DWORD returned = ReadNumberedEntry(section, number, buffer.get(), bufferSize);
            CheckText(section, buffer.get(), bufferSize, returned);
        }
    }

    (void)ReadResetFlag();
    FUZZ_CHECK(standin::LiveAllocations() == 0,
               std::to_string(standin::LiveAllocations()) + " local-heap blocks left");
    return 0;
}
