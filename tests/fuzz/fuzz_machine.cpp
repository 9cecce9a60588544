#include "fuzz_machine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
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
        std::string pattern =
            (std::filesystem::temp_directory_path() / "pravenit-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        hostFolder = pattern;
        std::atexit(RemoveHostFolder);
    }
    FreshProgram();
    standin::MapFolder(PROGRAM_FOLDER, hostFolder);
}

void WriteSettings(const uint8_t* data, size_t size) {
    const std::string path = hostFolder + "/InfoSetting.ini";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr || (size > 0 && std::fwrite(data, 1, size, out) != size) ||
        std::fclose(out) != 0) {
        std::perror(path.c_str());
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
