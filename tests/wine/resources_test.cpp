// The resources of the built Pravenit.exe, read back with the API Windows itself uses.
#include "wine_machine.h"

#include <algorithm>
#include <cstring>

namespace {

std::vector<BYTE> VersionBlock() {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(winetest::BuiltProgram.c_str(), &ignored);
    std::vector<BYTE> block(size);
    if (size == 0 || !GetFileVersionInfoA(winetest::BuiltProgram.c_str(), 0, size, block.data())) {
        block.clear();
    }
    return block;
}

// The file's image header: which build the resources below were read from.
TEST(Resources, ImageOfTheExpectedMachine) {
    HANDLE file = CreateFileA(winetest::BuiltProgram.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << winetest::BuiltProgram;
    BYTE head[512] = {};
    DWORD read = 0;
    const BOOL readOk = ReadFile(file, head, sizeof head, &read, NULL);
    CloseHandle(file);
    ASSERT_TRUE(readOk);
    IMAGE_DOS_HEADER dos;
    ASSERT_GE(read, sizeof dos);
    std::memcpy(&dos, head, sizeof dos);
    ASSERT_EQ(dos.e_magic, IMAGE_DOS_SIGNATURE);
    const size_t at = static_cast<size_t>(dos.e_lfanew);
    ASSERT_LE(at + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER), read);
    DWORD signature;
    IMAGE_FILE_HEADER header;
    std::memcpy(&signature, head + at, sizeof signature);
    std::memcpy(&header, head + at + sizeof signature, sizeof header);
    EXPECT_EQ(signature, DWORD(IMAGE_NT_SIGNATURE));
    EXPECT_EQ(header.Machine, winetest::ProgramMachine) << winetest::BuiltProgram;
}

TEST(Resources, FixedVersionInfo) {
    std::vector<BYTE> block = VersionBlock();
    ASSERT_FALSE(block.empty());
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &length));
    ASSERT_GE(length, sizeof *info);
    const DWORD versionMs = MAKELONG(1, 5), versionLs = MAKELONG(1002, 2600);
    const struct {
        const char* field;
        DWORD actual, expected;
    } fields[] = {
        {"dwSignature", info->dwSignature, VS_FFI_SIGNATURE},
        {"dwFileVersionMS", info->dwFileVersionMS, versionMs},
        {"dwFileVersionLS", info->dwFileVersionLS, versionLs},
        {"dwProductVersionMS", info->dwProductVersionMS, versionMs},
        {"dwProductVersionLS", info->dwProductVersionLS, versionLs},
        {"dwFileOS", info->dwFileOS, VOS_NT_WINDOWS32},
        {"dwFileType", info->dwFileType, VFT_APP},
    };
    for (const auto& field : fields) {
        EXPECT_EQ(field.actual, field.expected) << field.field;
    }
}

TEST(Resources, VersionStringsInUsEnglishUnicode) {
    std::vector<BYTE> block = VersionBlock();
    ASSERT_FALSE(block.empty());
    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u) << "one language and code page";
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);

    const struct {
        const char* name;
        const char* text;
    } strings[] = {
        {"FileDescription", "Tolvane Setting Program"},
        {"ProductName", "Tolvane Setting Program"},
        {"FileVersion", "5, 1, 2600, 1002"},
        {"ProductVersion", "5, 1, 2600, 1002"},
        {"Comments", ""},
        {"CompanyName", ""},
        {"InternalName", ""},
        {"LegalTrademarks", ""},
        {"OriginalFilename", ""},
        {"SpecialBuild", ""},
    };
    for (const auto& string : strings) {
        const std::string path = std::string("\\StringFileInfo\\040904b0\\") + string.name;
        char* text = nullptr;
        length = 0;
        EXPECT_TRUE(
            VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length))
            << string.name << " is missing";
        EXPECT_EQ(length > 0 && text != nullptr ? std::string(text) : std::string(), string.text)
            << string.name;
    }
}

