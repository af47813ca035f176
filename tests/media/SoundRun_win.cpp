// Sound output under Wine, run by sound_test.sh twice: once with an ALSA device that records
// what is played into a WAV file (FORUMWATCH_SOUND_RECORD names it), and once with no usable
// device at all (FORUMWATCH_SOUND_RECORD unset), where everything must fail quietly.
#include "toolkit/media/Sound.h"

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>

#include "app/resources/Resources.h"
#include "tests/media/MediaFiles.h"
#include "toolkit/system/Heap.h"
#include "toolkit/system/ObjectTable.h"

namespace {

const char* RecordFile() { return std::getenv("FORUMWATCH_SOUND_RECORD"); }

class SoundEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(PrivateHeapCreate()); }
    void TearDown() override { SoundFreeAll(); }
};
::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new SoundEnvironment);

IDirectSoundBuffer* BufferOf(intptr_t handle) { return reinterpret_cast<IDirectSoundBuffer*>(handle); }

// Polls `done` until it holds or `ms` pass; the answer says which.
template <typename Condition>
bool WaitUntil(Condition done, DWORD ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        Sleep(5);
    }
    return true;
}

class SoundDevice : public ::testing::Test {
protected:
    void SetUp() override {
        if (!RecordFile()) GTEST_SKIP() << "run by sound_test.sh with a recording device";
        ASSERT_EQ(SoundInit(), 1);
    }
};

// What reaches the device. The recording device consumes samples as fast as they come, and
// Wine writes ahead and rewinds, which the recording keeps: neither its timing nor its exact
// energy mean much. What it does show is silence before the first playing and then the
// chime's energy (at least what one playing resampled to the device's rate would hold) at
// full volume. It runs first, so no earlier playing can have left anything in the pipeline.
struct Recording {
    uint32_t rate = 0;
    uint16_t channels = 0, bits = 0, tag = 0;
    std::vector<double> frames;  // mean of the channels, scaled to -1..1
};

bool ReadRecording(const char* path, Recording* out) {
    std::ifstream f(path, std::ios::binary);
    const Bytes b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) != 0) return false;
    auto u16 = [&](size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); };
    auto u32 = [&](size_t at) { return static_cast<uint32_t>(u16(at) | (u16(at + 2) << 16)); };
    out->tag = u16(20);
    out->channels = u16(22);
    out->rate = u32(24);
    out->bits = u16(34);
    // The file is still being written: its sizes are not final, so every byte after the
    // header counts as samples.
    size_t at = 12;
    while (at + 8 <= b.size() && std::memcmp(&b[at], "data", 4) != 0) at += 8 + u32(at + 4);
    if (at + 8 > b.size() || out->channels == 0) return false;
    const size_t frameBytes = out->channels * out->bits / 8;
    for (size_t p = at + 8; p + frameBytes <= b.size(); p += frameBytes) {
        double sum = 0;
        for (uint16_t c = 0; c < out->channels; ++c) {
            const size_t s = p + c * out->bits / 8;
            if (out->bits == 16) sum += static_cast<int16_t>(u16(s)) / 32768.0;
            else if (out->bits == 32 && out->tag == 3) { float v; std::memcpy(&v, &b[s], 4); sum += v; }
            else if (out->bits == 32) sum += static_cast<int32_t>(u32(s)) / 2147483648.0;
            else if (out->bits == 8) sum += (b[s] - 128) / 128.0;
        }
        out->frames.push_back(sum / out->channels);
    }
    return true;
}

TEST_F(SoundDevice, RecordingHoldsTheChime) {
    Recording before;
    ASSERT_TRUE(WaitUntil([&] { return ReadRecording(RecordFile(), &before); }, 3000));
    const size_t start = before.frames.size();
    for (double v : before.frames) ASSERT_LT(std::fabs(v), 0.01) << "silence until we play";
    ASSERT_NE(SoundFromMemory(5, AlertSound, AlertSoundSize), 0);
    ASSERT_EQ(SoundPlay(5), 1);
    Recording after;
    const size_t wanted = start + static_cast<size_t>(before.rate * 3.2);
    ASSERT_TRUE(WaitUntil([&] { return ReadRecording(RecordFile(), &after) && after.frames.size() > wanted; },
                          10000))
        << "recorded " << after.frames.size() << " frames at " << after.rate << " Hz";
    double recorded = 0, peak = 0;
    for (size_t i = start; i < after.frames.size(); ++i) {
        recorded += after.frames[i] * after.frames[i];
        peak = std::max(peak, std::fabs(after.frames[i]));
    }
    double expected = 0;
    for (size_t i = 44; i < AlertSoundSize; ++i)
        expected += std::pow((AlertSound[i] - 128) / 128.0, 2);
    expected *= static_cast<double>(after.rate) / 22050;
    std::printf("recorded %u Hz, %u channels, %u bits; peak %.3f; energy %.1f of %.1f expected\n",
                after.rate, after.channels, after.bits, peak, recorded, expected);
    EXPECT_GT(peak, 0.3);
    EXPECT_GT(recorded, 0.6 * expected) << "the whole chime, at full volume";
    SoundFree(5);
}

