// The rows of platform_rules.h and the checks both test levels share.
#include "platform_rules.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace std::string_literals;

std::string RulePlace(int line, const std::string& name) {
    return "platform_rules.cpp:" + std::to_string(line) + " " + name;
}

namespace {

// A byte string as C source would write it, so that control bytes show.
std::string Shown(const std::string& bytes) {
    std::string shown = "\"";
    for (char c : bytes) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\') {
            shown += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        }
    }
    return shown + "\"";
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (uint8_t byte : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02x", byte);
        text += hex;
    }
    return text;
}

// The part of the buffer past the given size that is no longer poison, or "".
std::string WrittenPast(const std::string& buffer, size_t size) {
    for (size_t at = size; at < buffer.size(); ++at) {
        if (buffer[at] != RulePoison) {
            return "written past the buffer's " + std::to_string(size) +
                   " characters: " + Shown(buffer.substr(size)) + "; ";
        }
    }
    return "";
}

std::string Mismatch(const std::string& what, const std::string& expected,
                     const std::string& actual) {
    return expected == actual ? "" : what + " " + actual + ", expected " + expected + "; ";
}

std::string Mismatch(const std::string& what, uint32_t expected, uint32_t actual) {
    return Mismatch(what, std::to_string(expected), std::to_string(actual));
}

} // namespace

// ---- Profile reader -------------------------------------------------------------------

namespace {

// Where Wine's reader is known to differ from Windows'. The evidence for Windows: the
// documentation, Wine's own conformance tests (dlls/kernel32/tests/profile.c, whose
// todo_wine marks are Windows results Wine does not match), and where neither says,
// published test suites run against the reader of Windows itself.
const char* const WineSkipsUtf8Mark =
    "Wine skips a UTF-8 byte-order mark; Windows reads only ANSI and UTF-16 files, so the "
    "mark is part of the first line (tests run on Windows)";
const char* const WineReadsComments =
    "Wine reads a ';' line as a key whose name starts with ';'; Windows skips it as a "
    "comment (tests run on Windows)";
const char* const WineTrimsAskedNames =
    "Wine strips every blank from the names asked for; Windows only spaces (tests run on "
    "Windows)";
const char* const WineSectionToLastBracket =
    "Wine ends a section name at the line's last ']'; Windows at the first (tests run on "
    "Windows)";
const char* const WineNeedsClosingBracket =
    "Wine takes a '[' line without ']' for a key; Windows opens a section named by the rest "
    "of the line (tests run on Windows)";
const char* const WineFilesLinesBeforeSections =
    "Wine files the lines before the first section under the empty name; Windows reads the "
    "[] section (Wine's profile test, todo_wine)";
const char* const WineCutsQuotedValueShort =
    "Wine drops the last character after cutting a quoted value, as if it were the closing "
    "quote; the documentation returns the unquoted text, which fits";

} // namespace

