// sndPlaySoundA over SDL2, with the layer's rules and WAV reader: the bytes that reach the device,
// refusals, and no device at all.
// SDL's disk driver stands in for a sound card; it writes what it is given to a file.
#include "audio/song.h"
#include "platform/sdl/sound.h"
#include "platform/win32/backend.h"
#include "tests/support/wav_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr UINT show_flags = SND_ASYNC | SND_NODEFAULT | SND_MEMORY;

LPCSTR as_sound(const std::vector<std::uint8_t>& image) {
    return reinterpret_cast<LPCSTR>(image.data());
}

class Playback : public ::testing::Test {
  protected:
    void SetUp() override {
        disk_file = ::testing::TempDir() + "sound_test_" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".raw";
        std::remove(disk_file.c_str());
    }
    void TearDown() override {
        close_sound();
        std::remove(disk_file.c_str());
    }

    // Plays to a file as fast as it can be written.
    void use_disk_driver() {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", disk_file.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "0", 1);
    }

    // Waits (up to a generous limit) for the last of the sound to reach the device.
    static bool wait_until_played() {
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (backend::sound_playing()) {
            if (std::chrono::steady_clock::now() > give_up) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    // The device wrote the sound's bytes exactly, with only silence around them. Before the
    // sound there may be whole buffers of silence, written while the device was being opened.
    void expect_device_got(const std::uint8_t* sound, std::size_t size, std::uint8_t silence) {
        std::ifstream in(disk_file, std::ios::binary);
        const std::vector<std::uint8_t> written{std::istreambuf_iterator<char>(in),
                                                std::istreambuf_iterator<char>()};
        auto is_silent = [silence](std::uint8_t b) { return b == silence; };
        const std::size_t quiet_written =
            std::find_if_not(written.begin(), written.end(), is_silent) - written.begin();
        const std::size_t quiet_sound = std::find_if_not(sound, sound + size, is_silent) - sound;
        ASSERT_GE(quiet_written, quiet_sound);
        const std::size_t start = quiet_written - quiet_sound;
        ASSERT_GE(written.size(), start + size);
        EXPECT_EQ(std::memcmp(written.data() + start, sound, size), 0);
        EXPECT_TRUE(std::all_of(written.begin() + static_cast<std::ptrdiff_t>(start + size),
                                written.end(), is_silent));
    }

    bool device_was_opened() const {
        return std::ifstream(disk_file).good();
    }

    std::string disk_file;
};

// The image as the show builds it, in a block of exactly its size.
std::vector<std::uint8_t> song_image() {
    std::vector<std::uint8_t> image(SONG_IMAGE_BYTES);
    std::memcpy(image.data(), wav_header_template, WAV_HEADER_BYTES);
    song_buffer = image.data();
    sample_data = song_buffer + WAV_HEADER_BYTES;
    render_song();
    song_buffer = nullptr;
    sample_data = nullptr;
    return image;
}

} // namespace

TEST_F(Playback, DeviceReceivesExactlyTheSongsSamples) {
    std::vector<std::uint8_t> image = song_image();
    const std::vector<std::uint8_t> song = image;
    use_disk_driver();
    ASSERT_EQ(sndPlaySoundA(as_sound(image), show_flags), TRUE);
    // The player has its own copy: the image may change while the sound plays.
    std::fill(image.begin(), image.end(), 0x55);
    ASSERT_TRUE(wait_until_played());
    close_sound();

    expect_device_got(song.data() + WAV_HEADER_BYTES, SONG_BYTES, 0x00);
}

TEST_F(Playback, WithoutAsyncReturnsWhenPlayedAndPlaysOnlyWhatTheRiffSizeHolds) {
    // 8-bit stereo: its silence is 0x80.
    // Past the RIFF size, bytes that would read as a broken chunk are not looked at.
    const std::vector<std::uint8_t> samples = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
    const auto image = WavBuilder()
                           .riff()
                           .fmt(1, 2, 22050, 8)
                           .data(samples)
                           .riff_size_fits()
                           .tag("junk")
                           .u32(0xFFFFFFFF)
                           .build();
    use_disk_driver();
    ASSERT_EQ(sndPlaySoundA(as_sound(image), SND_NODEFAULT | SND_MEMORY), TRUE);
    EXPECT_FALSE(backend::sound_playing());
    close_sound();

    expect_device_got(samples.data(), samples.size(), 0x80);
}

TEST_F(Playback, AsyncReturnsWhilePlayingAndNullStops) {
    // The dummy driver consumes the sound in real time: two minutes of song are still playing
    // when the call returns.
    const std::vector<std::uint8_t> image = song_image();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(sndPlaySoundA(as_sound(image), show_flags), TRUE);
    EXPECT_TRUE(backend::sound_playing());
    EXPECT_EQ(sndPlaySoundA(nullptr, 0), TRUE);
    EXPECT_FALSE(backend::sound_playing());
}

TEST_F(Playback, StoppingASlowRateSoundReturnsAtOnce) {
    // At 8 Hz a fixed 1024-frame buffer lasts 128 s, and closing the device waits for the buffer
    // being played: the buffer follows the rate instead.
    const std::vector<std::uint8_t> samples = {0x90, 0xA0, 0x90, 0x80, 0x70, 0x60, 0x70, 0x80};
    const auto image = WavBuilder().riff().fmt(1, 1, 8, 8).data(samples).riff_size_fits().build();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(sndPlaySoundA(as_sound(image), show_flags), TRUE);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(sndPlaySoundA(nullptr, 0), TRUE);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));
}

