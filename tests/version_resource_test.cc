// The DLL's version resource, read the way Windows shows it in a file's properties.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/loaded_plugin.h"

namespace pagefields::testing {
namespace {

class VersionResource : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string path = PluginPath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource in " << path;
    data_.resize(size);
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, data_.data()));
  }

  // The value block at `sub_block`, or nullptr; `length` receives its length.
  const void* Query(const char* sub_block, UINT& length) {
    void* value = nullptr;
    length = 0;
    if (!::VerQueryValueA(data_.data(), sub_block, &value, &length)) return nullptr;
    return value;
  }

  std::string QueryString(const char* sub_block) {
    UINT length = 0;
    const auto* text = static_cast<const char*>(Query(sub_block, length));
    return text != nullptr ? std::string(text) : "(absent)";
  }

  std::vector<char> data_;
};

TEST_F(VersionResource, FixedInfoHoldsFileAndProductVersion) {
  UINT length = 0;
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(Query("\\", length));
  ASSERT_NE(info, nullptr);
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(info->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(info->dwFileVersionMS, 0x00020000u);  // 2.0
  EXPECT_EQ(info->dwFileVersionLS, 0x00000004u);  // .0.4
  EXPECT_EQ(info->dwProductVersionMS, 0x00020000u);
  EXPECT_EQ(info->dwProductVersionLS, 0u);
  EXPECT_EQ(info->dwFileType, static_cast<DWORD>(VFT_DLL));
}

TEST_F(VersionResource, TranslationIsUsEnglishCodePage1252) {
  UINT length = 0;
  const auto* translation = static_cast<const WORD*>(Query("\\VarFileInfo\\Translation", length));
  ASSERT_NE(translation, nullptr);
  ASSERT_EQ(length, 2 * sizeof(WORD));  // exactly one language and code page pair
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 0x04E4);
}

TEST_F(VersionResource, StringTableOfTheTranslationNamesTheVersions) {
  EXPECT_EQ(QueryString("\\StringFileInfo\\040904E4\\FileVersion"), "2.0.0.4");
  EXPECT_EQ(QueryString("\\StringFileInfo\\040904E4\\ProductVersion"), "2.0");
  EXPECT_EQ(QueryString("\\StringFileInfo\\040904E4\\ProductName"), "pagefields");
  EXPECT_EQ(QueryString("\\StringFileInfo\\040904E4\\OriginalFilename"), "pagefields.dll");
  EXPECT_NE(QueryString("\\StringFileInfo\\040904E4\\FileDescription").find("HTML"),
            std::string::npos);
}

}  // namespace
}  // namespace pagefields::testing
