// The settings file readers and the entry parser.
#include "host_fixture.h"
#include "provisioning.h"
#include "settings_file.h"

#include <cstring>

namespace {

struct EntryRow {
    std::string text;
    int split;
    std::string name;
    uint32_t bits;
};

const std::vector<EntryRow> EntryRows = {
    {"A,B,7", 1, "A,B", 7},
    {",5", 1, "", 5},
    {"Level, 12", 1, "Level", 12},
    {"Level ,12", 1, "Level ", 12},
    {"Mode,0x10", 1, "Mode", 0},
    {"Mode,12abc", 1, "Mode", 12},
    {"Mode,9 9", 1, "Mode", 9},
    {"Mode,-2", 1, "Mode", 0xFFFFFFFEu},
    {"Mode,+7", 1, "Mode", 7},
    {"Mode,--7", 1, "Mode", 0},
    {"Mode,+-7", 1, "Mode", 0},
    {"Mode,- 7", 1, "Mode", 0},
    {"Mode,2147483647", 1, "Mode", 0x7FFFFFFFu},
    {"Mode,2147483648", 1, "Mode", 0x80000000u},
    {"Mode,-2147483648", 1, "Mode", 0x80000000u},
    {"Mode,4294967295", 1, "Mode", 0xFFFFFFFFu},
    {"Mode,4294967296", 1, "Mode", 0},
    {"Mode,4294967297", 1, "Mode", 1},
    {"Mode,99999999999", 1, "Mode", 1215752191u},
    {"Mode,-99999999999", 1, "Mode", 3079215105u},
    {"Mode,000000000000000000000000042", 1, "Mode", 42},
    {"Mode, \t\n\v\f\r-3", 1, "Mode", 0xFFFFFFFDu},
    {"Mode,\x01"
     "5",
     1, "Mode", 0},
    {"Mode,", 1, "Mode", 0},
    {"Mode,abc", 1, "Mode", 0},
    {"Name,1,2", 1, "Name,1", 2},
    {std::string(259, 'n') + ",1", 1, std::string(259, 'n'), 1},
    {std::string(260, 'n') + ",1", 0, "", 0},
    {"NoComma", 0, "", 0},
    {"", 0, "", 0},
};

void PrintTo(const EntryRow& row, std::ostream* out) {
    *out << '"' << row.text << '"';
}

class EntryParser : public ::testing::TestWithParam<EntryRow> {};

// An entry that is not split is left as it was, even a name too long to fit.
TEST_P(EntryParser, SplitsAtTheLastComma) {
    SettingEntry entry;
    std::memset(&entry, 0x5A, sizeof entry);
    SettingEntry before;
    std::memcpy(&before, &entry, sizeof before);
    ASSERT_EQ(ParseSettingEntry(GetParam().text.c_str(), &entry), GetParam().split);
    if (GetParam().split == 1) {
        EXPECT_EQ(std::string(entry.Name), GetParam().name);
        EXPECT_EQ(static_cast<uint32_t>(entry.Number), GetParam().bits);
    } else {
        EXPECT_EQ(std::memcmp(&entry, &before, sizeof entry), 0) << "the entry was changed";
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, EntryParser, ::testing::ValuesIn(EntryRows));

// ---- Readers over a real file beside the program -----------------------------

class SettingsReaders : public HostMachine {};

TEST_F(SettingsReaders, SettingsFileLiesBesideTheExecutable) {
    const struct {
        const char* module;
        int formed;
        const char* path;
    } rows[] = {
        {"C:\\Program Files\\Pravenit\\Pravenit.exe", 1,
         "C:\\Program Files\\Pravenit\\InfoSetting.ini"},
        {"C:\\Pravenit.exe", 1, "C:\\InfoSetting.ini"},
        {"\\\\server\\share\\cam\\x.exe", 1, "\\\\server\\share\\cam\\InfoSetting.ini"},
        {"Pravenit.exe", 0, ""},
    };
    for (const auto& row : rows) {
        standin::SetModulePath(row.module);
        EXPECT_EQ(FormSettingsFilePath(), row.formed) << row.module;
        EXPECT_STREQ(SettingsFilePath, row.path) << row.module;
    }
}

TEST_F(SettingsReaders, IdentityIsReadPidFirstAndCutToNineCharacters) {
    const struct {
        const char* settings;
        int result;
        const char* vid;
        const char* pid;
    } rows[] = {
        {"[Device]\nVID=VID_2B7E\nPID=PID_C0A1\n", 1, "VID_2B7E", "PID_C0A1"},
        {"[Device]\nVID=VID_2B7E_LONGER\nPID=PID_C0A1_LONGER\n", 1, "VID_2B7E_", "PID_C0A1_"},
        // Without a PID the VID is never read: its text stays as it was.
        {"[Device]\nVID=VID_2B7E\n", 0, "untouched", ""},
        {"[Device]\nVID=VID_2B7E\nPID=\n", 0, "untouched", ""},
        {"[Device]\nPID=PID_C0A1\n", 0, "", "PID_C0A1"},
        {"[Other]\nVID=VID_2B7E\nPID=PID_C0A1\n", 0, "untouched", ""},
    };
    for (const auto& row : rows) {
        WriteSettings(row.settings);
        std::strcpy(DeviceIdentity.Vid, "untouched");
        std::strcpy(DeviceIdentity.Pid, "untouched");
        EXPECT_EQ(ReadDeviceIdentity(), row.result) << row.settings;
        EXPECT_STREQ(DeviceIdentity.Vid, row.vid) << row.settings;
        EXPECT_STREQ(DeviceIdentity.Pid, row.pid) << row.settings;
    }
}

std::vector<std::string> ReadSection(const char* section) {
    std::vector<std::string> entries;
    char text[MAX_PATH];
    for (int number = 1; ReadNumberedEntry(section, number, text, sizeof text) > 0; ++number) {
        entries.push_back(text);
    }
    return entries;
}

TEST_F(SettingsReaders, NumberedEntriesStopAtTheFirstGapOrEmptyValue) {
    const struct {
        std::string settings;
        std::vector<std::string> entries;
    } rows[] = {
        {"[S]\nValue1=a,1\nValue2=b,2\n", {"a,1", "b,2"}},
        {"[S]\nValue1=a,1\nValue3=c,3\n", {"a,1"}},
        {"[S]\nValue2=b,2\n", {}},
        {"[S]\nValue1=\nValue2=b,2\n", {}},
        {"[S]\nValue01=a,1\n", {}},
        {"[S]\nValue1=" + std::string(300, 'x') + ",1\n", {std::string(259, 'x')}},
        {"[Other]\nValue1=a,1\n", {}},
    };
    for (const auto& row : rows) {
        WriteSettings(row.settings);
        EXPECT_EQ(ReadSection("S"), row.entries) << row.settings;
    }
}

TEST_F(SettingsReaders, ResetFlagDefaultsToOne) {
    const struct {
        const char* settings;
        int flag;
    } rows[] = {
        {"[Device]\nPID=x\n", 1},   {"[INFO]\n", 1},          {"[INFO]\nRESET=0\n", 0},
        {"[INFO]\nRESET=1\n", 1},   {"[INFO]\nRESET=7\n", 7}, {"[INFO]\nRESET=-1\n", -1},
        {"[INFO]\nRESET=abc\n", 0}, {"[INFO]\nRESET=\n", 1},  {"[INFO]\nRESET=12abc\n", 12},
    };
    for (const auto& row : rows) {
        WriteSettings(row.settings);
        EXPECT_EQ(ReadResetFlag(), row.flag) << row.settings;
    }
}

TEST_F(SettingsReaders, AbsentFileGivesEveryDefault) {
    standin::SetModulePath("C:\\Elsewhere\\Pravenit.exe");
    char text[MAX_PATH] = "untouched";
    EXPECT_EQ(ReadNumberedEntry("CLASSSETTINGS", 1, text, sizeof text), 0u);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(ReadDeviceIdentity(), 0);
    EXPECT_EQ(ReadResetFlag(), 1);
}

} // namespace
