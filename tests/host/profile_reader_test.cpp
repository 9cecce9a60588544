// The stand-in's private-profile reader, through GetPrivateProfileStringA and
// GetPrivateProfileIntA, against InfoSetting.ini in the program's mapped folder: what only
// the stand-in can show. Its rules of the platform are rows of
// tests/scenarios/platform_rules.cpp, run here and against Windows' reader under Wine.
#include "host_fixture.h"
#include "standin.h"
#include "standin_winapi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const char kIni[] = PROGRAM_FOLDER "\\InfoSetting.ini";

using ProfileReaderTest = HostMachine;

std::string ReadText(const char* section, const char* key, const char* fallback,
                     const char* file = kIni) {
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    GetPrivateProfileStringA(section, key, fallback, buffer, sizeof buffer, file);
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

TEST_F(ProfileReaderTest, NoFileNameOrAFolderInPlaceOfTheFileGivesTheDefault) {
    EXPECT_EQ(ReadText("Cam", "Model", "none", nullptr), "none");
    std::filesystem::create_directory(hostFolder_ + "/InfoSetting.ini");
    EXPECT_EQ(ReadText("Cam", "Model", "none"), "none");
    EXPECT_EQ(GetPrivateProfileIntA("Cam", "Model", 7, kIni), 7u);
}

TEST_F(ProfileReaderTest, ReadsTheFileAsItIsAtEachCall) {
    WriteSettings("[Cam]\nModel=A\n");
    EXPECT_EQ(ReadText("Cam", "Model", "none"), "A");
    WriteSettings("[Cam]\nModel=B\n");
    EXPECT_EQ(ReadText("Cam", "Model", "none"), "B");
}

TEST_F(ProfileReaderTest, SectionListingAndNullBufferReturnNothing) {
    WriteSettings("[Cam]\nModel=X100\n");
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, "Model", "none", buffer, 8, kIni), 0u);
    EXPECT_EQ(std::string(buffer, 2), std::string(2, '\0'));
    EXPECT_EQ(GetPrivateProfileStringA("Cam", "Model", "none", nullptr, 8, kIni), 0u);
    EXPECT_EQ(GetPrivateProfileIntA("Cam", nullptr, 7, kIni), 7u);
}

// Key names of a section: lines with '=' in file order, duplicates kept, comments left out;
// a list that does not fit is cut and still ends in two terminators.
TEST_F(ProfileReaderTest, KeyNamesOfASection) {
    WriteSettings("[Cam]\nValue1=A,1\n;Value9=x\nValue2\n Value3 = B,2\nvalue1=C,3\n[Other]\n"
                  "X=1\n[Cam]\nValue7=D,4\n");
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    const std::string all("Value1\0Value3\0value1\0\0", 22);
    EXPECT_EQ(GetPrivateProfileStringA("cam", nullptr, "", buffer, sizeof buffer, kIni), 21u);
    EXPECT_EQ(std::string(buffer, 22), all);
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetPrivateProfileStringA("Cam", nullptr, "", buffer, 12, kIni), 10u);
    EXPECT_EQ(std::string(buffer, 13), std::string("Value1\0Val\0\0x", 13));
    EXPECT_EQ(GetPrivateProfileStringA("None", nullptr, "", buffer, sizeof buffer, kIni), 0u);
    EXPECT_EQ(buffer[0], '\0');
}

TEST_F(ProfileReaderTest, ArbitraryBytesStayWithinTheBuffer) {
    // Fixed-seed pseudo-random files over the characters the reader gives meaning to.
    const char alphabet[] = {'[',    ']', '=', ';', '"', '\'', '\r', '\n', ' ',    '\t',  '\0',
                             '\x1a', 'K', 'k', 'S', 's', '1',  '-',  'x',  '\xEF', '\xFF'};
    unsigned seed = 12345;
    auto next = [&seed](unsigned bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % bound;
    };
    for (int round = 0; round < 300; ++round) {
        std::string content(next(200), '\0');
        for (char& c : content) {
            c = alphabet[next(sizeof alphabet)];
        }
        WriteSettings(content);
        const DWORD size = 1 + next(12);
        std::vector<char> buffer(size + 8, 'x');
        const DWORD returned =
            GetPrivateProfileStringA("s", "k", "default", buffer.data(), size, kIni);
        ASSERT_LT(returned, size);
        ASSERT_EQ(std::strlen(buffer.data()), returned);
        ASSERT_EQ(std::string(buffer.begin() + size, buffer.end()), std::string(8, 'x'));
        GetPrivateProfileIntA("s", "k", 0, kIni);
    }
}

} // namespace