std::vector<ProfileTextRule> ProfileTextRules() {
    return {
        {__LINE__, "plain", "[Cam]\r\nModel=X100\r\n", "Cam", "Model", "none", "X100", nullptr},
        {__LINE__, "names ignore case", "[cAm]\r\nMODEL=X100\r\n", "CAM", "model", "none", "X100",
         nullptr},
        {__LINE__, "blanks around names and values in the file",
         "  [ Cam ]  \r\n\t Model \t=  X 100 \x1a\r\n", "Cam", "Model", "none", "X 100", nullptr},
        {__LINE__, "spaces around the names asked for", "[Cam]\r\nModel=X100\r\n", " Cam  ",
         "  Model ", "none", "X100", nullptr},
        {__LINE__, "a tab around the name asked for stays part of it", "[Cam]\r\nModel=X100\r\n",
         "Cam\t", "Model", "none", "none", WineTrimsAskedNames},
        {__LINE__, "LF line ends", "[Cam]\nModel=X100\n", "Cam", "Model", "none", "X100", nullptr},
        {__LINE__, "CR line ends", "[Cam]\rModel=X100\r", "Cam", "Model", "none", "X100", nullptr},
        {__LINE__, "no final line end", "[Lens]\r\n[Cam]\r\nModel=X100", "Cam", "Model", "none",
         "X100", nullptr},
        {__LINE__, "double quotes removed", "[Cam]\nModel=\" X 100 \"\n", "Cam", "Model", "none",
         " X 100 ", nullptr},
        {__LINE__, "single quotes removed", "[Cam]\nModel='X100'\n", "Cam", "Model", "none", "X100",
         nullptr},
        {__LINE__, "only one pair of quotes removed", "[Cam]\nModel=\"\"X\"\"\n", "Cam", "Model",
         "none", "\"X\"", nullptr},
        {__LINE__, "unmatched quotes kept", "[Cam]\nModel=\"X100'\n", "Cam", "Model", "none",
         "\"X100'", nullptr},
        {__LINE__, "a lone quote kept", "[Cam]\nModel=\"\n", "Cam", "Model", "none", "\"", nullptr},
        {__LINE__, "a commented-out key is not read", "[Cam]\n  ;Model=Old\n", "Cam", "Model",
         "none", "none", nullptr},
        {__LINE__, "a comment line is no key", "[Cam]\n  ;Model=Old\n", "Cam", ";Model", "none",
         "none", WineReadsComments},
        {__LINE__, "semicolon in a value kept", "[Cam]\nModel=X100 ; spare\n", "Cam", "Model",
         "none", "X100 ; spare", nullptr},
        {__LINE__, "equals sign in a value kept", "[Cam]\nPath=a=b\n", "Cam", "Path", "none", "a=b",
         nullptr},
        {__LINE__, "first of two keys wins", "[Cam]\nModel=A\nModel=B\n", "Cam", "Model", "none",
         "A", nullptr},
        {__LINE__, "only the first section of a name is searched",
         "[Cam]\nModel=A\n[Cam]\nSerial=7\n", "Cam", "Serial", "none", "none", nullptr},
        {__LINE__, "keys of the next section not seen", "[Cam]\n[Lens]\nModel=X\n", "Cam", "Model",
         "none", "none", nullptr},
        {__LINE__, "empty value read as empty", "[Cam]\nModel=  \n", "Cam", "Model", "none", "",
         nullptr},
        {__LINE__, "line without '=' is a key without value", "[Cam]\nModel\nModel=X100\n", "Cam",
         "Model", "none", "none", nullptr},
        {__LINE__, "the section name ends at the first ']'", "[Cam]]\nModel=X100\n", "Cam", "Model",
         "none", "X100", WineSectionToLastBracket},
        {__LINE__, "text after ']' ignored", "[Cam] old\nModel=X100\n", "Cam", "Model", "none",
         "X100", nullptr},
        {__LINE__, "'[' without ']' opens a section", "[Cam]\n[Lens\nModel=X100\n", "Lens", "Model",
         "none", "X100", WineNeedsClosingBracket},
        {__LINE__, "lines before any section belong to none", "Model=Stray\n[]\nModel=Empty\n", "",
         "Model", "none", "Empty", WineFilesLinesBeforeSections},
        {__LINE__, "NUL ends a value", "[Cam]\nModel=X1\0junk\n"s, "Cam", "Model", "none", "X1",
         nullptr},
        {__LINE__, "NUL ends a name", "[Cam\0junk]\nModel\0junk=X100\n"s, "Cam", "Model", "none",
         "X100", nullptr},
        {__LINE__, "a UTF-8 byte-order mark spoils the first line",
         "\xEF\xBB\xBF[Cam]\nModel=X100\n", "Cam", "Model", "none", "none", WineSkipsUtf8Mark},
        {__LINE__, "a UTF-8 byte-order mark on a line of its own",
         "\xEF\xBB\xBF\r\n[Cam]\nModel=X100\n", "Cam", "Model", "none", "X100", nullptr},
        {__LINE__, "missing section gives the default", "[Cam]\nModel=X100\n", "Lens", "Model",
         "none", "none", nullptr},
        {__LINE__, "missing key gives the default", "[Cam]\nModel=X100\n", "Cam", "Serial", "none",
         "none", nullptr},
        {__LINE__, "trailing spaces of the default dropped", "", "Cam", "Model", "  one two  ",
         "  one two", nullptr},
        {__LINE__, "quotes of the default removed", "", "Cam", "Model", "'none'", "none", nullptr},
        {__LINE__, "a default of spaces keeps one", "", "Cam", "Model", "   ", " ", nullptr},
        {__LINE__, "no default reads as empty", "", "Cam", "Model", nullptr, "", nullptr},
    };
}

