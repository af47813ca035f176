// The header walks that stand between untrusted bytes and the system's decoders. Natively these
// run under AddressSanitizer, so a read past the data fails the test even when the walk
// happens to answer correctly. Damage that a walk would accept as lying outside the data, or
// as a file of the wrong signature, empty or without size, is the media fuzz target's to find:
// its properties reject exactly that. The lies here are those its properties cannot see.
#include "toolkit/media/BmpParse.h"
#include "toolkit/media/IcoParse.h"
#include "toolkit/media/RiffParse.h"
#include "tests/media/MediaFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>

namespace {

// A heap copy of exactly `b.size()` bytes, so that any read past the end is caught.
std::unique_ptr<uint8_t[]> Exact(const Bytes& b) {
    std::unique_ptr<uint8_t[]> p(new uint8_t[b.size() ? b.size() : 1]);
    if (!b.empty()) std::memcpy(p.get(), b.data(), b.size());
    return p;
}

struct Mutation {
    const char* what;
    std::function<void(Bytes&)> apply;
    bool accepted;
};

// The walk's verdict on each mutation of a fresh copy of `original`; no data is never a file.
template <typename Layout>
void ExpectVerdicts(const Bytes& original, bool (*walk)(const void*, size_t, Layout*),
                    std::initializer_list<Mutation> cases) {
    for (const Mutation& c : cases) {
        Bytes b = original;
        c.apply(b);
        auto copy = Exact(b);
        Layout layout{};
        EXPECT_EQ(walk(copy.get(), b.size(), &layout), c.accepted) << c.what;
    }
    Layout layout{};
    EXPECT_FALSE(walk(nullptr, original.size(), &layout));
}

TEST(RiffFindWave, FindsTheSamplesAfterOtherChunks) {
    Bytes wave = MakeWave(Bytes(100, 0x90), 22050, {{"LIST", Bytes(6, 'x')}, {"fact", Bytes(4, 0)}});
    auto copy = Exact(wave);
    WaveLayout l{};
    ASSERT_TRUE(RiffFindWave(copy.get(), wave.size(), &l));
    EXPECT_EQ(l.formatOffset, 20u);
    EXPECT_EQ(l.formatSize, 16u);
    EXPECT_EQ(l.dataSize, 100u);
    EXPECT_EQ(l.dataOffset, wave.size() - 100);
}

TEST(RiffFindWave, RejectsFilesThatLieOrEndEarly) {
    ExpectVerdicts(MakeWave(Bytes(100, 0x90)), RiffFindWave, {
        {"as made", [](Bytes&) {}, true},
        {"first chunk not fmt", [](Bytes& b) { b[12] = 'L'; }, false},
        {"fmt runs past the end", [](Bytes& b) { Put32(b, 16, 0xFFFFFFF0); }, false},
        {"data size wraps", [](Bytes& b) { Put32(b, 40, 0xFFFFFFFF); }, false},
        {"no data chunk", [](Bytes& b) { b[36] = 'D'; }, false},
        {"RIFF size ends before data", [](Bytes& b) { Put32(b, 4, 40); }, false},
        {"RIFF size ends inside samples", [](Bytes& b) { Put32(b, 4, b.size() - 9); }, false},
        {"trailing bytes beyond RIFF size", [](Bytes& b) { b.resize(b.size() + 50, 0xEE); }, true},
        {"non-PCM whose cbSize overruns fmt",
         [](Bytes& b) {
             // An 18-byte format block claiming 40 extra bytes.
             Bytes fmt(18, 0);
             Put16(fmt, 0, 2);
             Put16(fmt, 16, 40);
             b.erase(b.begin() + 20, b.begin() + 36);
             b.insert(b.begin() + 20, fmt.begin(), fmt.end());
             Put32(b, 16, 18);
             Put32(b, 4, b.size() - 8);
         },
         false},
    });
}

TEST(BmpInspect, RaisesLowDepthsTo24AndKeepsTheRest) {
    for (uint32_t bits : {8, 24, 32}) {
        Bytes bmp = MakeBmp(5, 3, bits, std::vector<uint32_t>(bits == 8 ? 256 : 0),
                            [](int32_t, int32_t) { return 0u; });
        auto copy = Exact(bmp);
        BmpLayout l{};
        ASSERT_TRUE(BmpInspect(copy.get(), bmp.size(), &l)) << bits;
        EXPECT_EQ(l.targetBits, bits == 8 ? 24 : bits);
        EXPECT_EQ(l.width, 5);
        EXPECT_EQ(l.height, 3);
        EXPECT_EQ(l.infoOffset, 14u);
        EXPECT_EQ(l.pixelOffset, bmp.size() - RowStride(5, bits) * 3);
    }
}

TEST(BmpInspect, RejectsHeadersThatReachPastTheData) {
    const Bytes bmp8 = MakeBmp(6, 4, 8, std::vector<uint32_t>(256, 0x00112233),
                               [](int32_t x, int32_t r) { return static_cast<uint32_t>(x + r); });
    ExpectVerdicts(bmp8, BmpInspect, {
        {"as made", [](Bytes&) {}, true},
        {"top-down rows", [](Bytes& b) { Put32(b, 22, static_cast<uint32_t>(-4)); }, true},
        {"core header", [](Bytes& b) { Put32(b, 14, 12); }, false},
        {"header longer than file", [](Bytes& b) { Put32(b, 14, 0x7FFFFFFF); }, false},
        {"most negative height", [](Bytes& b) { Put32(b, 22, 0x80000000u); }, false},
        {"huge width", [](Bytes& b) { Put32(b, 18, 0x7FFFFFFF); }, false},
        {"taller than the rows", [](Bytes& b) { Put32(b, 22, 5); }, false},
        {"pixel offset wraps", [](Bytes& b) { Put32(b, 10, 0xFFFFFFF0); }, false},
        {"colour table past the end", [](Bytes& b) { Put32(b, 46, 0x40000000); }, false},
        {"unknown depth", [](Bytes& b) { Put16(b, 28, 7); }, false},
        {"embedded JPEG", [](Bytes& b) { Put32(b, 30, 4); }, false},
        {"bit fields on 8 bits", [](Bytes& b) { Put32(b, 30, 3); }, false},
        {"RLE without a size", [](Bytes& b) { Put32(b, 30, 1); }, false},
        {"RLE inside the data", [](Bytes& b) { Put32(b, 30, 1); Put32(b, 34, 8); }, true},
        {"RLE past the end", [](Bytes& b) { Put32(b, 30, 1); Put32(b, 34, 9999); }, false},
        {"cut inside the rows", [](Bytes& b) { b.resize(b.size() - 1); }, false},
        {"cut inside the header", [](Bytes& b) { b.resize(30); }, false},
    });
}

TEST(IcoChooseImage, PicksTheDeepestImageOfTheFirstSize) {
    struct Case {
        const char* what;
        std::vector<IconEntry> entries;
        size_t want;  // index of the entry expected
    };
    const Case cases[] = {
        {"one entry", {Icon(16, 32)}, 0},
        {"deeper later entry of the same size", {Icon(16, 8), Icon(16, 32)}, 1},
        {"larger later entry never wins", {Icon(16, 8), Icon(32, 32)}, 0},
        {"ties keep the earlier entry", {Icon(16, 32), Icon(16, 32)}, 0},
        {"shallower later entry", {Icon(16, 32), Icon(16, 8)}, 0},
    };
    for (const Case& c : cases) {
        Bytes ico = MakeIco(c.entries);
        auto copy = Exact(ico);
        IcoImage image{};
        ASSERT_TRUE(IcoChooseImage(copy.get(), ico.size(), &image)) << c.what;
        size_t offset = 6 + 16 * c.entries.size();
        for (size_t i = 0; i < c.want; ++i) offset += c.entries[i].image.size();
        const IconEntry& e = c.entries[c.want];
        EXPECT_EQ(image.offset, offset) << c.what;
        EXPECT_EQ(image.size, e.image.size()) << c.what;
        EXPECT_EQ(image.width, e.width) << c.what;
        EXPECT_EQ(image.height, e.height) << c.what;
        EXPECT_EQ(image.bitCount, e.bits) << c.what;
    }
}

TEST(IcoChooseImage, RejectsCursorsAndDirectoriesThatLie) {
    // One 16 x 16 32-bit image of 1128 bytes at offset 22.
    ExpectVerdicts(MakeIco({Icon(16, 32)}), IcoChooseImage, {
        {"as made", [](Bytes&) {}, true},
        {"no entries", [](Bytes& b) { Put16(b, 4, 0); }, false},
        {"more entries than the file holds", [](Bytes& b) { Put16(b, 4, 0xFFFF); }, false},
        {"image offset wraps", [](Bytes& b) { Put32(b, 18, 0xFFFFFFFF); }, false},
        {"image size too small for its rows", [](Bytes& b) { Put32(b, 14, 1000); }, false},
        {"image taller than its rows", [](Bytes& b) { Put32(b, 30, 64); }, false},
        {"image header too short", [](Bytes& b) { Put32(b, 22, 12); }, false},
        {"compressed image", [](Bytes& b) { Put32(b, 38, 1); }, false},
    });
}

}  // namespace
