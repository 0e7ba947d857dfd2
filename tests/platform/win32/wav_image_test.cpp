// The one reader of WAV images, which sndPlaySoundA uses on every host.
#include "audio/song.h"
#include "platform/win32/wav_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

// The program's own image: only its header is read, never past the declared end.
TEST(WavImage, TheSongsImageIsMonoPcmAt44100) {
    win32::WavSamples samples{};
    const char* problem = nullptr;
    ASSERT_TRUE(win32::read_wav(wav_header_template, &samples, &problem)) << problem;
    EXPECT_EQ(samples.image, wav_header_template);
    EXPECT_EQ(samples.image_bytes, SONG_IMAGE_BYTES);
    EXPECT_EQ(samples.data, wav_header_template + WAV_HEADER_BYTES);
    EXPECT_EQ(samples.frames, SONG_BYTES / 2);
    EXPECT_EQ(samples.channels, 1);
    EXPECT_EQ(samples.rate, 44100);
    EXPECT_EQ(samples.bits, 16);
}

TEST(WavImage, ImagesItCannotPlayAreRefused) {
    win32::WavSamples samples{};
    const char* problem = nullptr;
    std::uint8_t image[WAV_HEADER_BYTES];

    std::memcpy(image, wav_header_template, sizeof image);
    image[20] = 3; // IEEE float samples
    EXPECT_FALSE(win32::read_wav(image, &samples, &problem));

    // A data chunk longer than the image declares.
    std::memcpy(image, wav_header_template, sizeof image);
    image[4] = static_cast<std::uint8_t>(image[4] - 2);
    EXPECT_FALSE(win32::read_wav(image, &samples, &problem));

    const std::uint8_t not_riff[] = {'R', 'I', 'F', 'X'};
    EXPECT_FALSE(win32::read_wav(not_riff, &samples, &problem));
    EXPECT_STREQ(problem, "not a RIFF image");
}

} // namespace