std::vector<ProfileCutRule> ProfileCutRules() {
    return {
        {__LINE__, "ABCDEFGH", 9, "ABCDEFGH", nullptr},
        {__LINE__, "ABCDEFGH", 8, "ABCDEFG", nullptr},
        {__LINE__, "ABCDEFGH", 5, "ABCD", nullptr},
        {__LINE__, "ABCDEFGH", 1, "", nullptr},
        {__LINE__, "\"ABCD\"", 6, "ABCD", nullptr},
        {__LINE__, "\"ABCD\"", 5, "ABCD", WineCutsQuotedValueShort},
        {__LINE__, "\"ABCD\"", 4, "ABC", nullptr},
        {__LINE__, "\"ABCD\"", 2, "A", nullptr},
        {__LINE__, "\"\"", 1, "", nullptr},
    };
}

std::vector<ProfileKeysRule> ProfileKeysRules() {
    const std::string file = "[Cam]\r\nValue1=A,1\r\n;Value9=x\r\nValue2\r\n Value3 = B,2\r\n"
                             "value1=C,3\r\nValue5=\r\n[Other]\r\nX=1\r\n[Cam]\r\nValue7=D,4\r\n";
    const std::string all("Value1\0Value3\0value1\0Value5\0\0", 29);
    return {
        {__LINE__, "EveryKeyWithAnEqualsSignInOrderDuplicatesKept", file, "cam", 64, all, 28,
         nullptr},
        {__LINE__, "ListCutToTheBuffer", file, "Cam", 12, std::string("Value1\0Val\0\0", 12), 10,
         "Wine ends a cut list with one terminator and leaves the buffer's last byte; the "
         "documentation has it end in two"},
        {__LINE__, "NoSuchSection", file, "Lens", 64, std::string("\0", 1), 0, nullptr},
    };
}

std::string CheckProfileKeys(const ProfileKeysRule& row, uint32_t returned,
                             const std::string& buffer) {
    return Mismatch("returned", row.returned, returned) +
           Mismatch("listed", Shown(row.expected), Shown(buffer.substr(0, row.expected.size()))) +
           WrittenPast(buffer, row.size);
}

std::vector<ProfileAbsentRule> ProfileAbsentRules() {
    return {
        {__LINE__, "no file: the default, quotes removed", true, "'none'  ", "none", 7, 7, nullptr},
        {__LINE__, "no folder: the default as given", false, "'none'  ", "'none'", -5,
         static_cast<uint32_t>(-5), nullptr},
    };
}

std::vector<ProfileIntRule> ProfileIntRules() {
    return {
        {__LINE__, "12", 7, 12u, nullptr},
        {__LINE__, "12abc", 7, 12u, nullptr},
        {__LINE__, "1 2", 7, 1u, nullptr},
        {__LINE__, "abc", 7, 0u, nullptr},
        {__LINE__, "", 7, 7u, nullptr},
        {__LINE__, "\"\"", 7, 7u, nullptr},
        {__LINE__, nullptr, 7, 7u, nullptr},
        {__LINE__, nullptr, -5, static_cast<uint32_t>(-5), nullptr},
        {__LINE__, "-1", 7, 0xFFFFFFFFu, nullptr},
        {__LINE__, "+5", 7, 5u, nullptr},
        {__LINE__, "- 5", 7, 0u, nullptr},
        {__LINE__, "\" 42\"", 7, 42u, nullptr},
        {__LINE__, "\x01\x02 42", 7, 42u, nullptr},
        {__LINE__, "010", 7, 10u, nullptr},
        {__LINE__, "0x1F", 7, 31u, nullptr},
        {__LINE__, "0X1F", 7, 0u, nullptr},
        {__LINE__, "-0x10", 7, 0xFFFFFFF0u, nullptr},
        {__LINE__, "0o17", 7, 15u, nullptr},
        {__LINE__, "0b101", 7, 5u, nullptr},
        {__LINE__, "4294967296", 7, 0u, nullptr},
        {__LINE__, "4294967297", 7, 1u, nullptr},
        {__LINE__, "-4294967297", 7, 0xFFFFFFFFu, nullptr},
        // Only the first 29 characters are converted.
        {__LINE__, "000000000000000000000000000123", 7, 12u, nullptr},
    };
}

