// The check: walks the same stages as Pravenit's pass (version gate, settings file,
// identity, camera, both sections, service restart) with Pravenit's own code, reading
// only, and prints what each stage finds and what Pravenit would do.
#include "check.h"

#include "bounded_format.h"
#include "camera_locator.h"
#include "provisioning.h"
#include "settings_file.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

FILE* CheckOutput;

// One numbered entry of a section as Pravenit reads it.
struct CHECK_ENTRY {
    int Number;
    char Text[MAX_PATH]; // as the numbered-entry reader gives it
    int Split;           // ParseSettingEntry's result
    SettingEntry Entry;
    int OverwrittenBy; // the number of the last later entry of the same value name, or 0
};

// What the registry holds now under a value name.
#define VALUE_ABSENT 0
#define VALUE_DWORD 1
#define VALUE_OTHER_TYPE 2
#define VALUE_UNKNOWN 3

// A section without a key to compare with: no camera, so no driver key.
#define NO_KEY (-1)

// Why Pravenit would write nothing on this PC; NULL while it would write.
static const char* StopReason;
static int IdentityRead;
static int CameraFound;
static int AddCount, ChangeCount, KeepCount, SkipCount, WarningCount;

// The warnings, one a line, printed after the stages.
static char* WarningText;
static size_t WarningLength, WarningSize;

// The entries of the section being checked.
static CHECK_ENTRY* Entries;
static int EntryCount, EntrySize;

static char WarningLine[1024];
static char LongText[4096];
static char ShownText[MAX_PATH];
static char FirstHardwareId[MAX_PATH];
static char KeyName[16];

static FILE* Out() {
    return CheckOutput != NULL ? CheckOutput : stdout;
}

static void Say(const char* format, ...) PRINTF_FORMAT(1, 2);
static void Say(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    vfprintf(Out(), format, arguments);
    va_end(arguments);
}

// Appends one warning line; when no memory is left it is still counted.
static void Warn(const char* format, ...) PRINTF_FORMAT(1, 2);
static void Warn(const char* format, ...) {
    ++WarningCount;
    va_list arguments;
    va_start(arguments, format);
    int length = vsnprintf(WarningLine, sizeof WarningLine, format, arguments);
    va_end(arguments);
    if (length < 0) {
        return;
    }
    size_t needed = strlen(WarningLine) + 2;
    if (WarningLength + needed > WarningSize) {
        size_t size = WarningSize * 2 + needed + 4096;
        char* grown = (char*)realloc(WarningText, size);
        if (grown == NULL) {
            return;
        }
        WarningText = grown;
        WarningSize = size;
    }
    WarningLength += (size_t)snprintf(WarningText + WarningLength, WarningSize - WarningLength,
                                      "%s\n", WarningLine);
}

static void StopAt(const char* reason) {
    if (StopReason == NULL) {
        StopReason = reason;
    }
}

static void ResetCheck() {
    StopReason = NULL;
    IdentityRead = 0;
    CameraFound = 0;
    AddCount = ChangeCount = KeepCount = SkipCount = WarningCount = 0;
    WarningLength = 0;
    if (WarningText != NULL) {
        WarningText[0] = '\0';
    }
    EntryCount = 0;
    GivenSettingsFile[0] = '\0';
}

// A copy of text fit to print on one line: at most MAX_PATH - 1 bytes, control
// characters shown as '?'.
static const char* Shown(const char* text) {
    size_t length = 0;
    for (; text[length] != '\0' && length < sizeof ShownText - 1; ++length) {
        unsigned char c = (unsigned char)text[length];
        ShownText[length] = c < ' ' || c == 0x7f ? '?' : (char)c;
    }
    ShownText[length] = '\0';
    return ShownText;
}

