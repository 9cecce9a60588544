#include "fresh_program.h"

#include "provisioning.h"
#include "settings_file.h"
#include "standin.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

void ForgetProgramState() {
    std::memset(&DeviceIdentity, 0, sizeof DeviceIdentity);
    std::memset(ClassSettingsKey, 0, sizeof ClassSettingsKey);
    std::memset(DefaultSettingsKey, 0, sizeof DefaultSettingsKey);
    std::memset(SettingsFilePath, 0, sizeof SettingsFilePath);
    std::memset(GivenSettingsFile, 0, sizeof GivenSettingsFile);
}

void FreshProgram() {
    standin::Reset();
    ForgetProgramState();
}

std::string MakeHostFolder(const char* namePrefix) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / (std::string(namePrefix) + "XXXXXX")).string();
    return mkdtemp(pattern.data()) != nullptr ? pattern : "";
}

bool WriteSettingsFile(const std::string& hostFolder, const std::string& bytes) {
    std::FILE* out = std::fopen((hostFolder + "/InfoSetting.ini").c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && written;
}
