// The stand-in's private-profile reader, through GetPrivateProfileStringA and
// GetPrivateProfileIntA, against InfoSetting.ini files in a mapped temporary folder.
#include "standin.h"
#include "standin_winapi.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const char kFolder[] = "C:\\Program Files\\Cam";
const char kIni[] = "C:\\Program Files\\Cam\\InfoSetting.ini";

class ProfileReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        standin::Reset();
        std::string pattern = ::testing::TempDir() + "profile_reader_XXXXXX";
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        dir_ = pattern;
        standin::MapFolder(kFolder, dir_);
    }

    void TearDown() override {
        std::filesystem::remove_all(dir_);
    }

    void Write(const std::string& content) {
        std::ofstream out(dir_ + "/InfoSetting.ini", std::ios::binary | std::ios::trunc);
        out << content;
    }

    struct Read {
        DWORD returned;
        std::string text;
    };

    static Read ReadText(const char* section, const char* key, const char* fallback,
                         const char* file = kIni) {
        char buffer[64];
        std::memset(buffer, 'x', sizeof buffer);
        const DWORD returned =
            GetPrivateProfileStringA(section, key, fallback, buffer, sizeof buffer, file);
        return {returned, std::string(buffer, strnlen(buffer, sizeof buffer))};
    }

    std::string dir_;
};

struct TextCase {
    const char* name;
    std::string content;
    const char* section;
    const char* key;
    const char* fallback;
    const char* expected;
};

TEST_F(ProfileReaderTest, ReadsTextAsThePlatformDoes) {
    using namespace std::string_literals;
    const TextCase cases[] = {
        {"plain", "[Cam]\r\nModel=X100\r\n", "Cam", "Model", "none", "X100"},
        {"names ignore case", "[cAm]\r\nMODEL=X100\r\n", "CAM", "model", "none", "X100"},
        {"blanks around names and values", "  [ Cam ]  \r\n\t Model \t=  X 100 \x1a\r\n", " Cam\t",
         "  Model ", "none", "X 100"},
        {"LF line ends", "[Cam]\nModel=X100\n", "Cam", "Model", "none", "X100"},
        {"CR line ends", "[Cam]\rModel=X100\r", "Cam", "Model", "none", "X100"},
        {"no final line end", "[Lens]\r\n[Cam]\r\nModel=X100", "Cam", "Model", "none", "X100"},
        {"double quotes removed", "[Cam]\nModel=\" X 100 \"\n", "Cam", "Model", "none", " X 100 "},
        {"single quotes removed", "[Cam]\nModel='X100'\n", "Cam", "Model", "none", "X100"},
        {"only one pair of quotes removed", "[Cam]\nModel=\"\"X\"\"\n", "Cam", "Model", "none",
         "\"X\""},
        {"unmatched quotes kept", "[Cam]\nModel=\"X100'\n", "Cam", "Model", "none", "\"X100'"},
        {"a lone quote kept", "[Cam]\nModel=\"\n", "Cam", "Model", "none", "\""},
        {"a commented-out key is not read", "[Cam]\n  ;Model=Old\n", "Cam", "Model", "none",
         "none"},
        {"semicolon in a value kept", "[Cam]\nModel=X100 ; spare\n", "Cam", "Model", "none",
         "X100 ; spare"},
        {"equals sign in a value kept", "[Cam]\nPath=a=b\n", "Cam", "Path", "none", "a=b"},
        {"first of two keys wins", "[Cam]\nModel=A\nModel=B\n", "Cam", "Model", "none", "A"},
        {"only the first section of a name is searched", "[Cam]\nModel=A\n[Cam]\nSerial=7\n", "Cam",
         "Serial", "none", "none"},
        {"keys of the next section not seen", "[Cam]\n[Lens]\nModel=X\n", "Cam", "Model", "none",
         "none"},
        {"empty value read as empty", "[Cam]\nModel=  \n", "Cam", "Model", "none", ""},
        {"line without '=' is a key without value", "[Cam]\nModel\nModel=X100\n", "Cam", "Model",
         "none", "none"},
        {"section name runs to the last ']'", "[Cam]]\nModel=X100\n", "Cam]", "Model", "none",
         "X100"},
        {"text after ']' ignored", "[Cam] old\nModel=X100\n", "Cam", "Model", "none", "X100"},
        {"'[' without ']' is no section", "[Cam]\n[Lens\nModel=X100\n", "Cam", "Model", "none",
         "X100"},
        {"lines before any section belong to none", "Model=Stray\n[]\n", "", "Model", "none",
         "none"},
        {"NUL ends a value", "[Cam]\nModel=X1\0junk\n"s, "Cam", "Model", "none", "X1"},
        {"NUL ends a name", "[Cam\0junk]\nModel\0junk=X100\n"s, "Cam", "Model", "none", "X100"},
        {"UTF-8 byte-order mark skipped", "\xEF\xBB\xBF[Cam]\nModel=X100\n", "Cam", "Model", "none",
         "X100"},
        {"missing section gives the default", "[Cam]\nModel=X100\n", "Lens", "Model", "none",
         "none"},
        {"missing key gives the default", "[Cam]\nModel=X100\n", "Cam", "Serial", "none", "none"},
        {"trailing spaces of the default dropped", "", "Cam", "Model", "  one two  ", "  one two"},
        {"quotes of the default removed", "", "Cam", "Model", "'none'", "none"},
        {"a default of spaces keeps one", "", "Cam", "Model", "   ", " "},
        {"no default reads as empty", "", "Cam", "Model", nullptr, ""},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        Write(c.content);
        const Read read = ReadText(c.section, c.key, c.fallback);
        EXPECT_EQ(read.text, c.expected);
        EXPECT_EQ(read.returned, std::strlen(c.expected));
    }
}

