// What trelvo.exe carries besides code, read from the built file as Windows Explorer and the
// loader read it: the version record, the icon sizes, the cursor's hot spot and the manifest.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/utf16.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t* const kProgram = TRELVO_EXE_W;
const wchar_t* const kCli = TRELVO_CLI_EXE_W;

std::vector<char> versionBlock(const wchar_t* file = kProgram) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file, &ignored);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoW(file, 0, size, block.data()))
        block.clear();
    return block;
}

std::wstring versionString(std::vector<char>& block, const wchar_t* name) {
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    void* value = nullptr;
    UINT chars = 0;
    if (!VerQueryValueW(block.data(), query.c_str(), &value, &chars) || chars == 0)
        return L"<missing>";
    return std::wstring(static_cast<const wchar_t*>(value));
}

// A program's resources, loaded as data (nothing of it runs).
class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override { load(kProgram); }
    void load(const wchar_t* file) {
        if (module)
            FreeLibrary(module);
        module = LoadLibraryExW(file, nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module, nullptr) << "cannot load " << trelvo::narrow(file);
    }
    void TearDown() override {
        if (module)
            FreeLibrary(module);
    }

    std::string bytes(const wchar_t* name, const wchar_t* type) {
        HRSRC r = FindResourceW(module, name, type);
        if (!r)
            return {};
        HGLOBAL g = LoadResource(module, r);
        return std::string(static_cast<const char*>(LockResource(g)), SizeofResource(module, r));
    }

    HMODULE module = nullptr;
};

TEST(VersionRecord, FixedPartIsFileAndProductVersion1_0_0_2) {
    std::vector<char> block = versionBlock();
    ASSERT_FALSE(block.empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, (1u << 16) | 0u);
    EXPECT_EQ(fixed->dwFileVersionLS, (0u << 16) | 2u);
    EXPECT_EQ(fixed->dwProductVersionMS, (1u << 16) | 0u);
    EXPECT_EQ(fixed->dwProductVersionLS, (0u << 16) | 2u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST(VersionRecord, TextsInUsEnglish) {
    std::vector<char> block = versionBlock();
    ASSERT_FALSE(block.empty());
    struct Translation {
        WORD language;
        WORD codePage;
    }* t = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&t), &size));
    ASSERT_EQ(size, sizeof(Translation));
    EXPECT_EQ(t->language, 0x0409);
    EXPECT_EQ(t->codePage, 1200);
    EXPECT_EQ(versionString(block, L"FileVersion"), L"1.00.0002");
    EXPECT_EQ(versionString(block, L"ProductVersion"), L"1.00.0002");
    EXPECT_EQ(versionString(block, L"ProductName"), L"Trelvo");
    EXPECT_EQ(versionString(block, L"FileDescription"),
              L"Updates an exported PowerPCB PCB Decal lib file. Permits modification of decal "
              L"outline layer and line width. ");
    EXPECT_EQ(versionString(block, L"CompanyName"), L"Trelvo maintainers");
    EXPECT_NE(versionString(block, L"LegalCopyright"), L"<missing>");
    EXPECT_EQ(versionString(block, L"OriginalFilename"), L"trelvo.exe");
}

TEST_F(ProgramResources, IconComesIn16_32_48And256Pixels) {
#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    const std::string group = bytes(MAKEINTRESOURCEW(TRELVO_IDI_PROGRAM), RT_GROUP_ICON);
    ASSERT_GE(group.size(), 6u);
    WORD count = 0;
    std::memcpy(&count, group.data() + 4, sizeof count);
    ASSERT_EQ(group.size(), 6u + count * sizeof(GroupEntry));
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        GroupEntry e{};
        std::memcpy(&e, group.data() + 6 + i * sizeof e, sizeof e);
        sizes.push_back(e.width == 0 ? 256 : e.width);  // 0 stands for 256
        EXPECT_EQ(e.width, e.height);
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48, 256}));
}

TEST_F(ProgramResources, HandCursorHasItsHotSpotAtTheFingertip) {
#pragma pack(push, 2)
    struct GroupEntry {
        WORD width, height, planes, bitCount;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    const std::string group = bytes(MAKEINTRESOURCEW(TRELVO_IDC_HAND), RT_GROUP_CURSOR);
    ASSERT_GE(group.size(), 6u + sizeof(GroupEntry));
    GroupEntry e{};
    std::memcpy(&e, group.data() + 6, sizeof e);
    // Each cursor image starts with its hot spot, x then y.
    const std::string image = bytes(MAKEINTRESOURCEW(e.id), RT_CURSOR);
    ASSERT_GE(image.size(), 4u);
    WORD hot[2] = {};
    std::memcpy(hot, image.data(), sizeof hot);
    EXPECT_EQ(hot[0], 12);
    EXPECT_EQ(hot[1], 1);
}

TEST_F(ProgramResources, ManifestAsksForPerMonitorDpiAndCommonControls6) {
    const std::string manifest = bytes(MAKEINTRESOURCEW(1), RT_MANIFEST);
    EXPECT_NE(manifest.find("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/"
                            "WindowsSettings\">PerMonitorV2</dpiAwareness>"),
              std::string::npos);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\""), std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
}

TEST(VersionRecord, CommandLineProgramHasItsOwn) {
    std::vector<char> block = versionBlock(kCli);
    ASSERT_FALSE(block.empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(fixed->dwFileVersionMS, (1u << 16) | 0u);
    EXPECT_EQ(fixed->dwFileVersionLS, (0u << 16) | 2u);
    EXPECT_EQ(versionString(block, L"FileVersion"), L"1.00.0002");
    EXPECT_EQ(versionString(block, L"ProductName"), L"Trelvo");
    EXPECT_EQ(versionString(block, L"OriginalFilename"), L"trelvo-cli.exe");
}

TEST_F(ProgramResources, BothProgramsTakeLongPaths) {
    const char kLongPaths[] =
        "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true"
        "</longPathAware>";
    EXPECT_NE(bytes(MAKEINTRESOURCEW(1), RT_MANIFEST).find(kLongPaths), std::string::npos);
    load(kCli);
    const std::string cli = bytes(MAKEINTRESOURCEW(1), RT_MANIFEST);
    EXPECT_NE(cli.find(kLongPaths), std::string::npos);
    EXPECT_NE(cli.find("level=\"asInvoker\""), std::string::npos);
}

TEST_F(ProgramResources, LogoIsAJpeg) {
    const std::string logo = bytes(MAKEINTRESOURCEW(TRELVO_IDR_LOGO), RT_RCDATA);
    ASSERT_GE(logo.size(), 4u);
    EXPECT_EQ(logo.substr(0, 3), std::string("\xFF\xD8\xFF"));
}

}  // namespace