// The executable loaded as a data file: its resources without running it.
class ProgramResources : public ::testing::Test {
  protected:
    void SetUp() override {
        module_ = LoadLibraryExA(winetest::BuiltProgram.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr) << winetest::BuiltProgram << ": error " << GetLastError();
    }
    void TearDown() override {
        if (module_ != NULL) {
            FreeLibrary(module_);
        }
    }

    const BYTE* Resource(LPCSTR type, LPCSTR name, DWORD* size) {
        HRSRC found = FindResourceA(module_, name, type);
        if (found == NULL) {
            return nullptr;
        }
        *size = SizeofResource(module_, found);
        return static_cast<const BYTE*>(LockResource(LoadResource(module_, found)));
    }

    HMODULE module_ = NULL;
};

TEST_F(ProgramResources, WindowTitleAndClassName) {
    const struct {
        UINT id;
        const char* text;
    } strings[] = {{103, "Pravenit"}, {109, "PRAVENIT"}};
    for (const auto& string : strings) {
        char text[100] = "";
        EXPECT_GT(LoadStringA(module_, string.id, text, sizeof text), 0) << string.id;
        EXPECT_STREQ(text, string.text) << string.id;
    }
}

#pragma pack(push, 2)
struct IconGroupHeader {
    WORD reserved, type, count;
};
struct IconGroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST_F(ProgramResources, IconGroupOf16And32PixelsIn256Colours) {
    DWORD size = 0;
    const BYTE* group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEA(129), &size);
    ASSERT_NE(group, nullptr);
    ASSERT_GE(size, sizeof(IconGroupHeader));
    IconGroupHeader header;
    std::memcpy(&header, group, sizeof header);
    ASSERT_EQ(size, sizeof header + header.count * sizeof(IconGroupEntry));

    std::vector<std::string> images;
    for (WORD index = 0; index < header.count; ++index) {
        IconGroupEntry entry;
        std::memcpy(&entry, group + sizeof header + index * sizeof entry, sizeof entry);
        DWORD imageSize = 0;
        const BYTE* image = Resource(RT_ICON, MAKEINTRESOURCEA(entry.id), &imageSize);
        ASSERT_NE(image, nullptr) << "icon " << entry.id;
        ASSERT_GE(imageSize, sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER bitmap;
        std::memcpy(&bitmap, image, sizeof bitmap);
        // The image's height counts its colour and mask halves.
        EXPECT_EQ(bitmap.biWidth, entry.width);
        EXPECT_EQ(bitmap.biHeight, 2 * entry.height);
        EXPECT_EQ(entry.colours, 0) << "256 colours are written as 0";
        images.push_back(std::to_string(entry.width) + "x" + std::to_string(entry.height) + " " +
                         std::to_string(bitmap.biBitCount) + "-bit");
    }
    std::sort(images.begin(), images.end());
    EXPECT_EQ(images, (std::vector<std::string>{"16x16 8-bit", "32x32 8-bit"}));
}

BOOL CALLBACK AddType(HMODULE, LPSTR type, LONG_PTR types) {
    if (IS_INTRESOURCE(type)) {
        reinterpret_cast<std::vector<ULONG_PTR>*>(types)->push_back(
            reinterpret_cast<ULONG_PTR>(type));
    }
    return TRUE;
}

TEST_F(ProgramResources, NoMenuDialogOrAcceleratorTable) {
    std::vector<ULONG_PTR> types;
    ASSERT_TRUE(EnumResourceTypesA(module_, AddType, reinterpret_cast<LONG_PTR>(&types)));
    EXPECT_NE(std::find(types.begin(), types.end(), ULONG_PTR(16)), types.end())
        << "no version resource: the enumeration missed types";
    const ULONG_PTR absentTypes[] = {4, 5, 9}; // RT_MENU, RT_DIALOG, RT_ACCELERATOR
    for (ULONG_PTR absent : absentTypes) {
        EXPECT_EQ(std::find(types.begin(), types.end(), absent), types.end())
            << "resource type " << absent;
    }
}

} // namespace