// Names that Windows takes for the same: a to z folded to A to Z, as Pravenit's matching
// folds them.
static int SameName(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char x = *a >= 'a' && *a <= 'z' ? (char)(*a - 'a' + 'A') : *a;
        char y = *b >= 'a' && *b <= 'z' ? (char)(*b - 'a' + 'A') : *b;
        if (x != y) {
            return 0;
        }
        if (x == '\0') {
            return 1;
        }
    }
}

static int IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// 1 when the text, after the blanks the conversion skips, is one optional sign and
// decimal digits and nothing else.
static int IsPlainInteger(const char* text) {
    while (IsBlank(*text)) {
        ++text;
    }
    if (*text == '+' || *text == '-') {
        ++text;
    }
    if (*text < '0' || *text > '9') {
        return 0;
    }
    while (*text >= '0' && *text <= '9') {
        ++text;
    }
    return *text == '\0';
}

// 1 when the leading digits of a number text make a number outside the signed 32-bit
// range, which the conversion wraps.
static int IsOutsideLongRange(const char* text) {
    while (IsBlank(*text)) {
        ++text;
    }
    int negative = *text == '-';
    if (*text == '+' || *text == '-') {
        ++text;
    }
    unsigned long long magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        magnitude = magnitude * 10u + (unsigned)(*text - '0');
        if (magnitude > 0x80000000ull) {
            return 1;
        }
    }
    return magnitude > (negative ? 0x80000000ull : 0x7fffffffull);
}

// ---- Usage and the settings file --------------------------------------------------

static void PrintUsage() {
    Say("Usage: PravenitCheck.exe [PATH]\n"
        "Shows what Pravenit.exe would do on this PC, and what it has done, without changing\n"
        "anything.\n"
        "  (no PATH)  checks the InfoSetting.ini beside this program, as Pravenit.exe beside it\n"
        "             would read it\n"
        "  PATH       checks that settings file instead\n"
        "  /? or -h   shows this text\n"
        "Exit code: 0 every value is already in place, 1 Pravenit would add or change values,\n"
        "2 Pravenit would write nothing on this PC, 3 usage or file error.\n");
}

static int FailUsage(const char* problem, const char* what) {
    Say("PravenitCheck: %s%s\n", problem, what);
    PrintUsage();
    return CHECK_USAGE_OR_FILE;
}

// What a settings file is to a reader.
#define FILE_READABLE 0
#define FILE_MISSING 1
#define FILE_IS_FOLDER 2
#define FILE_UNREADABLE 3 // another process holds it without sharing, or no rights

static int ExamineSettingsFile(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return FILE_MISSING;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return FILE_IS_FOLDER;
    }
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return FILE_UNREADABLE;
    }
    CloseHandle(file);
    return FILE_READABLE;
}

// Takes the given settings file: its full path, which must be a readable file. Returns
// -1 when it can be checked, else the exit code.
static int TakeGivenSettingsFile(const char* path) {
    char* filePart = NULL;
    DWORD length = GetFullPathNameA(path, MAX_PATH, GivenSettingsFile, &filePart);
    if (length == 0 || length >= MAX_PATH) {
        GivenSettingsFile[0] = '\0';
        return FailUsage("the path is too long or not valid: ", Shown(path));
    }
    static const char* const Problems[] = {
        "", "no such file: ", "a folder, not a settings file: ", "the file cannot be read: "};
    int state = ExamineSettingsFile(GivenSettingsFile);
    return state == FILE_READABLE ? -1 : FailUsage(Problems[state], Shown(GivenSettingsFile));
}

// Returns -1 when the check goes on, else the exit code.
static int ReadCommandLine(int argc, char** argv) {
    if (argc > 2) {
        return FailUsage("more than one path", "");
    }
    if (argc < 2) {
        return -1;
    }
    const char* argument = argv[1];
    if (strcmp(argument, "/?") == 0 || strcmp(argument, "-h") == 0) {
        PrintUsage();
        return CHECK_HELP_SHOWN;
    }
    if (argument[0] == '/' || argument[0] == '-' || argument[0] == '\0') {
        return FailUsage("unknown option: ", Shown(argument));
    }
    return TakeGivenSettingsFile(argument);
}