struct IntCase {
    const char* value; // nullptr: no such key
    INT fallback;
    UINT expected;
};

TEST_F(ProfileReaderTest, ReadsIntegersAsThePlatformDoes) {
    const IntCase cases[] = {
        {"12", 7, 12u},
        {"12abc", 7, 12u},
        {"1 2", 7, 1u},
        {"abc", 7, 0u},
        {"", 7, 7u},
        {"\"\"", 7, 7u},
        {nullptr, 7, 7u},
        {nullptr, -5, static_cast<UINT>(-5)},
        {"-1", 7, 0xFFFFFFFFu},
        {"+5", 7, 5u},
        {"- 5", 7, 0u},
        {"\" 42\"", 7, 42u},
        {"\x01\x02 42", 7, 42u},
        {"010", 7, 10u},
        {"0x1F", 7, 31u},
        {"0X1F", 7, 0u},
        {"-0x10", 7, 0xFFFFFFF0u},
        {"0o17", 7, 15u},
        {"0b101", 7, 5u},
        {"4294967296", 7, 0u},
        {"4294967297", 7, 1u},
        {"-4294967297", 7, 0xFFFFFFFFu},
        // Only the first 29 characters are converted.
        {"000000000000000000000000000123", 7, 12u},
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(c.value != nullptr ? c.value : "(no key)");
        Write(c.value != nullptr ? std::string("[Cam]\r\nValue=") + c.value + "\r\n" : "[Cam]\r\n");
        EXPECT_EQ(GetPrivateProfileIntA("Cam", "Value", c.fallback, kIni), c.expected);
    }
}

struct CutCase {
    const char* value;
    DWORD size;
    const char* expected;
};

TEST_F(ProfileReaderTest, CutsTextToTheBufferAndWritesNothingBeyondIt) {
    const CutCase cases[] = {
        {"ABCDEFGH", 9, "ABCDEFGH"}, {"ABCDEFGH", 8, "ABCDEFG"}, {"ABCDEFGH", 5, "ABCD"},
        {"ABCDEFGH", 1, ""},         {"\"ABCD\"", 6, "ABCD"},    {"\"ABCD\"", 5, "ABCD"},
        {"\"ABCD\"", 4, "ABC"},      {"\"ABCD\"", 2, "A"},       {"\"\"", 1, ""},
    };
    for (const CutCase& c : cases) {
        SCOPED_TRACE(std::string(c.value) + " in " + std::to_string(c.size));
        Write(std::string("[Cam]\nModel=") + c.value + "\n");
        std::vector<char> buffer(c.size + 8, 'x');
        const DWORD returned =
            GetPrivateProfileStringA("Cam", "Model", "none", buffer.data(), c.size, kIni);
        EXPECT_EQ(returned, std::strlen(c.expected));
        EXPECT_STREQ(buffer.data(), c.expected);
        EXPECT_EQ(std::string(buffer.begin() + c.size, buffer.end()), std::string(8, 'x'));
    }

    char untouched[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(GetPrivateProfileStringA("Cam", "Model", "none", untouched, 0, kIni), 0u);
    EXPECT_EQ(std::string(untouched, 4), "xxxx");

    char small[3];
    EXPECT_EQ(GetPrivateProfileStringA("Cam", "Serial", "default", small, 3, kIni), 2u);
    EXPECT_STREQ(small, "de");
}

TEST_F(ProfileReaderTest, MissingFileOrUnmappedFolderGivesTheDefault) {
    // A missing file in a present folder reads as empty, default quotes removed as usual;
    // a folder the machine does not have leaves the default as given.
    EXPECT_EQ(ReadText("Cam", "Model", "'none'  ").text, "none");
    EXPECT_EQ(GetPrivateProfileIntA("Cam", "Model", 7, kIni), 7u);

    const char* unmapped = "C:\\Program Files\\Other\\InfoSetting.ini";
    const Read read = ReadText("Cam", "Model", "'none'  ", unmapped);
    EXPECT_EQ(read.text, "'none'");
    EXPECT_EQ(read.returned, 6u);
    EXPECT_EQ(GetPrivateProfileIntA("Cam", "Model", 7, unmapped), 7u);
    EXPECT_EQ(ReadText("Cam", "Model", "none", nullptr).text, "none");

    std::filesystem::create_directory(dir_ + "/InfoSetting.ini");
    EXPECT_EQ(ReadText("Cam", "Model", "none").text, "none");
}

TEST_F(ProfileReaderTest, ReadsTheFileAsItIsAtEachCall) {
    Write("[Cam]\nModel=A\n");
    EXPECT_EQ(ReadText("Cam", "Model", "none").text, "A");
    Write("[Cam]\nModel=B\n");
    EXPECT_EQ(ReadText("Cam", "Model", "none").text, "B");
}

TEST_F(ProfileReaderTest, SectionListingAndNullBufferReturnNothing) {
    Write("[Cam]\nModel=X100\n");
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, "Model", "none", buffer, 8, kIni), 0u);
    EXPECT_EQ(std::string(buffer, 2), std::string(2, '\0'));
    EXPECT_EQ(GetPrivateProfileStringA("Cam", "Model", "none", nullptr, 8, kIni), 0u);
    EXPECT_EQ(GetPrivateProfileIntA("Cam", nullptr, 7, kIni), 7u);
}

// Key names of a section: lines with '=' in file order, duplicates kept, comments left out;
// a list that does not fit is cut and still ends in two terminators.
TEST_F(ProfileReaderTest, KeyNamesOfASection) {
    Write("[Cam]\nValue1=A,1\n;Value9=x\nValue2\n Value3 = B,2\nvalue1=C,3\n[Other]\nX=1\n"
          "[Cam]\nValue7=D,4\n");
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
        Write(content);
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