TEST_F(SoundDevice, AlertSoundLoadsAsOneStaticBuffer) {
    EXPECT_EQ(SoundInit(), 1) << "a second start-up finds the device ready";
    IDirectSoundBuffer* buffer = BufferOf(SoundFromMemory(5, AlertSound, AlertSoundSize));
    ASSERT_NE(buffer, nullptr);
    WAVEFORMATEX f{};
    ASSERT_EQ(buffer->GetFormat(&f, sizeof f, nullptr), DS_OK);
    EXPECT_EQ(std::make_tuple(f.wFormatTag, f.nChannels, f.nSamplesPerSec, f.wBitsPerSample),
              std::make_tuple(WORD{WAVE_FORMAT_PCM}, WORD{1}, DWORD{22050}, WORD{8}));
    DSBCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(buffer->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwBufferBytes, 52984u);
    EXPECT_TRUE(caps.dwFlags & DSBCAPS_STATIC);
    // The samples were copied: the buffer holds the file's, byte for byte.
    void* part = nullptr;
    DWORD partSize = 0;
    ASSERT_EQ(buffer->Lock(0, 0, &part, &partSize, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
    ASSERT_EQ(partSize, 52984u);
    EXPECT_EQ(0, std::memcmp(part, AlertSound + 44, partSize));
    buffer->Unlock(part, partSize, nullptr, 0);
}

TEST_F(SoundDevice, ReloadingReleasesTheOldBufferAndFailureKeepsIt) {
    intptr_t first = SoundFromMemory(5, AlertSound, AlertSoundSize);
    ASSERT_NE(first, 0);
    BufferOf(first)->AddRef();  // our own reference shows when the table lets go
    intptr_t second = SoundFromMemory(5, AlertSound, AlertSoundSize);
    ASSERT_NE(second, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(BufferOf(first)->Release(), 0u) << "the table held no reference any more";

    const Bytes notRiff(40, 'x');
    EXPECT_EQ(SoundFromMemory(5, notRiff.data(), notRiff.size()), 0);
    EXPECT_EQ(SoundFromMemory(5, AlertSound, 100), 0) << "the data chunk runs past the end";
    EXPECT_EQ(SoundPlay(5), 1) << "the sound loaded before the failures is still there";
    SoundFree(5);
    EXPECT_EQ(SoundPlay(5), 0);
    SoundFree(5);
    EXPECT_EQ(SoundFromMemory(6, nullptr, 100), 0);

    // The chunk walk is tested natively; here a file with more chunks than the watcher's, under
    // a chosen number.
    const Bytes withList = MakeWave(Bytes(2000, 140), 11025, {{"LIST", Bytes(26, 'i')}});
    const auto chosen =
        static_cast<int32_t>(SoundFromMemory(AutoNumber, withList.data(), withList.size()));
    ASSERT_GE(chosen, AutoNumberBase);
    EXPECT_EQ(SoundPlay(chosen), 1);
    SoundFree(chosen);
    EXPECT_EQ(SoundPlay(chosen), 0);
}

// The watcher plays sound 5 again while it may still be sounding: it starts over, once.
TEST_F(SoundDevice, PlayingAgainRestartsFromTheBeginning) {
    IDirectSoundBuffer* buffer = BufferOf(SoundFromMemory(5, AlertSound, AlertSoundSize));
    ASSERT_NE(buffer, nullptr);
    auto PlayPosition = [](IDirectSoundBuffer* b) {
        DWORD play = 0, write = 0;
        b->GetCurrentPosition(&play, &write);
        return play;
    };
    auto IsPlaying = [](IDirectSoundBuffer* b) {
        DWORD status = 0;
        b->GetStatus(&status);
        return (status & DSBSTATUS_PLAYING) != 0;
    };
    ASSERT_EQ(SoundPlay(5), 1);
    ASSERT_TRUE(WaitUntil([&] { return PlayPosition(buffer) > 11025; }, 5000))
        << "half a second in; position " << PlayPosition(buffer);
    ASSERT_EQ(SoundPlay(5), 1);
    EXPECT_LT(PlayPosition(buffer), 11025u) << "back near the start";
    EXPECT_TRUE(IsPlaying(buffer));
    // Once through, without looping: it stops by itself within the sound's length and a margin.
    EXPECT_TRUE(WaitUntil([&] { return !IsPlaying(buffer); }, 6000));
    SoundFree(5);
}

// Without a device the program carries on silently: nothing loads, nothing plays.
TEST(SoundWithoutDevice, EverythingFailsQuietly) {
    if (RecordFile()) GTEST_SKIP() << "a device is configured for this run";
    EXPECT_EQ(SoundInit(), 0);
    EXPECT_EQ(SoundFromMemory(5, AlertSound, AlertSoundSize), 0);
    EXPECT_EQ(SoundPlay(5), 0);
    SoundFree(5);
    SoundFreeAll();
    EXPECT_EQ(SoundInit(), 0) << "asking again is harmless";
}

// The hidden window DirectSound is bound to exists however the device fared, and cannot be
// closed by a stray WM_CLOSE.
TEST(SoundWindow, ExistsAndIgnoresClose) {
    SoundInit();
    HWND window = FindWindowA("MultimediaBase Class", "");
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window));
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
}

}  // namespace
