// ParseSettingEntry against a small model of its contract: split at the last comma when
// the name fits, the number as C's atol reads it, kept modulo 2^32.
#include "fuzz_machine.h"
#include "settings_file.h"

#include <cctype>
#include <cstring>
#include <memory>

namespace {

// The model's number: blanks as C's isspace has them, one sign, decimal digits, all of it
// in unbounded arithmetic reduced modulo 2^32.
uint32_t AtolModulo32(const std::string& text) {
    size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    uint64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = (value * 10 + static_cast<uint64_t>(text[at] - '0')) % 0x100000000ull;
    }
    if (negative) {
        value = (0x100000000ull - value) % 0x100000000ull;
    }
    return static_cast<uint32_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The parser sees the bytes as a C string: up to the first NUL, in a block of exactly
    // that size so that a read past the terminator is caught.
    const std::string text(reinterpret_cast<const char*>(data), strnlen((const char*)data, size));
    std::unique_ptr<char[]> input(new char[text.size() + 1]);
    std::memcpy(input.get(), text.c_str(), text.size() + 1);

    std::unique_ptr<SettingEntry> entry(new SettingEntry);
    std::memset(entry.get(), 0x5A, sizeof *entry);
    SettingEntry untouched;
    std::memcpy(&untouched, entry.get(), sizeof untouched);

    const int split = ParseSettingEntry(input.get(), entry.get());

    const size_t comma = text.rfind(',');
    const bool splits = comma != std::string::npos && comma < sizeof entry->Name;
    FUZZ_CHECK(split == (splits ? 1 : 0), Printable(text) + " gave " + std::to_string(split));
    FUZZ_CHECK(std::memcmp(input.get(), text.c_str(), text.size() + 1) == 0,
               "the text was changed: " + Printable(text));
    if (!splits) {
        FUZZ_CHECK(std::memcmp(entry.get(), &untouched, sizeof untouched) == 0,
                   "an entry that is not split was changed: " + Printable(text));
        return 0;
    }
    FUZZ_CHECK(entry->Name[comma] == '\0', "name not terminated: " + Printable(text));
    FUZZ_CHECK(std::memcmp(entry->Name, text.data(), comma) == 0,
               "name " + Printable(std::string(entry->Name, comma)) + " of " + Printable(text));
    const uint32_t expected = AtolModulo32(text.substr(comma + 1));
    FUZZ_CHECK(static_cast<uint32_t>(entry->Number) == expected,
               Printable(text) + " gave " + std::to_string(static_cast<uint32_t>(entry->Number)) +
                   ", not " + std::to_string(expected));
    return 0;
}
