// Private-profile (INI) reading: GetPrivateProfileStringA (a value, or the key names of a
// section) and GetPrivateProfileIntA.
//
// The file is read afresh on every call and follows the platform reader's rules:
//  - lines end at CR or LF; blanks around lines, names and values are dropped;
//  - "[name" opens a section: the name runs to the first ']' of the line, or to its end
//    when it has none;
//  - lines before the first section belong to none;
//  - a line starting with ';' is a comment, never a key;
//  - names compare case-insensitively; only the first section of a name is searched,
//    and the first line of a key wins, even a line without '=', which has no value;
//  - the section and key names asked for lose their spaces at either end, no other blank;
//  - a name or value ends at a NUL byte, as it would in the reader's C strings;
//  - the bytes are taken as they are: a UTF-8 byte-order mark is part of the first line;
//  - one pair of matching outer quotes is removed from the value, or from the default.
// tests/scenarios/platform_rules.cpp holds these rules as rows, run against Windows' own
// reader under Wine too, with the reasons where Wine differs from Windows.
#include "standin_winapi.h"
#include "standin.h"
#include "standin_internal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Tab through carriage return, ^Z (the old end-of-file mark) and space.
bool IsBlank(char c) {
    return (c >= '\t' && c <= '\r') || c == '\x1a' || c == ' ';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view TrimmedSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view UpToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

// A read named for failure: its section and key as the caller gives them, and whether
// every read after it fails too.
struct FailingRead {
    std::string section;
    std::string key;
    bool onward;
};

std::vector<FailingRead> failingReads;
bool fileFails; // every read fails, from a FailProfileFile or a FailProfileReadsFrom on

bool ProfileReadFails(LPCSTR section, LPCSTR key) {
    if (fileFails || section == nullptr || key == nullptr) {
        return fileFails;
    }
    for (const FailingRead& read : failingReads) {
        if (SameName(Trimmed(section), Trimmed(read.section)) &&
            SameName(Trimmed(key), Trimmed(read.key))) {
            fileFails = read.onward;
            return true;
        }
    }
    return false;
}

// The whole file; false when the path is in no mapped folder. A mapped path whose file is
// missing or unreadable, or whose read is made to fail, reads as an empty file.
bool ReadProfile(LPCSTR file, LPCSTR section, LPCSTR key, std::string* text) {
    std::string hostPath;
    if (file == nullptr || !standin::HostPathOf(file, &hostPath)) {
        return false;
    }
    text->clear();
    if (ProfileReadFails(section, key)) {
        return true;
    }
    if (std::FILE* in = std::fopen(hostPath.c_str(), "rb")) {
        char chunk[4096];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
            text->append(chunk, got);
        }
        std::fclose(in);
    }
    return true;
}

// The non-empty lines of the first section of that name, trimmed, comments left out;
// empty when there is no such section.
std::vector<std::string_view> SectionLines(std::string_view text, std::string_view section) {
    std::vector<std::string_view> lines;
    bool inSection = false;
    size_t next = 0;
    while (next < text.size()) {
        size_t end = text.find_first_of("\r\n", next);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = Trimmed(text.substr(next, end - next));
        next = end + 1;
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            if (inSection) {
                break; // later sections of the same name are not searched
            }
            // The name ends at the first ']', or with the line when it has none.
            const size_t close = line.find(']');
            const std::string_view name =
                line.substr(1, close == std::string_view::npos ? close : close - 1);
            inSection = SameName(UpToNul(Trimmed(name)), section);
            continue;
        }
        if (inSection) {
            lines.push_back(line);
        }
    }
    return lines;
}

// The name of a line, the text before its '=' (the whole line without one).
std::string_view LineName(std::string_view line) {
    return UpToNul(Trimmed(line.substr(0, line.find('='))));
}

bool FindValue(std::string_view text, std::string_view section, std::string_view key,
               std::string_view* value) {
    for (const std::string_view line : SectionLines(text, section)) {
        if (!SameName(LineName(line), key)) {
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            return false;
        }
        *value = UpToNul(Trimmed(line.substr(equals + 1)));
        return true;
    }
    return false;
}

