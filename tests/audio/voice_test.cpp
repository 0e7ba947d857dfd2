// The voice's behaviour at the edges the song itself never reaches: the ramp's strict
// comparisons, the exact phase wrap, the filter's clamps and the 16-bit conversion.
#include "audio/song.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// A voice with the filter held still (no envelope decay), its cutoff and resonance given.
void settle_voice(float coef, float res) {
    reset_voice();
    env_decay = 0.0f;
    cutoff_floor = 0.0f;
    cutoff_env = coef;
    res_amount = res;
    phase = 1000.0f;
    phase_step = 37.0f;
    slide_left = 0.0f;
    level = 0.25f;
    level_target = 0.25f;
}

// Runs a settled voice for a few samples and returns the last output.
float run_filter(float coef, float res) {
    settle_voice(coef, res);
    float y = 0.0f;
    for (int i = 0; i < 50; ++i) {
        y = next_sample();
    }
    return y;
}

std::int16_t sample16(float s) {
    std::uint8_t bytes[2] = {0xAA, 0xAA};
    write_sample16(bytes, s);
    return static_cast<std::int16_t>(bytes[0] | (bytes[1] << 8));
}

} // namespace

TEST(VoiceLevel, RisesByOneStepAndStopsShortOfTheTarget) {
    reset_voice();
    level_target = 0.1f;

    EXPECT_EQ(next_sample(), 0.0f);
    // The phase starts at 0, so the very first oscillator value is silent.
    EXPECT_EQ(osc_out, 0.0f);
    EXPECT_EQ(level, 1.0f / 128.0f);
    for (int i = 2; i <= 12; ++i) {
        next_sample();
        EXPECT_EQ(level, static_cast<float>(i) / 128.0f) << "sample " << i;
    }
    for (int i = 0; i < 100; ++i) {
        next_sample();
    }
    EXPECT_EQ(level, 0.09375f);
}

TEST(VoiceLevel, FallsByOneStepAndStopsShortOfTheTarget) {
    reset_voice();
    level = 19.0f / 128.0f;
    level_target = 0.1f;
    next_sample();
    EXPECT_EQ(level, 18.0f / 128.0f);
    for (int i = 0; i < 20; ++i) {
        next_sample();
    }
    EXPECT_EQ(level, 13.0f / 128.0f);

    // A rest: the voice falls toward 0 but stays one step short of silence.
    level = 19.0f / 128.0f;
    level_target = 0.0f;
    for (int i = 0; i < 40; ++i) {
        next_sample();
    }
    EXPECT_EQ(level, 1.0f / 128.0f);
}

TEST(VoiceLevel, TargetExactlyOneStepAwayLeavesTheLevel) {
    reset_voice();
    level = 0.5f;
    level_target = 0.5f + 1.0f / 128.0f;
    next_sample();
    EXPECT_EQ(level, 0.5f);

    level_target = 0.5f - 1.0f / 128.0f;
    next_sample();
    EXPECT_EQ(level, 0.5f);
}

TEST(VoicePhase, WrapsOncePastTheTop) {
    reset_voice();
    phase_step = 100.0f;
    for (int i = 0; i < 163; ++i) {
        next_sample();
    }
    EXPECT_EQ(phase, 16300.0f);
    next_sample();
    EXPECT_EQ(phase, -16368.0f);

    // Landing exactly on 16384 wraps too.
    reset_voice();
    phase_step = 128.0f;
    for (int i = 0; i < 127; ++i) {
        next_sample();
    }
    EXPECT_EQ(phase, 16256.0f);
    next_sample();
    EXPECT_EQ(phase, -16384.0f);
}

TEST(VoicePhase, OscillatorUsesThePhaseBeforeTheAdvance) {
    reset_voice();
    level = 0.5f;
    level_target = 0.5f;
    phase = 200.0f;
    phase_step = 100.0f;
    next_sample();
    EXPECT_EQ(osc_out, 100.0f);
    EXPECT_EQ(phase, 300.0f);
}

TEST(VoiceSlide, StepChangesFromTheNextSampleAndStopsWhenTheCountRunsOut) {
    reset_voice();
    phase_step = 10.0f;
    slide_step = 2.0f;
    slide_left = 3.0f;
    next_sample();
    EXPECT_EQ(phase, 10.0f);
    EXPECT_EQ(phase_step, 12.0f);
    EXPECT_EQ(slide_left, 2.0f);
    next_sample();
    next_sample();
    next_sample();
    EXPECT_EQ(phase_step, 16.0f);
    EXPECT_EQ(slide_left, 0.0f);
    EXPECT_EQ(phase, 10.0f + 12.0f + 14.0f + 16.0f);
}

TEST(VoiceEnvelope, ZeroDecayHoldsTheEnvelope) {
    reset_voice();
    env_decay = 0.0f;
    cutoff_env = 0.3f;
    cutoff_floor = 0.1f;
    for (int i = 0; i < 1000; ++i) {
        next_sample();
        ASSERT_EQ(cutoff_env, 0.3f) << "sample " << i;
    }
    EXPECT_EQ(cutoff_coef, static_cast<float>(0.3 + static_cast<double>(0.1f)));
}