// ---- The stages, in Pravenit's order ----------------------------------------------------

static void CheckVersion() {
    int passes = PassVersionGate();
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
#if defined(_MSC_VER)
#pragma warning(suppress : 4996) // the query Pravenit itself makes
#endif
    if (!GetVersionExA(&version)) {
        Say("Windows version: unknown (the version query failed)\n");
    } else {
        Say("Windows version: %lu.%lu, build %lu\n", (unsigned long)version.dwMajorVersion,
            (unsigned long)version.dwMinorVersion, (unsigned long)version.dwBuildNumber);
    }
    if (passes == 1) {
        Say("  Pravenit runs on it (it runs on 5.1, Windows XP, only)\n");
    } else {
        Say("  Pravenit stops here: it runs on 5.1, Windows XP, only; what follows is what it "
            "would do there\n");
        StopAt("not Windows XP (5.1)");
    }
}

// The file Pravenit would read, and whether it can. 1 when the entries can be read.
static int CheckSettingsFile() {
    if (GivenSettingsFile[0] != '\0') {
        Say("Settings file: %s (given)\n", Shown(GivenSettingsFile));
        // The same folder rule Pravenit applies to its own.
        if (PlaceSettingsFileBeside(GivenSettingsFile) != 1) {
            Warn("settings file: its folder path is too long: a Pravenit.exe in that folder "
                 "could not find its settings file (the folder may have at most 243 "
                 "characters)");
        }
        return FormSettingsFilePath();
    }
    if (FormSettingsFilePath() != 1) {
        Say("Settings file: none: the folder path is too long for Pravenit to find its settings "
            "file\n");
        Warn("settings file: the folder path is too long: Pravenit cannot find its settings "
             "file (the folder may have at most 243 characters)");
        StopAt("no settings file");
        return 0;
    }
    static const char* const Problems[] = {"", "not found", "a folder, not a file",
                                           "cannot be read"};
    int state = ExamineSettingsFile(SettingsFilePath);
    if (state != FILE_READABLE) {
        Say("Settings file: %s (%s: Pravenit reads nothing and stops here)\n",
            Shown(SettingsFilePath), Problems[state]);
        StopAt("no settings file");
        return 0;
    }
    Say("Settings file: %s\n", Shown(SettingsFilePath));
    return 1;
}

// Warns when the identity text in the file is longer than the 9 characters Pravenit keeps.
static void WarnIfCut(const char* key, const char* kept) {
    DWORD length = ReadSettingText("Device", key, LongText, sizeof LongText);
    if (length > strlen(kept)) {
        Warn("[Device] %s: \"%s\" is cut to its first 9 characters, \"%s\"", key, Shown(LongText),
             kept);
    }
}

static void CheckIdentity(int fileReadable) {
    IdentityRead = fileReadable == 1 ? ReadDeviceIdentity() : 0;
    if (IdentityRead != 1) {
        Say("Camera identity: %s\n", fileReadable != 1 ? "none (no settings file)"
                                     : DeviceIdentity.Pid[0] == '\0'
                                         ? "no PID in section [Device]: Pravenit stops here"
                                         : "no VID in section [Device]: Pravenit stops here");
        StopAt("no camera identity");
        return;
    }
    char vid[sizeof DeviceIdentity.Vid];
    char pid[sizeof DeviceIdentity.Pid];
    memcpy(vid, DeviceIdentity.Vid, sizeof vid);
    memcpy(pid, DeviceIdentity.Pid, sizeof pid);
    WarnIfCut("VID", vid);
    WarnIfCut("PID", pid);
    UpperCaseText(vid);
    UpperCaseText(pid);
    Say("Camera identity: VID \"%s\", PID \"%s\"\n", vid, Shown(pid));
}

