#include "fuzz_machine.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

std::string hostFolder;

void RemoveHostFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(hostFolder, ignored);
}

} // namespace

void FuzzCheckFailed(const char* file, int line, const char* condition, const std::string& detail) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n  %s\n", file, line, condition, detail.c_str());
    std::fflush(stderr);
    __builtin_trap();
}

void FreshMachine() {
    if (hostFolder.empty()) {
        hostFolder = MakeHostFolder("pravenit-fuzz-");
        if (hostFolder.empty()) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit(RemoveHostFolder);
    }
    FreshProgram();
    standin::MapFolder(PROGRAM_FOLDER, hostFolder);
}

void WriteSettings(const std::string& bytes) {
    if (!WriteSettingsFile(hostFolder, bytes)) {
        std::perror("InfoSetting.ini");
        std::abort();
    }
}

std::string Printable(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out + "\"";
}
