// The header walks between untrusted bytes and the system's decoders: the lies the media fuzz
// target cannot see, since its properties only reject what is accepted outside the data. Each
// walk reads a heap copy of exactly the file's bytes, so under AddressSanitizer a read past the
// end fails even where the verdict is right.
#include "toolkit/media/BmpParse.h"
#include "toolkit/media/IcoParse.h"
#include "toolkit/media/RiffParse.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <tuple>

#include "app/resources/Resources.h"
#include "tests/media/MediaFiles.h"

namespace {

template <typename Layout>
bool Walk(bool (*walk)(const void*, size_t, Layout*), const Bytes& b, Layout* layout) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[b.size()]);
    std::memcpy(copy.get(), b.data(), b.size());
    return walk(copy.get(), b.size(), layout);
}

struct Lie {
    const char* what;
    std::function<void(Bytes&)> apply;
    bool accepted;
};

template <typename Layout>
void ExpectVerdicts(const Bytes& file, bool (*walk)(const void*, size_t, Layout*),
                    const std::vector<Lie>& lies) {
    for (const Lie& lie : lies) {
        Bytes b = file;
        Layout layout{};
        EXPECT_EQ((lie.apply(b), Walk(walk, b, &layout)), lie.accepted) << lie.what;
    }
}

// The chime: 44 bytes of header, "fmt " at 12 and "data" at 36.
TEST(RiffFindWave, ReadsOnlyWhatTheFileDeclaresAndTheFormatHolds) {
    auto insertAt36 = [](Bytes& b, Bytes chunk) {
        b.insert(b.begin() + 36, chunk.begin(), chunk.end());
        Put(b, 4, uint32_t(b.size() - 8));
    };
    ExpectVerdicts(
        Bytes(AlertSound, AlertSound + AlertSoundSize), RiffFindWave,
        {
            {"as made", [](Bytes&) {}, true},
            {"other chunks first",
             [&](Bytes& b) {
                 insertAt36(b, {'L', 'I', 'S', 'T', 1, 0, 0, 0, 'i'});
             },
             true},
            {"first chunk not fmt", [](Bytes& b) { b[12] = 'L'; }, false},
            {"RIFF size ends inside the samples",
             [](Bytes& b) { Put(b, 4, uint32_t(b.size() - 9)); }, false},
            {"bytes beyond the RIFF size", [](Bytes& b) { b.resize(b.size() + 50, 0xEE); }, true},
            {"non-PCM whose cbSize overruns fmt",
             [&](Bytes& b) {
                 insertAt36(b, {40, 0}), Put(b, 16, 18), Put(b, 20, 2, 2);
             },
             false},
        });
}

TEST(BmpInspect, RejectsHeadersThatReachPastTheData) {
    ExpectVerdicts(
        MakeBmp(6, 4, 8, std::vector<uint32_t>(256),
                [](int32_t x, int32_t) { return uint32_t(x); }),
        BmpInspect,
        {
            {"as made", [](Bytes&) {}, true},
            {"top-down rows", [](Bytes& b) { Put(b, 22, uint32_t(-4)); }, true},
            {"core header", [](Bytes& b) { Put(b, 14, 12); }, false},
            {"header longer than the file", [](Bytes& b) { Put(b, 14, 0x7FFFFFFF); }, false},
            {"taller than the rows", [](Bytes& b) { Put(b, 22, 5); }, false},
            {"colour table past the end", [](Bytes& b) { Put(b, 46, 0x40000000); }, false},
            {"unknown depth", [](Bytes& b) { Put(b, 28, 7, 2); }, false},
            {"embedded JPEG", [](Bytes& b) { Put(b, 30, 4); }, false},
            {"bit fields on 8 bits", [](Bytes& b) { Put(b, 30, 3); }, false},
            {"RLE without a size", [](Bytes& b) { Put(b, 30, 1); }, false},
            {"RLE inside the data", [](Bytes& b) { Put(b, 30, 1), Put(b, 34, 8); }, true},
            {"RLE past the end", [](Bytes& b) { Put(b, 30, 1), Put(b, 34, 9999); }, false},
            {"cut inside the rows", [](Bytes& b) { b.resize(b.size() - 1); }, false},
        });
}

// Entries of the first entry's size compete on depth: a small icon is never a shrunk large one.
TEST(IcoChooseImage, PicksTheDeepestImageOfTheFirstSize) {
    struct Case {
        std::vector<std::pair<int32_t, uint32_t>> images;
        size_t want;
    };
    for (const Case& c : {Case{{{16, 24}, {16, 32}}, 1}, Case{{{16, 24}, {32, 32}}, 0},
                          Case{{{16, 32}, {16, 32}}, 0}, Case{{{16, 32}, {16, 24}}, 0}}) {
        const Bytes ico = MakeIco(c.images);
        IcoImage i{};
        ASSERT_TRUE(Walk(IcoChooseImage, ico, &i)) << c.want;
        const auto& want = c.images[c.want];
        EXPECT_EQ(
            std::make_tuple(i.offset, i.size, i.width, i.height, uint32_t(i.bitCount)),
            std::make_tuple(size_t(Get(ico, 18 + 16 * c.want)), size_t(Get(ico, 14 + 16 * c.want)),
                            want.first, want.first, want.second))
            << c.want;
    }
}

// One 16 x 16 32-bit image of 1128 bytes at offset 22.
TEST(IcoChooseImage, RejectsImagesThatDoNotHoldTheirRows) {
    ExpectVerdicts(
        MakeIco({{16, 32}}), IcoChooseImage,
        {
            {"as made", [](Bytes&) {}, true},
            {"a cursor file", [](Bytes& b) { Put(b, 2, 2, 2); }, false},
            {"no entries", [](Bytes& b) { Put(b, 4, 0, 2); }, false},
            {"image size too small for its rows", [](Bytes& b) { Put(b, 14, 1000); }, false},
            {"image taller than its rows", [](Bytes& b) { Put(b, 30, 64); }, false},
            {"image header too short", [](Bytes& b) { Put(b, 22, 12); }, false},
            {"compressed image", [](Bytes& b) { Put(b, 38, 1); }, false},
        });
}

}  // namespace
