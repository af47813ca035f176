#include "app/resources/Resources.h"

#include <gtest/gtest.h>

#include <string>

#include <windows.h>

std::string Resource(int type) {
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(self, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(type));
    return found ? std::string(static_cast<const char*>(LockResource(LoadResource(self, found))),
                               SizeofResource(self, found))
                 : "";
}

// The shell's icon (group 1, whose one image is the idle picture) and the manifest (type 24,
// id 1) that asks for the version 6 controls of this build's architecture.
TEST(Resources, ExecutableCarriesIconGroupAndManifest) {
    EXPECT_NE(Resource(14), "");                               // RT_GROUP_ICON
    const std::string xml = Resource(24), icon = Resource(3);  // RT_ICON
    EXPECT_NE(xml.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(xml.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(xml.find(sizeof(void*) == 8 ? "\"amd64\"" : "\"X86\""), std::string::npos);
    EXPECT_EQ(icon, std::string(reinterpret_cast<const char*>(IconIdle) + 22, 1128));
}