std::string ProfileIntContent(const ProfileIntRule& row) {
    return row.value != nullptr ? "[Cam]\r\nValue="s + row.value + "\r\n" : "[Cam]\r\n";
}

std::string CheckProfileText(const char* expected, uint32_t size, uint32_t returned,
                             const std::string& buffer) {
    const std::string text = expected;
    std::string problems = Mismatch("returned", static_cast<uint32_t>(text.size()), returned);
    if (text.size() < size) {
        problems += Mismatch("read", Shown(text + '\0'), Shown(buffer.substr(0, text.size() + 1)));
    }
    return problems + WrittenPast(buffer, size);
}

// ---- Registry -------------------------------------------------------------------------

RegistryStep CreateStep(const std::string& key, uint32_t disposition) {
    return {RegistryAction::Create, key, ScenarioValue{}, RuleSuccess, disposition};
}

RegistryStep OpenStep(const std::string& key, uint32_t status) {
    return {RegistryAction::Open, key, ScenarioValue{}, status, 0};
}

RegistryStep SetStep(const std::string& key, const ScenarioValue& value) {
    return {RegistryAction::Set, key, value, RuleSuccess, 0};
}

RegistryStep SetNullNameStep(const std::string& key, const ScenarioValue& value) {
    return {RegistryAction::SetNullName, key, value, RuleSuccess, 0};
}

std::string RegistryKeyLine(const std::string& path) {
    return "key " + path;
}

std::string RegistryValueLine(const std::string& path, const std::string& name, uint32_t type,
                              const std::vector<uint8_t>& bytes) {
    return "value " + path + " [" + name + "] type " + std::to_string(type) + " =" + Hex(bytes);
}

namespace {

std::string ValueLine(const std::string& path, const ScenarioValue& value) {
    return RegistryValueLine(path, value.name, value.type, ValueBytes(value));
}

} // namespace

std::vector<RegistryRule> RegistryRules() {
    const ScenarioValue five = Dword("", "Mode", 5);
    return {
        {__LINE__,
         "a key is created with its missing parents",
         {CreateStep("Cam\\Settings\\Deep", RuleCreatedNewKey),
          CreateStep("Cam\\Settings\\Deep", RuleOpenedExistingKey)},
         {RegistryKeyLine("Cam"), RegistryKeyLine("Cam\\Settings"),
          RegistryKeyLine("Cam\\Settings\\Deep")},
         nullptr},
        {__LINE__,
         "key names ignore case and keep the first spelling",
         {CreateStep("Cam\\Settings", RuleCreatedNewKey),
          CreateStep("CAM\\settings", RuleOpenedExistingKey),
          OpenStep("cam\\SETTINGS", RuleSuccess), OpenStep("Cam\\Other", RuleFileNotFound)},
         {RegistryKeyLine("Cam"), RegistryKeyLine("Cam\\Settings")},
         nullptr},
        {__LINE__,
         "value names ignore case and keep the first spelling",
         {CreateStep("Cam", RuleCreatedNewKey), SetStep("Cam", Dword("", "Mode", 1)),
          SetStep("CAM", Dword("", "MODE", 2))},
         {RegistryKeyLine("Cam"), ValueLine("Cam", Dword("", "Mode", 2))},
         nullptr},
        {__LINE__,
         "a value of another type is replaced",
         {CreateStep("Cam", RuleCreatedNewKey), SetStep("Cam", Text("", "Mode", "fast")),
          SetStep("Cam", five)},
         {RegistryKeyLine("Cam"), ValueLine("Cam", five)},
         nullptr},
        {__LINE__,
         "the unnamed value: an empty name and a null name are the same value",
         {CreateStep("Cam", RuleCreatedNewKey), SetStep("Cam", Text("", "", "old")),
          SetNullNameStep("Cam", Dword("", "", 7))},
         {RegistryKeyLine("Cam"), ValueLine("Cam", Dword("", "", 7))},
         nullptr},
        {__LINE__,
         "repeated and trailing separators name the same key",
         {CreateStep("Cam\\\\Settings\\", RuleCreatedNewKey),
          OpenStep("Cam\\Settings", RuleSuccess)},
         {RegistryKeyLine("Cam"), RegistryKeyLine("Cam\\Settings")},
         nullptr},
    };
}

