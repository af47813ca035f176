#include "app/resources/Resources.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <windows.h>

// The embedded files are checked against their generator (app_resources_reproducible) and
// decoded by the image, sound and end-to-end tests; what is left is the executable's own.

// The executable's resources: the shell's icon (group 1) and the manifest (type 24, id 1) that
// asks for the version 6 controls of this build's architecture.
TEST(Resources, ExecutableCarriesIconGroupAndManifest) {
    HMODULE self = GetModuleHandleA(nullptr);
    EXPECT_NE(FindResourceA(self, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14)), nullptr);  // RT_GROUP_ICON
    HRSRC manifest = FindResourceA(self, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(manifest, nullptr);
    DWORD size = SizeofResource(self, manifest);
    const char* text = static_cast<const char*>(LockResource(LoadResource(self, manifest)));
    ASSERT_NE(text, nullptr);
    std::string xml(text, size);
    EXPECT_NE(xml.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(xml.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(xml.find(sizeof(void*) == 8 ? "\"amd64\"" : "\"X86\""), std::string::npos);
    // The icon the shell shows is the idle picture: same pixels as the embedded file.
    HRSRC image = FindResourceA(self, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(3));  // RT_ICON
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(SizeofResource(self, image), 1128u);
    EXPECT_EQ(0, std::memcmp(LockResource(LoadResource(self, image)), IconIdle + 22, 1128));
}