// The first string of a hardware-ID list, bounded by the list's size.
static const char* FirstIdOf(const BYTE* list, DWORD listSize) {
    size_t length = 0;
    while (length < listSize && length < sizeof FirstHardwareId - 1 && list[length] != '\0') {
        FirstHardwareId[length] = (char)list[length];
        ++length;
    }
    FirstHardwareId[length] = '\0';
    return length > 0 ? Shown(FirstHardwareId) : "(empty)";
}

// 1 when a hardware ID after the first would match: Pravenit's matching applied to each
// later string of the list as if it came first.
static int MatchesInLaterId(const BYTE* list, DWORD listSize) {
    DWORD at = 0;
    while (at < listSize && list[at] != '\0') {
        ++at;
    }
    for (++at; at < listSize && list[at] != '\0';) {
        if (MatchFirstHardwareId(list + at, listSize - at) == 1) {
            return 1;
        }
        while (at < listSize && list[at] != '\0') {
            ++at;
        }
        ++at;
    }
    return 0;
}

// What the device is to Pravenit's search, in words; settles the camera.
static const char* JudgeDevice(HDEVINFO set, SP_DEVINFO_DATA* device, int outcome, int* searching,
                               int* matches, const BYTE* list, DWORD listSize) {
    if (IdentityRead != 1) {
        return "not compared (no camera identity)";
    }
    if (outcome == DEVICE_MATCHED) {
        ++*matches;
    }
    if (*searching == 0) {
        if (outcome != DEVICE_MATCHED) {
            return "not examined by Pravenit (its search has ended)";
        }
        return CameraFound == 1 ? "matches too: Pravenit ignores it, only the first match counts"
                                : "matches, but Pravenit's search ended before it";
    }
    *searching = SearchEndsAt(outcome) == 1 ? 0 : 1;
    switch (outcome) {
    case DEVICE_MATCHED:
        CameraFound = 1;
        if (FormClassSettingsKey(set, device) != 1) {
            StopAt("the camera's driver key cannot be formed");
            return "the camera, but its driver key name cannot be read or is too long: "
                   "Pravenit stops here";
        }
        return "the camera";
    case DEVICE_ENDS_SEARCH:
        return "its hardware IDs cannot be read: Pravenit's search ends here, without a camera";
    case DEVICE_SKIPPED:
        return "no hardware IDs: skipped";
    default:
        return list != NULL && MatchesInLaterId(list, listSize) == 1
                   ? "matches only in a later hardware ID, which does not count"
                   : "no match";
    }
}