std::string CheckRegistryStep(const RegistryStep& step, uint32_t status, uint32_t disposition) {
    const char* const actions[] = {"create ", "open ", "set in ", "set (null name) in "};
    const std::string what = actions[static_cast<int>(step.action)] + step.key + ": ";
    std::string problems = Mismatch("status", step.status, status);
    if (step.action == RegistryAction::Create && status == RuleSuccess) {
        problems += Mismatch("disposition", step.disposition, disposition);
    }
    return problems.empty() ? "" : what + problems;
}

std::string CheckRegistryAfter(const RegistryRule& row, std::vector<std::string> found) {
    std::vector<std::string> expected = row.after;
    std::sort(expected.begin(), expected.end());
    std::sort(found.begin(), found.end());
    if (expected == found) {
        return "";
    }
    std::string problems = "found below the root:";
    for (const std::string& line : found) {
        problems += "\n    " + line;
    }
    problems += "\n  expected:";
    for (const std::string& line : expected) {
        problems += "\n    " + line;
    }
    return problems;
}

// ---- Device properties ----------------------------------------------------------------

std::vector<DevicePropertyRule> DevicePropertyRules() {
    const std::string ids = "USB\\VID_2B7E&PID_C0A1&REV_0102\0USB\\VID_2B7E&PID_C0A1\0\0"s;
    const uint32_t idsSize = static_cast<uint32_t>(ids.size());
    const std::string driver = CAMERA_DRIVER "\0"s;
    const uint32_t driverSize = static_cast<uint32_t>(driver.size());
    const int32_t idsSigned = static_cast<int32_t>(idsSize);
    const int32_t driverSigned = static_cast<int32_t>(driverSize);
    return {
        {__LINE__, "no hardware IDs: error 13", false, "", driver, RulePropertyHardwareIds, -1,
         false, RuleInvalidData, RuleUnchecked, 0, "", nullptr},
        {__LINE__, "no hardware IDs, with a buffer: error 13", false, "", driver,
         RulePropertyHardwareIds, 64, false, RuleInvalidData, RuleUnchecked, 0, "", nullptr},
        {__LINE__, "the size probe", true, ids, driver, RulePropertyHardwareIds, -1, false,
         RuleInsufficientBuffer, idsSize, 0, "", nullptr},
        {__LINE__, "one byte short", true, ids, driver, RulePropertyHardwareIds, idsSigned - 1,
         false, RuleInsufficientBuffer, idsSize, 0, "", nullptr},
        {__LINE__, "the size the probe gave", true, ids, driver, RulePropertyHardwareIds, idsSigned,
         true, 0, idsSize, RuleTypeMultiText, ids, nullptr},
        {__LINE__, "a larger buffer", true, ids, driver, RulePropertyHardwareIds, idsSigned + 9,
         true, 0, idsSize, RuleTypeMultiText, ids, nullptr},
        {__LINE__, "the driver name", true, ids, driver, RulePropertyDriver, 260, true, 0,
         driverSize, RuleTypeText, driver, nullptr},
        {__LINE__, "the driver name's size probe", true, ids, driver, RulePropertyDriver, -1, false,
         RuleInsufficientBuffer, driverSize, 0, "", nullptr},
        {__LINE__, "the driver name in a buffer one byte short", true, ids, driver,
         RulePropertyDriver, driverSigned - 1, false, RuleInsufficientBuffer, driverSize, 0, "",
         nullptr},
    };
}

