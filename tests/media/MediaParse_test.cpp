// The header walks between untrusted bytes and the system's decoders, handed files that lie
// about their own layout. Each walk reads a heap copy of exactly the file's bytes, so under
// AddressSanitizer a read past the end fails even where the verdict is right.
#include "toolkit/media/IcoParse.h"
#include "toolkit/media/RiffParse.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "app/resources/Resources.h"
#include "tests/media/MediaFiles.h"

namespace {

using Patches = std::vector<std::pair<size_t, uint32_t>>;  // 32-bit values put at offsets

// Each lie is the file with its patches and whether the walk accepts it.
template <typename Layout>
void ExpectVerdicts(const Bytes& file, bool (*walk)(const void*, size_t, Layout*),
                    const std::vector<std::tuple<const char*, Patches, bool>>& lies) {
    for (const auto& [what, patches, accepted] : lies) {
        Bytes b = file;  // a copy holds no spare capacity: it ends where the file does
        for (const auto& [at, value] : patches)
            Put(b, at, value);
        Layout layout{};
        EXPECT_EQ(walk(b.data(), b.size(), &layout), accepted) << what;
    }
}

// The chime with two bytes beyond its 18-byte WAVEFORMATEX (cbSize at 36), another chunk
// before the samples, and bytes beyond its RIFF size: "fmt " at 12, "LIST" at 40.
TEST(RiffFindWave, ReadsOnlyWhatTheFileDeclaresAndTheFormatHolds) {
    Bytes wave(AlertSound, AlertSound + AlertSoundSize);
    const Bytes extra = {2, 0, 0, 0, 'L', 'I', 'S', 'T', 1, 0, 0, 0, 'i'};
    wave.insert(wave.begin() + 36, extra.begin(), extra.end());
    Put(wave, 4, uint32_t(wave.size() - 8));
    Put(wave, 16, 20);
    wave.resize(wave.size() + 50, 0xEE);
    ExpectVerdicts(
        wave, RiffFindWave,
        {
            {"as made", {}, true},
            {"first chunk not fmt", {{12, 0}}, false},
            {"RIFF size ends inside the samples", {{4, uint32_t(wave.size() - 59)}}, false},
            {"non-PCM whose cbSize fills fmt", {{20, 2}}, true},
            {"non-PCM whose cbSize overruns fmt", {{20, 2}, {36, 3}}, false},
        });
}

// Entries of the first entry's size compete on depth: a small icon is never a shrunk large one.
TEST(IcoChooseImage, PicksTheDeepestImageOfTheFirstSize) {
    using Images = std::vector<std::pair<int32_t, uint32_t>>;  // side, bits
    const std::pair<Images, size_t> cases[] = {{{{16, 24}, {16, 32}}, 1},
                                               {{{16, 24}, {32, 32}}, 0},
                                               {{{16, 32}, {16, 32}}, 0},
                                               {{{16, 32}, {16, 24}}, 0}};
    for (const auto& [images, want] : cases) {
        const Bytes made = MakeIco(images), ico = made;  // the copy ends where the file does
        IcoImage i{};
        EXPECT_TRUE(IcoChooseImage(ico.data(), ico.size(), &i) &&
                    i.size == Get(ico, 14 + 16 * want) && i.offset == Get(ico, 18 + 16 * want) &&
                    i.bitCount == images[want].second && i.width == images[want].first &&
                    i.height == images[want].first)
            << want;
    }
}

// One 16 x 16 32-bit image of 1128 bytes at offset 22.
TEST(IcoChooseImage, RejectsImagesThatDoNotHoldTheirRows) {
    ExpectVerdicts(MakeIco({{16, 32}}), IcoChooseImage,
                   {
                       {"as made", {}, true},
                       {"a cursor file", {{2, 1 << 16 | 2}}, false},  // type 2, one entry
                       {"no entries", {{4, 0}}, false},
                       {"image size too small for its rows", {{14, 1000}}, false},
                       {"image taller than its rows", {{30, 64}}, false},
                       {"image header too short", {{22, 12}}, false},
                       {"compressed image", {{38, 1}}, false},
                   });
}

}  // namespace
