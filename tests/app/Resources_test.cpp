#include "app/resources/Resources.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#ifdef _WIN32
#include <windows.h>
#endif

namespace {

uint32_t U16(const unsigned char* p) { return p[0] | (p[1] << 8); }
uint32_t U32(const unsigned char* p) { return U16(p) | (U16(p + 2) << 16); }

// A little-endian header field and the value it must hold.
struct Field { size_t at; int bytes; uint32_t want; };
void ExpectFields(const unsigned char* d, const Field* begin, const Field* end) {
    for (const Field* f = begin; f != end; ++f)
        EXPECT_EQ(f->bytes == 1 ? d[f->at] : f->bytes == 2 ? U16(d + f->at) : U32(d + f->at), f->want)
            << "field at " << f->at;
}

struct IconCase {
    const char* name;
    const unsigned char* data;
    size_t size;
    int strongChannel;  // byte index within BGRA that dominates: 2 red, 0 blue
};

const IconCase kIcons[] = {
    {"IconIdle", IconIdle, IconIdleSize, 2},
    {"IconNew", IconNew, IconNewSize, 0},
};

constexpr size_t kColourRows = 62;
constexpr size_t kMaskRows = 1086;

// The decoders, the shell and the executable's icon all read these headers field by field.
TEST(Resources, IconsHaveTheOneEntryLayout) {
    const Field fields[] = {
        {0, 2, 0},     {2, 2, 1},   {4, 2, 1},    // reserved, icon, one entry
        {6, 1, 16},    {7, 1, 16},  {8, 1, 0},    {10, 2, 1}, {12, 2, 32},
        {14, 4, 1128}, {18, 4, 22},                // the image's size and where it starts
        {22, 4, 40},   {26, 4, 16}, {30, 4, 32},  {34, 2, 1}, {36, 2, 32},  // twice the height
    };
    for (const IconCase& c : kIcons) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.size, 1150u);
        ExpectFields(c.data, std::begin(fields), std::end(fields));
        for (size_t i = 38; i < kColourRows; ++i) EXPECT_EQ(c.data[i], 0) << "header byte " << i;
    }
}

// A transparent surround, a drawn middle in the icon's own colour, and an AND mask that agrees
// with the alpha channel for systems that ignore alpha.
TEST(Resources, IconsAreTransparentAroundAColouredMiddle) {
    for (const IconCase& c : kIcons) {
        SCOPED_TRACE(c.name);
        const unsigned char* pixels = c.data + kColourRows;
        const unsigned char* mask = c.data + kMaskRows;
        long channel[3] = {};
        for (int row = 0; row < 16; ++row) {
            for (int x = 0; x < 16; ++x) {
                const unsigned char* p = pixels + (row * 16 + x) * 4;
                bool transparentBit = (mask[row * 4 + x / 8] >> (7 - x % 8)) & 1;
                EXPECT_EQ(transparentBit, p[3] == 0) << "row " << row << " x " << x;
                if (row == 0 || row == 15 || x == 0 || x == 15) {
                    EXPECT_EQ(p[3], 0) << "edge row " << row << " x " << x;
                }
                for (int k = 0; k < 3; ++k) channel[k] += p[k] * p[3] / 255;
            }
            EXPECT_EQ(mask[row * 4 + 2], 0);  // padding bits of the row
            EXPECT_EQ(mask[row * 4 + 3], 0);
        }
        EXPECT_EQ(pixels[(8 * 16 + 8) * 4 + 3], 255) << "the centre is opaque";
        for (int k = 0; k < 3; ++k)
            EXPECT_TRUE(k == c.strongChannel || channel[c.strongChannel] > 2 * channel[k]) << k;
    }
}

TEST(Resources, AlertSoundIsEightBitMonoPcm) {
    const unsigned char* d = AlertSound;
    ASSERT_EQ(AlertSoundSize, 53028u);
    EXPECT_EQ(0, std::memcmp(d, "RIFF", 4));
    EXPECT_EQ(0, std::memcmp(d + 8, "WAVEfmt ", 8));
    EXPECT_EQ(0, std::memcmp(d + 36, "data", 4));
    const Field fields[] = {
        {4, 4, 53020}, {16, 4, 16},    {20, 2, 1}, {22, 2, 1},  // PCM, mono
        {24, 4, 22050}, {28, 4, 22050}, {32, 2, 1}, {34, 2, 8}, {40, 4, 52984},
    };
    ExpectFields(d, std::begin(fields), std::end(fields));
}

// A chime, not noise: loud near the start, few sign changes (tones, not hiss), dying away and
// ending in exact silence so that cutting it off or replaying it makes no click.
TEST(Resources, AlertSoundIsAChimeThatEndsInSilence) {
    const unsigned char* s = AlertSound + 44;
    const size_t n = 52984;
    auto energy = [&](size_t from, size_t to) {
        double sum = 0;
        for (size_t i = from; i < to; ++i) sum += (s[i] - 128.0) * (s[i] - 128.0);
        return sum / (to - from);
    };
    const size_t tenth = 2205;
    EXPECT_GT(energy(0, tenth), 400.0);
    EXPECT_GT(energy(0, tenth), 20 * energy(n - 3 * tenth, n - tenth));
    for (size_t i = n - 100; i < n; ++i) ASSERT_EQ(s[i], 128) << "sample " << i;
    size_t crossings = 0;
    for (size_t i = 1; i < n; ++i) crossings += (s[i - 1] < 128) != (s[i] < 128);
    EXPECT_LT(crossings, n / 4);
}

#ifdef _WIN32
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
#endif

}  // namespace