static void CheckDevices() {
    FormDefaultSettingsKey();
    HDEVINFO set = OpenImagingDevices();
    if (set == INVALID_HANDLE_VALUE) {
        Say("Imaging devices: the list cannot be read: Pravenit stops here\n");
        StopAt("no camera");
        return;
    }
    Say("Imaging devices, in the order Pravenit examines them:\n");
    int searching = 1;
    int matches = 0;
    int firstMatch = 0;
    SP_DEVINFO_DATA device;
    DWORD index = 0;
    for (;; ++index) {
        BYTE* list = NULL;
        DWORD listSize = 0;
        int outcome = ExamineDevice(set, index, &device, &list, &listSize);
        if (outcome == DEVICE_SET_EXHAUSTED) {
            break;
        }
        const char* firstId = list != NULL                ? FirstIdOf(list, listSize)
                              : outcome == DEVICE_SKIPPED ? "(no hardware IDs)"
                                                          : "(hardware IDs cannot be read)";
        int matchesBefore = matches;
        int cameraFoundBefore = CameraFound;
        const char* verdict =
            JudgeDevice(set, &device, outcome, &searching, &matches, list, listSize);
        if (matches == 1 && matchesBefore == 0) {
            firstMatch = (int)index + 1;
        }
        // The camera's driver key name was read to form its key, as Pravenit reads it, once;
        // any other device's is read for this list only.
        int driverRead = CameraFound != cameraFoundBefore ? DriverKeyName[0] != '\0'
                                                          : ReadDriverKeyName(set, &device);
        Say("  %lu. %s", (unsigned long)index + 1, firstId);
        Say(", driver %s", driverRead == 1 ? Shown(DriverKeyName) : "(none)");
        Say(": %s\n", verdict);
        if (list != NULL) {
            LocalFree(list);
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    if (index == 0) {
        Say("  none present\n");
    }
    if (IdentityRead == 1 && CameraFound != 1) {
        Say("  no camera: Pravenit stops here and writes nothing\n");
        StopAt("no camera");
    }
    if (matches > 1) {
        Warn("devices: %d imaging devices match the camera identity; Pravenit configures only "
             "the first, device %d",
             matches, firstMatch);
    }
}

// ---- The sections ---------------------------------------------------------------------------

static int GrowEntries() {
    int size = EntrySize * 2 + 64;
    CHECK_ENTRY* grown = (CHECK_ENTRY*)realloc(Entries, (size_t)size * sizeof *Entries);
    if (grown == NULL) {
        return 0;
    }
    Entries = grown;
    EntrySize = size;
    return 1;
}

// Every entry Pravenit reads from the section, in its order. 0 when memory ran out.
static int ReadEntries(const char* section) {
    EntryCount = 0;
    for (int number = 1;; ++number) {
        if (EntryCount == EntrySize && GrowEntries() != 1) {
            return 0;
        }
        CHECK_ENTRY* entry = &Entries[EntryCount];
        if (ReadNumberedEntry(section, number, entry->Text, sizeof entry->Text) == 0) {
            return 1;
        }
        entry->Number = number;
        entry->Split = ParseSettingEntry(entry->Text, &entry->Entry);
        entry->OverwrittenBy = 0;
        ++EntryCount;
    }
}

// Marks entries whose value name a later entry sets again: only the last one stays.
static void FindOverwrites(const char* section) {
    for (int i = 0; i < EntryCount; ++i) {
        CHECK_ENTRY* entry = &Entries[i];
        if (entry->Split != 1) {
            continue;
        }
        for (int j = EntryCount - 1; j > i; --j) {
            if (Entries[j].Split == 1 && SameName(Entries[j].Entry.Name, entry->Entry.Name)) {
                entry->OverwrittenBy = Entries[j].Number;
                Warn("[%s] Value%d: the value name \"%s\" is set again by Value%d, which wins",
                     section, entry->Number, Shown(entry->Entry.Name), entry->OverwrittenBy);
                break;
            }
        }
    }
}

// The warnings about one entry's text.
static void WarnAboutEntry(const char* section, const CHECK_ENTRY* entry) {
    // An entry the 260-byte read filled may be longer in the file.
    DWORD length = 0;
    if (strlen(entry->Text) == MAX_PATH - 1) {
        length = ReadNumberedEntry(section, entry->Number, LongText, sizeof LongText);
    }
    int cut = length > MAX_PATH - 1 ? 1 : 0;
    const char* more = length >= sizeof LongText - 1 ? " or more" : "";
    const char* lastComma = strrchr(entry->Text, ',');
    if (lastComma == NULL && cut == 1) {
        Warn("[%s] Value%d: the entry has %lu%s characters; Pravenit reads only the first 259, "
             "which hold no comma: the name is too long to be split, and Pravenit skips it",
             section, entry->Number, (unsigned long)length, more);
        return;
    }
    if (lastComma == NULL) {
        Warn("[%s] Value%d: \"%s\" has no comma: Pravenit skips it", section, entry->Number,
             Shown(entry->Text));
        return;
    }
    if (cut == 1) {
        Warn("[%s] Value%d: the entry has %lu%s characters; Pravenit reads only the first 259 "
             "and splits those",
             section, entry->Number, (unsigned long)length, more);
    }
    if (entry->Split != 1) {
        Warn("[%s] Value%d: the value name is too long to be split: Pravenit skips it", section,
             entry->Number);
        return;
    }
    const char* number = lastComma + 1;
    if (strchr(entry->Entry.Name, '"') != NULL) {
        Warn("[%s] Value%d: the quotes stay in the value name \"%s\" (only quotes around the "
             "whole entry are removed)",
             section, entry->Number, Shown(entry->Entry.Name));
    }
    if (strchr(number, '"') != NULL) {
        Warn("[%s] Value%d: the quotes stay in the number \"%s\", which reads as %ld", section,
             entry->Number, Shown(number), (long)entry->Entry.Number);
    } else if (IsPlainInteger(number) != 1) {
        Warn("[%s] Value%d: \"%s\" is not a plain decimal integer: Pravenit reads %ld", section,
             entry->Number, Shown(number), (long)entry->Entry.Number);
    }
    if (IsOutsideLongRange(number) == 1) {
        Warn("[%s] Value%d: %s is outside the signed 32-bit range and wraps to %ld (0x%08lX)",
             section, entry->Number, Shown(number), (long)entry->Entry.Number,
             (unsigned long)(DWORD)entry->Entry.Number);
    }
}

// The number of a key named like a numbered entry, "Value" and digits in any case, or -1.
static int NumberOfKey(const char* name) {
    size_t length = strlen(name);
    if (length < 6 || length > 14) {
        return -1;
    }
    char prefix[6];
    memcpy(prefix, name, 5);
    prefix[5] = '\0';
    if (SameName(prefix, "VALUE") != 1) {
        return -1;
    }
    int number = 0;
    for (const char* digit = name + 5; *digit != '\0'; ++digit) {
        if (*digit < '0' || *digit > '9') {
            return -1;
        }
        number = number * 10 + (*digit - '0');
    }
    return number;
}

// The section's key names, each terminated, ending with an empty one; NULL when the list
// cannot be had. The caller frees it.
static char* ListSectionKeys(const char* section) {
    for (DWORD size = 65536; size <= 64u * 1024 * 1024; size *= 4) {
        char* names = (char*)malloc(size);
        if (names == NULL) {
            return NULL;
        }
        DWORD length = GetPrivateProfileStringA(section, NULL, "", names, size, SettingsFilePath);
        if (length < size - 2) {
            names[length] = '\0';
            names[length + 1] = '\0';
            return names;
        }
        free(names);
    }
    return NULL;
}

// Keys Pravenit never reads: numbered keys after the first missing or empty one, names
// that only look numbered, and numbered keys given more than once.
static void WarnAboutKeys(const char* section) {
    if (FormSettingsFilePath() != 1) {
        return;
    }
    char* names = ListSectionKeys(section);
    if (names == NULL) {
        return;
    }
    int ended = EntryCount + 1; // the number whose read came back empty
    for (char* name = names; *name != '\0'; name += strlen(name) + 1) {
        int number = NumberOfKey(name);
        if (number < 0) {
            continue;
        }
        if (number > 0) {
            FormNumberedKey(number, KeyName);
        }
        if (number == 0 || SameName(KeyName, name) != 1) {
            Warn("[%s] %s: never read: numbered keys are Value1, Value2, ... without leading "
                 "zeros",
                 section, Shown(name));
            continue;
        }
        int seen = 0;
        for (char* earlier = names; earlier != name; earlier += strlen(earlier) + 1) {
            seen += SameName(earlier, name);
        }
        if (seen == 1) {
            Warn("[%s] %s: given more than once; Pravenit reads the first", section, Shown(name));
        }
        if (seen > 0) {
            continue;
        }
        if (number == ended) {
            Warn("[%s] %s: empty, so the section ends here: the keys after it are never read",
                 section, Shown(name));
        } else if (number > ended) {
            FormNumberedKey(ended, KeyName);
            Warn("[%s] %s: after a gap (no %s): never read", section, Shown(name), KeyName);
        }
    }
    free(names);
}

// What the open key holds now under the value name; *number is set for a REG_DWORD.
static int QueryValue(HKEY key, const char* name, DWORD* number, DWORD* type) {
    DWORD size = sizeof *number;
    LSTATUS status = RegQueryValueExA(key, name, NULL, type, (BYTE*)number, &size);
    if (status == ERROR_FILE_NOT_FOUND) {
        return VALUE_ABSENT;
    }
    if (status == ERROR_SUCCESS && *type == REG_DWORD && size == sizeof *number) {
        return VALUE_DWORD;
    }
    if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        return VALUE_OTHER_TYPE;
    }
    return VALUE_UNKNOWN;
}

static const char* TypeName(DWORD type) {
    switch (type) {
    case REG_SZ:
        return "REG_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD of another size";
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ";
    default:
        return "another type";
    }
}

// One entry that stays: what the registry holds now and what Pravenit does with it.
static void ReportValue(HKEY key, int keyState, const CHECK_ENTRY* entry, int writes) {
    if (keyState == NO_KEY) {
        Say("  Value%d \"%s\": %ld (0x%08lX): not written (no key)\n", entry->Number,
            Shown(entry->Entry.Name), (long)entry->Entry.Number,
            (unsigned long)(DWORD)entry->Entry.Number);
        return;
    }
    DWORD now = 0;
    DWORD type = REG_NONE;
    int state = keyState == ERROR_SUCCESS          ? QueryValue(key, entry->Entry.Name, &now, &type)
                : keyState == ERROR_FILE_NOT_FOUND ? VALUE_ABSENT
                                                   : VALUE_UNKNOWN;
    DWORD bits = (DWORD)entry->Entry.Number;
    Say("  Value%d \"%s\": %ld (0x%08lX), now ", entry->Number, Shown(entry->Entry.Name),
        (long)entry->Entry.Number, (unsigned long)bits);
    const char* action = "change";
    if (state == VALUE_ABSENT) {
        Say("absent");
        action = "add";
    } else if (state == VALUE_DWORD && now == bits) {
        Say("the same");
        action = "keep";
    } else if (state == VALUE_DWORD) {
        Say("%ld (0x%08lX)", (long)(LONG)now, (unsigned long)now);
    } else if (state == VALUE_OTHER_TYPE) {
        Say("%s", TypeName(type));
    } else {
        Say("unknown (the key cannot be read)");
    }
    if (writes != 1) {
        Say(": not written\n");
        return;
    }
    Say(": %s\n", action);
    if (action[0] == 'a') {
        ++AddCount;
    } else if (action[0] == 'k') {
        ++KeepCount;
    } else {
        ++ChangeCount;
    }
}

static void ReportEntries(const char* keyPath, int writes) {
    HKEY key = NULL;
    int keyState = keyPath != NULL
                       ? (int)RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key)
                       : NO_KEY;
    if (keyPath != NULL && keyState == ERROR_FILE_NOT_FOUND && EntryCount > 0) {
        Say("  the key does not exist yet%s\n",
            writes == 1 ? ": Pravenit creates it with the first value" : "");
    }
    for (int i = 0; i < EntryCount; ++i) {
        const CHECK_ENTRY* entry = &Entries[i];
        if (entry->Split != 1) {
            Say("  Value%d \"%s\": no value name and number: skipped\n", entry->Number,
                Shown(entry->Text));
            if (writes == 1) {
                ++SkipCount;
            }
        } else if (entry->OverwrittenBy != 0) {
            Say("  Value%d \"%s\": %ld (0x%08lX): overwritten by Value%d\n", entry->Number,
                Shown(entry->Entry.Name), (long)entry->Entry.Number,
                (unsigned long)(DWORD)entry->Entry.Number, entry->OverwrittenBy);
        } else {
            ReportValue(key, keyState, entry, writes);
        }
    }
    if (keyState == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
}

static void CheckSection(const char* section, const char* keyPath, int fileReadable) {
    if (keyPath != NULL) {
        Say("[%s] HKLM\\%s\n", section, Shown(keyPath));
    } else {
        Say("[%s] the camera's driver key (none: no camera)\n", section);
    }
    if (fileReadable != 1) {
        Say("  not read (no settings file)\n");
        return;
    }
    if (ReadEntries(section) != 1) {
        Say("  not checked: out of memory\n");
        StopAt("out of memory");
        return;
    }
    if (EntryCount == 0) {
        Say("  no entries (Value1 is missing or empty): nothing is written here\n");
    }
    for (int i = 0; i < EntryCount; ++i) {
        WarnAboutEntry(section, &Entries[i]);
    }
    FindOverwrites(section);
    WarnAboutKeys(section);
    ReportEntries(keyPath, StopReason == NULL ? 1 : 0);
}

static void CheckRestart(int fileReadable) {
    char reset[64] = "";
    if (fileReadable == 1) {
        ReadSettingText("INFO", "RESET", reset, sizeof reset);
    }
    int flag = fileReadable == 1 ? ReadResetFlag() : 1;
    if (reset[0] == '\0') {
        Say("Service restart: RESET not given, so it is 1\n");
    } else {
        Say("Service restart: RESET \"%s\", read as %d\n", Shown(reset), flag);
        if (IsPlainInteger(reset) != 1) {
            Warn("[INFO] RESET: \"%s\" is not a plain number; Pravenit reads it as %d, so the "
                 "service is %srestarted",
                 Shown(reset), flag, flag == 0 ? "not " : "");
        }
    }
    if (StopReason != NULL) {
        Say("  nothing is started: Pravenit stops before (%s)\n", StopReason);
    } else if (flag == 0) {
        Say("  nothing is started: RESET is 0\n");
    } else {
        Say("  Pravenit runs net stop stisvc, then net start stisvc, hidden\n");
    }
}

static void PrintWarnings() {
    if (WarningCount == 0) {
        Say("Warnings: none\n");
        return;
    }
    Say("Warnings:\n");
    for (const char* line = WarningText; line != NULL && *line != '\0';) {
        const char* end = strchr(line, '\n');
        Say("  %.*s\n", (int)(end - line), line);
        line = end + 1;
    }
}

static int PrintSummary() {
    int code = StopReason != NULL           ? CHECK_WRITES_NOTHING
               : AddCount + ChangeCount > 0 ? CHECK_WOULD_WRITE
                                            : CHECK_ALL_IN_PLACE;
    Say("Summary: %d to add, %d to change, %d in place, %d skipped; %d warning%s; ", AddCount,
        ChangeCount, KeepCount, SkipCount, WarningCount, WarningCount == 1 ? "" : "s");
    if (code == CHECK_WRITES_NOTHING) {
        Say("Pravenit writes nothing here (%s): exit code 2\n", StopReason);
    } else if (code == CHECK_WOULD_WRITE) {
        Say("Pravenit would write here: exit code 1\n");
    } else {
        Say("every value is in place: exit code 0\n");
    }
    return code;
}

int RunCheck(int argc, char** argv) {
    ResetCheck();
    int early = ReadCommandLine(argc, argv);
    if (early != -1) {
        return early;
    }
    Say("PravenitCheck: what Pravenit.exe does on this PC (nothing is changed)\n");
    CheckVersion();
    int fileReadable = CheckSettingsFile();
    CheckIdentity(fileReadable);
    CheckDevices();
    CheckSection("CLASSSETTINGS",
                 CameraFound == 1 && ClassSettingsKey[0] != '\0' ? ClassSettingsKey : NULL,
                 fileReadable);
    CheckSection("DEFAULTSETTINGS", DefaultSettingsKey, fileReadable);
    CheckRestart(fileReadable);
    PrintWarnings();
    fflush(Out());
    return PrintSummary();
}
