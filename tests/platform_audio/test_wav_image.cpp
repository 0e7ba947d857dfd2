// The WAV image reader: what it takes from a good image, and that a bad one is refused without a
// read past what the image declares (each image sits in a block of exactly its size).
#include "platform/linux/wav_image.h"
#include "wav_builder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

const std::vector<std::uint8_t> four_samples = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};

WavError parse(const std::vector<std::uint8_t>& image, WavImage* out = nullptr) {
    WavImage ignored;
    return parse_wav_image(image.data(), image.size(), out != nullptr ? out : &ignored);
}

// As sndPlaySoundA reads: without knowing the block's size.
WavError parse_unbounded(const std::vector<std::uint8_t>& image) {
    WavImage ignored;
    return parse_wav_image(image.data(), SIZE_MAX, &ignored);
}

} // namespace

TEST(WavImageRead, FindsFormatAndSamples) {
    const auto image =
        WavBuilder().riff().fmt(1, 1, 44100, 16).data(four_samples).riff_size_fits().build();
    WavImage wav;
    ASSERT_EQ(parse(image, &wav), WavError::none);
    EXPECT_EQ(wav.sample_rate, 44100u);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.bits_per_sample, 16);
    EXPECT_EQ(wav.samples, image.data() + 44);
    EXPECT_EQ(wav.sample_bytes, 8u);
}

TEST(WavImageRead, SkipsOtherChunksAndTheirPadBytes) {
    // A 3-byte chunk is followed by a pad byte; "data" may come before "fmt ".
    const auto image = WavBuilder()
                           .riff()
                           .tag("LIST")
                           .u32(3)
                           .raw({'a', 'b', 'c', 0})
                           .data(four_samples)
                           .fmt(1, 2, 22050, 8)
                           .riff_size_fits()
                           .build();
    WavImage wav;
    ASSERT_EQ(parse(image, &wav), WavError::none);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.bits_per_sample, 8);
    EXPECT_EQ(wav.sample_rate, 22050u);
    EXPECT_EQ(wav.samples, image.data() + 12 + 12 + 8);
    EXPECT_EQ(wav.sample_bytes, 8u);
}

TEST(WavImageRead, KeepsWholeFramesOnly) {
    const auto image = WavBuilder()
                           .riff()
                           .fmt(1, 2, 44100, 16)
                           .data({1, 2, 3, 4, 5, 6, 7})
                           .raw({0}) // pad byte
                           .riff_size_fits()
                           .build();
    WavImage wav;
    ASSERT_EQ(parse(image, &wav), WavError::none);
    EXPECT_EQ(wav.sample_bytes, 4u);
}

TEST(WavImageRead, IgnoresBytesPastTheRiffSize) {
    auto builder = WavBuilder().riff().fmt(1, 1, 8000, 16).data(four_samples).riff_size_fits();
    // Trailing bytes beyond the declared size, which would read as a broken chunk.
    builder.tag("junk").u32(0xFFFFFFFF);
    EXPECT_EQ(parse(builder.build()), WavError::none);
}

TEST(WavImageRefuse, NotRiffWave) {
    EXPECT_EQ(parse(WavBuilder().tag("RIFX").u32(4).tag("WAVE").build()), WavError::not_riff_wave);
    EXPECT_EQ(parse(WavBuilder().tag("RIFF").u32(4).tag("AVI ").build()), WavError::not_riff_wave);
    // A RIFF size too small to hold even the form type; the form type is not read.
    EXPECT_EQ(parse(WavBuilder().tag("RIFF").u32(3).build()), WavError::not_riff_wave);
    EXPECT_EQ(parse_unbounded(WavBuilder().tag("RIFF").u32(3).build()), WavError::not_riff_wave);
    // A pointer to one byte that is not 'R' is read no further.
    EXPECT_EQ(parse_unbounded({'x'}), WavError::not_riff_wave);
    EXPECT_EQ(parse({}), WavError::not_riff_wave);
}

TEST(WavImageRefuse, TruncatedHeader) {
    // The RIFF size ends right after the "fmt " chunk's header: its body is not there.
    const auto image = WavBuilder().riff().tag("fmt ").u32(16).riff_size_fits().build();
    EXPECT_EQ(parse(image), WavError::chunk_past_end);
    EXPECT_EQ(parse_unbounded(image), WavError::chunk_past_end);
    // Only the RIFF header.
    EXPECT_EQ(parse(WavBuilder().riff().riff_size_fits().build()), WavError::no_format);
    // A chunk header cut short: too little left to hold one, so there is no format.
    EXPECT_EQ(parse_unbounded(WavBuilder().riff().tag("fmt ").riff_size_fits().build()),
              WavError::no_format);
}

TEST(WavImageRefuse, ChunkSizesPastTheRiffSize) {
    // The data chunk claims more than the RIFF size leaves.
    auto image =
        WavBuilder().riff().fmt(1, 1, 44100, 16).data(four_samples).riff_size_fits().build();
    WavBuilder grown{image};
    grown.set_u32(40, 9);
    EXPECT_EQ(parse_unbounded(grown.build()), WavError::chunk_past_end);
    // A size that would wrap a 32-bit offset around.
    grown.set_u32(40, 0xFFFFFFF8);
    EXPECT_EQ(parse_unbounded(grown.build()), WavError::chunk_past_end);
    // The format chunk overruns into the data chunk and past the end.
    WavBuilder long_format{image};
    long_format.set_u32(16, 100);
    EXPECT_EQ(parse_unbounded(long_format.build()), WavError::chunk_past_end);
    // The RIFF size itself claims more than the block holds.
    WavBuilder long_riff{image};
    long_riff.set_u32(4, static_cast<std::uint32_t>(image.size()));
    EXPECT_EQ(parse(long_riff.build()), WavError::shorter_than_declared);
}

TEST(WavImageRefuse, FormatsItCannotPlay) {
    auto with_format = [](unsigned tag, unsigned channels, std::uint32_t rate, unsigned bits) {
        return parse(WavBuilder()
                         .riff()
                         .fmt(tag, channels, rate, bits)
                         .data(four_samples)
                         .riff_size_fits()
                         .build());
    };
    EXPECT_EQ(with_format(3, 1, 44100, 32), WavError::not_pcm);      // IEEE float
    EXPECT_EQ(with_format(0xFFFE, 1, 44100, 16), WavError::not_pcm); // extensible
    EXPECT_EQ(with_format(1, 1, 44100, 24), WavError::unsupported_format);
    EXPECT_EQ(with_format(1, 0, 44100, 16), WavError::unsupported_format);
    EXPECT_EQ(with_format(1, 6, 44100, 16), WavError::unsupported_format);
    EXPECT_EQ(with_format(1, 1, 0, 16), WavError::unsupported_format);

    // A block alignment that does not match channels and bits.
    auto image =
        WavBuilder().riff().fmt(1, 1, 44100, 16).data(four_samples).riff_size_fits().build();
    WavBuilder odd_block{image};
    odd_block.bytes[32] = 3;
    EXPECT_EQ(parse(odd_block.build()), WavError::unsupported_format);

    // A format chunk too short for the PCM fields.
    EXPECT_EQ(parse(WavBuilder()
                        .riff()
                        .tag("fmt ")
                        .u32(14)
                        .u16(1)
                        .u16(1)
                        .u32(44100)
                        .u32(88200)
                        .u16(2)
                        .data(four_samples)
                        .riff_size_fits()
                        .build()),
              WavError::no_format);
    EXPECT_EQ(parse(WavBuilder().riff().fmt(1, 1, 44100, 16).riff_size_fits().build()),
              WavError::no_data);
}