std::string CheckDeviceProperty(const DevicePropertyRule& row, const DevicePropertyRead& read) {
    std::string problems;
    if (read.succeeded != row.succeeds) {
        problems += read.succeeded ? "succeeded; "
                                   : "failed with error " + std::to_string(read.error) + "; ";
    } else if (!row.succeeds) {
        problems += Mismatch("error", row.error, read.error);
    } else {
        problems += Mismatch("type", row.type, read.type);
        problems +=
            Mismatch("data", Shown(row.data), Shown(read.buffer.substr(0, row.data.size())));
    }
    if (row.required != RuleUnchecked) {
        problems += Mismatch("required size", row.required, read.required);
    }
    if (row.size >= 0) {
        problems += WrittenPast(read.buffer, static_cast<size_t>(row.size));
    }
    return problems;
}

// ---- Module path ----------------------------------------------------------------------

std::vector<ModulePathRule> ModulePathRules() {
    return {
        {__LINE__, "room to spare", 10, true, false, nullptr},
        {__LINE__, "exactly the path and its terminator", 1, true, false, nullptr},
        {__LINE__, "no room for the terminator", 0, true, false, nullptr},
        {__LINE__, "one character short", -1, true, false, nullptr},
        {__LINE__, "a single character", 1, false, false, nullptr},
        {__LINE__, "no room at all", 0, false, false, nullptr},
        {__LINE__, "no room for the terminator: the last error", 0, true, true,
         "Wine sets ERROR_INSUFFICIENT_BUFFER for a cut path, as Windows Vista and later do; "
         "Windows XP leaves the last error as it was (documented)"},
    };
}

uint32_t ModulePathSize(const ModulePathRule& row, const std::string& path) {
    const int64_t size = (row.fromLength ? static_cast<int64_t>(path.size()) : 0) + row.size;
    return size < 0 ? 0u : static_cast<uint32_t>(size);
}

std::string CheckModulePath(const ModulePathRule& row, const std::string& path, uint32_t returned,
                            const std::string& buffer, uint32_t lastError) {
    const uint32_t size = ModulePathSize(row, path);
    std::string problems;
    if (path.size() < size) {
        problems += Mismatch("returned", static_cast<uint32_t>(path.size()), returned);
        problems += Mismatch("path", Shown(path + '\0'), Shown(buffer.substr(0, path.size() + 1)));
    } else {
        // Windows XP: cut to the buffer's size and left without a terminator.
        problems += Mismatch("returned", size, returned);
        problems += Mismatch("path", Shown(path.substr(0, size)), Shown(buffer.substr(0, size)));
    }
    if (row.checkLastError) {
        problems += Mismatch("last error", RulePoisonNumber, lastError);
    }
    return problems + WrittenPast(buffer, size);
}

// ---- Process creation -----------------------------------------------------------------

std::vector<ProcessStartRule> ProcessStartRules() {
    return {
        {__LINE__, "the stop command", "net stop stisvc", nullptr},
        {__LINE__, "the first word names another program", "other.exe start stisvc", nullptr},
        {__LINE__, "blanks and quotes kept as given", "  net  start \"st isvc\"  ", nullptr},
    };
}

std::string CheckProcessStart(const ProcessStartRule& row, const std::string& application,
                              const ProcessStart& start) {
    if (!start.created) {
        return "not created; ";
    }
    return Mismatch("application", FoldedName(application), FoldedName(start.application)) +
           Mismatch("command line", Shown(row.commandLine), Shown(start.commandLine)) +
           Mismatch("caller's buffer after", Shown(row.commandLine + '\0'),
                    Shown(start.callerBuffer)) +
           (start.waited ? "" : "the wait did not end with the process; ") +
           (start.handlesClosed ? "" : "a handle did not close; ");
}