// The section's key names, each terminated, and a final terminator: every line with an
// '=' in file order, duplicates included, but no comment line. A list that does not fit
// is cut, still ends in two terminators, and gives size - 2, as the platform does.
DWORD CopyKeyNames(std::string_view text, std::string_view section, LPSTR buffer, DWORD size) {
    std::string list;
    for (const std::string_view line : SectionLines(text, section)) {
        if (line.find('=') != std::string_view::npos) {
            list.append(LineName(line));
            list.push_back('\0');
        }
    }
    if (list.size() + 1 <= size) {
        std::memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        return static_cast<DWORD>(list.size());
    }
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
}

DWORD CopyCut(std::string_view text, LPSTR buffer, DWORD size) {
    const size_t count = std::min<size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return static_cast<DWORD>(count);
}

DWORD CopyUnquoted(std::string_view text, LPSTR buffer, DWORD size) {
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front()) {
        text = text.substr(1, text.size() - 2);
    }
    return CopyCut(text, buffer, size);
}

// What the first digits of text make, as the platform's string-to-integer conversion with
// base 0: leading control characters and blanks skipped, one sign, a "0x", "0o" or "0b"
// prefix, digits up to the first that does not belong, wrapping modulo 2^32.
UINT ParsedInteger(const char* text) {
    while (*text != '\0' && static_cast<unsigned char>(*text) <= ' ') {
        ++text;
    }
    const bool negative = *text == '-';
    if (*text == '+' || *text == '-') {
        ++text;
    }
    UINT base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'o' || text[1] == 'b')) {
        base = text[1] == 'x' ? 16u : text[1] == 'o' ? 8u : 2u;
        text += 2;
    }
    UINT total = 0;
    for (;; ++text) {
        const char c = *text;
        UINT digit = 36;
        if (c >= '0' && c <= '9') {
            digit = static_cast<UINT>(c - '0');
        } else if (c >= 'a' && c <= 'z') {
            digit = static_cast<UINT>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'Z') {
            digit = static_cast<UINT>(c - 'A' + 10);
        }
        if (digit >= base) {
            break;
        }
        total = total * base + digit;
    }
    return negative ? 0u - total : total;
}

} // namespace

namespace standin {

void ResetProfile() {
    failingReads.clear();
    fileFails = false;
}

void FailProfileRead(const std::string& section, const std::string& key) {
    failingReads.push_back(FailingRead{section, key, false});
}

void FailProfileReadsFrom(const std::string& section, const std::string& key) {
    failingReads.push_back(FailingRead{section, key, true});
}

void FailProfileFile(bool fail) {
    fileFails = fail;
}

} // namespace standin

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR buffer,
                               DWORD size, LPCSTR file) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    if (section == nullptr) {
        // Listing the sections is not needed: an empty list.
        buffer[0] = '\0';
        if (size > 1) {
            buffer[1] = '\0';
        }
        return 0;
    }
    if (key == nullptr) {
        std::string text;
        if (!ReadProfile(file, section, key, &text)) {
            text.clear();
        }
        return CopyKeyNames(text, TrimmedSpaces(section), buffer, size);
    }
    // Trailing spaces of the default go, but its first character stays even if a space.
    std::string_view defaultText = fallback != nullptr ? fallback : "";
    while (defaultText.size() > 1 && defaultText.back() == ' ') {
        defaultText.remove_suffix(1);
    }
    std::string text;
    if (!ReadProfile(file, section, key, &text)) {
        return CopyCut(defaultText, buffer, size); // no such folder: the default as given
    }
    std::string_view value;
    if (!FindValue(text, TrimmedSpaces(section), TrimmedSpaces(key), &value)) {
        value = defaultText;
    }
    return CopyUnquoted(value, buffer, size);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT fallback, LPCSTR file) {
    if (key == nullptr) {
        return static_cast<UINT>(fallback);
    }
    char text[30]; // the platform also converts no more than the first 29 characters
    if (GetPrivateProfileStringA(section, key, "", text, sizeof text, file) == 0) {
        return static_cast<UINT>(fallback);
    }
    return ParsedInteger(text);
}