TEST_F(Playback, MalformedImagesAreRefusedBeforeAnyDeviceOpens) {
    use_disk_driver();
    const auto good =
        WavBuilder().riff().fmt(1, 1, 44100, 16).data({1, 2, 3, 4}).riff_size_fits().build();
    WavBuilder past_riff{good};
    past_riff.set_u32(40, 6); // data chunk longer than the RIFF size leaves
    WavBuilder wrapping{good};
    wrapping.set_u32(40, 0xFFFFFFF8); // a data chunk size that wraps a 32-bit offset around
    WavBuilder long_format{good};
    long_format.set_u32(16, 100); // the format chunk runs over the data and past the end
    WavBuilder not_pcm{good};
    not_pcm.bytes[20] = 3; // IEEE float, which has 32 bits, not 16
    // sndPlaySoundA is given no size: only what an image declares bounds the reading. A block
    // that ends before its own sizes say is caught by the sanitizers.
    const std::vector<std::vector<std::uint8_t>> bad = {
        {'x'},
        WavBuilder().tag("RIFF").u32(3).build(),
        WavBuilder().riff().tag("fmt ").u32(16).riff_size_fits().build(),
        past_riff.build(),
        wrapping.build(),
        long_format.build(),
        not_pcm.build(),
    };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        EXPECT_EQ(sndPlaySoundA(as_sound(bad[i]), show_flags), FALSE) << "image " << i;
        EXPECT_FALSE(backend::sound_playing());
    }
    EXPECT_FALSE(device_was_opened());
    EXPECT_EQ(sndPlaySoundA(as_sound(good), show_flags), TRUE);
}

TEST_F(Playback, OnlyInMemoryImagesPlayedOnce) {
    use_disk_driver();
    const auto good =
        WavBuilder().riff().fmt(1, 1, 44100, 16).data({1, 2, 3, 4}).riff_size_fits().build();
    EXPECT_EQ(sndPlaySoundA("song.wav", SND_ASYNC | SND_NODEFAULT), FALSE);
    EXPECT_EQ(sndPlaySoundA(as_sound(good), show_flags | SND_LOOP), FALSE);
    EXPECT_FALSE(device_was_opened());
}

TEST_F(Playback, NoAudioDeviceFailsQuietlyAndLaterCallsRecover) {
    const auto good =
        WavBuilder().riff().fmt(1, 1, 44100, 16).data({1, 2, 3, 4}).riff_size_fits().build();
    setenv("SDL_AUDIODRIVER", "dummy-nonexistent", 1);
    ::testing::internal::CaptureStderr();
    const BOOL first = sndPlaySoundA(as_sound(good), show_flags);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(first, FALSE);
    EXPECT_FALSE(backend::sound_playing());
    // One line saying so, no more.
    ASSERT_FALSE(said.empty());
    EXPECT_EQ(said.find('\n'), said.size() - 1) << said;

    EXPECT_EQ(sndPlaySoundA(as_sound(good), show_flags), FALSE);
    close_sound();
    close_sound();

    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_EQ(sndPlaySoundA(as_sound(good), show_flags), TRUE);
}
