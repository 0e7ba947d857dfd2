// The whole song as rendered into the WAV image, and the image's header.
#include "audio/song.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// CRC-32 as in IEEE 802.3 and zip: reflected polynomial 0xEDB88320, initial value and final
// XOR 0xFFFFFFFF.
std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[i] = c;
    }
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

constexpr std::size_t guard_bytes = 64;
constexpr std::uint8_t guard_value = 0x5A;

// The image as program_main builds it, with guard bytes around it to catch stray writes.
class SongImage : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        memory = new std::vector<std::uint8_t>(guard_bytes + SONG_IMAGE_BYTES + guard_bytes,
                                               guard_value);
        song_buffer = memory->data() + guard_bytes;
        sample_data = song_buffer + WAV_HEADER_BYTES;
        std::memcpy(song_buffer, wav_header_template, WAV_HEADER_BYTES);
        render_song();
    }
    static void TearDownTestSuite() {
        delete memory;
        memory = nullptr;
        song_buffer = nullptr;
        sample_data = nullptr;
    }

    static std::int16_t sample(std::size_t index) {
        const std::uint8_t* p = sample_data + 2 * index;
        return static_cast<std::int16_t>(p[0] | (p[1] << 8));
    }

    static std::vector<std::uint8_t>* memory;
};

std::vector<std::uint8_t>* SongImage::memory = nullptr;

constexpr std::size_t song_samples = SONG_BYTES / 2;

std::uint32_t read_le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

} // namespace

TEST_F(SongImage, WholeSongHasTheKnownChecksum) {
    EXPECT_EQ(crc32(sample_data, SONG_BYTES), 0x871A75C3u);
}

TEST_F(SongImage, StatedSamples) {
    const std::int16_t first[16] = {0,  0,  2,   5,   11,  20,  32,  48,
                                    68, 92, 120, 152, 188, 229, 274, 323};
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(sample(i), first[i]) << "sample " << i;
    }
    EXPECT_EQ(sample(4410), -501);
    EXPECT_EQ(sample(song_samples - 1), 533);
    // The last sample sits in the image's last two bytes.
    EXPECT_EQ(song_buffer[SONG_IMAGE_BYTES - 2] | song_buffer[SONG_IMAGE_BYTES - 1] << 8, 533);
}

TEST_F(SongImage, ExtremesAreWhereTheyShouldBe) {
    std::size_t loudest = 0;
    std::size_t lowest = 0;
    for (std::size_t i = 1; i < song_samples; ++i) {
        if (sample(i) > sample(loudest)) {
            loudest = i;
        }
        if (sample(i) < sample(lowest)) {
            lowest = i;
        }
    }
    EXPECT_EQ(sample(loudest), 2408);
    EXPECT_EQ(loudest, 855420u);
    EXPECT_EQ(sample(lowest), -2377);
    EXPECT_EQ(lowest, 52573u);
}

TEST_F(SongImage, RenderWritesOnlyTheSamples) {
    for (std::size_t i = 0; i < guard_bytes; ++i) {
        ASSERT_EQ((*memory)[i], guard_value) << "before the image, byte " << i;
        ASSERT_EQ((*memory)[guard_bytes + SONG_IMAGE_BYTES + i], guard_value)
            << "past the image, byte " << i;
    }
    EXPECT_EQ(std::memcmp(song_buffer, wav_header_template, WAV_HEADER_BYTES), 0);
    // The sequencer ends where it started: 1216 rows are 19 passes of 64.
    EXPECT_EQ(row, 0);
    EXPECT_EQ(order_pos, 0);
}

TEST_F(SongImage, RenderingAgainFromAnyStateGivesTheSameSong) {
    // Leave the voice and the sequencer in a state far from the start.
    order_pos = 3;
    row = 9;
    slide_pending = 1;
    slide_step = 5.0f;
    level_target = 0.7f;
    phase_step = 999.0f;
    render_song();
    EXPECT_EQ(crc32(sample_data, SONG_BYTES), 0x871A75C3u);
}

TEST(WavHeader, HasTheStatedBytes) {
    const std::uint8_t stated[WAV_HEADER_BYTES] = {
        0x52, 0x49, 0x46, 0x46, 0x24, 0xA7, 0xA3, 0x00, 0x57, 0x41, 0x56, 0x45, 0x66, 0x6D, 0x74,
        0x20, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x88, 0x58,
        0x01, 0x00, 0x02, 0x00, 0x10, 0x00, 0x64, 0x61, 0x74, 0x61, 0x00, 0xA7, 0xA3, 0x00};
    EXPECT_EQ(std::memcmp(wav_header_template, stated, WAV_HEADER_BYTES), 0);
}

TEST(WavHeader, SizesDescribeTheImage) {
    EXPECT_EQ(SONG_IMAGE_BYTES, 10725164u);
    EXPECT_EQ(read_le32(wav_header_template + 4), SONG_IMAGE_BYTES - 8);
    EXPECT_EQ(read_le32(wav_header_template + 40), SONG_IMAGE_BYTES - 44);
    // 121.6 s at 44100 Hz, 2 bytes a sample.
    const std::uint32_t bytes_per_second = read_le32(wav_header_template + 28);
    EXPECT_EQ(SONG_BYTES * 10, 1216u * bytes_per_second);
    EXPECT_EQ(SONG_BYTES / 2, static_cast<std::size_t>(SONG_ROW_STEPS) * SAMPLES_PER_ROW);
}