TEST(VoiceEnvelope, DecaysPastZeroWhileTheCoefficientStopsAtTheFloor) {
    reset_voice();
    env_decay = 0.5f;
    cutoff_floor = 0.5f;
    cutoff_env = 0.0f;
    next_sample();
    EXPECT_EQ(cutoff_coef, 0.5f);
    // 0.5 * 0.5 / 64
    EXPECT_EQ(cutoff_env, -0.00390625f);
    next_sample();
    EXPECT_LT(cutoff_env, -0.00390625f);
    EXPECT_EQ(cutoff_coef, 0.5f);
}

TEST(VoiceFilter, CoefficientAndResonanceAreClampedForTheFilterOnly) {
    const float at_bounds = run_filter(0.999f, 0.98f);
    EXPECT_EQ(run_filter(1.2f, 2.0f), at_bounds);
    // The stored settings keep their unclamped values.
    EXPECT_EQ(cutoff_coef, 1.2f);
    EXPECT_EQ(res_amount, 2.0f);

    const float at_lower_bounds = run_filter(0.005f, 0.01f);
    EXPECT_EQ(run_filter(0.001f, 0.0f), at_lower_bounds);
    EXPECT_EQ(run_filter(-3.0f, -1.0f), at_lower_bounds);
}

TEST(VoiceFilter, BoundsAreTheExactFloatValues) {
    // One float step outside a bound is clamped; one step inside is used as it is.
    const float above = std::nextafter(0.999f, 2.0f);
    const float below = std::nextafter(0.999f, 0.0f);
    EXPECT_EQ(run_filter(above, 0.5f), run_filter(0.999f, 0.5f));
    EXPECT_NE(run_filter(below, 0.5f), run_filter(0.999f, 0.5f));

    const float coef_under = std::nextafter(0.005f, 0.0f);
    const float coef_over = std::nextafter(0.005f, 1.0f);
    EXPECT_EQ(run_filter(coef_under, 0.5f), run_filter(0.005f, 0.5f));
    EXPECT_NE(run_filter(coef_over, 0.5f), run_filter(0.005f, 0.5f));

    const float res_over = std::nextafter(0.98f, 2.0f);
    const float res_under = std::nextafter(0.98f, 0.0f);
    EXPECT_EQ(run_filter(0.6f, res_over), run_filter(0.6f, 0.98f));
    EXPECT_NE(run_filter(0.6f, res_under), run_filter(0.6f, 0.98f));
}

TEST(VoiceFilter, HighResonanceStaysFiniteAtTheTopCutoff) {
    settle_voice(5.0f, 5.0f);
    level = 1.0f;
    level_target = 1.0f;
    for (int i = 0; i < 44100; ++i) {
        ASSERT_TRUE(std::isfinite(next_sample())) << "sample " << i;
    }
}

TEST(SampleConversion, ClampUnitLimitsToPlusMinusOne) {
    EXPECT_EQ(clamp_unit(1.5f), 1.0f);
    EXPECT_EQ(clamp_unit(-1.5f), -1.0f);
    EXPECT_EQ(clamp_unit(1.0f), 1.0f);
    EXPECT_EQ(clamp_unit(-1.0f), -1.0f);
    EXPECT_EQ(clamp_unit(0.25f), 0.25f);
    EXPECT_EQ(clamp_unit(std::numeric_limits<float>::infinity()), 1.0f);
    EXPECT_EQ(clamp_unit(-std::numeric_limits<float>::infinity()), -1.0f);
    // Both comparisons fail for a NaN, which comes back as it went in.
    EXPECT_TRUE(std::isnan(clamp_unit(std::numeric_limits<float>::quiet_NaN())));
}

TEST(SampleConversion, WritesTruncatedLittleEndianSamples) {
    struct Case {
        float s;
        std::uint8_t low;
        std::uint8_t high;
    };
    const Case cases[] = {
        {1.5f, 0xFF, 0x7F},  // 32767
        {-1.5f, 0x01, 0x80}, // -32767, never -32768
        {0.5f, 0xFF, 0x3F},  // 16383.5 truncated to 16383
        {-0.5f, 0x01, 0xC0}, // -16383.5 truncated toward zero to -16383
        {1.0f, 0xFF, 0x7F},  {-1.0f, 0x01, 0x80},
        {0.0f, 0x00, 0x00},  {-0.00002f, 0x00, 0x00}, // -0.66 truncates to 0, not -1
    };
    for (const Case& c : cases) {
        std::uint8_t bytes[4] = {0xAA, 0xAA, 0xAA, 0xAA};
        write_sample16(bytes + 1, c.s);
        EXPECT_EQ(bytes[1], c.low) << c.s;
        EXPECT_EQ(bytes[2], c.high) << c.s;
        EXPECT_EQ(bytes[0], 0xAA) << "wrote before the sample, s = " << c.s;
        EXPECT_EQ(bytes[3], 0xAA) << "wrote past the sample, s = " << c.s;
    }
    EXPECT_EQ(sample16(std::numeric_limits<float>::infinity()), 32767);
}
