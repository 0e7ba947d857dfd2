// The sequencer: what each row step makes of the note bytes and the order position's
// settings, the slides, and the counters.
#include "audio/song.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Runs the voice through the rest of a row (the row step came before the first sample).
void run_samples(int count) {
    for (int i = 0; i < count; ++i) {
        next_sample();
    }
}

// Places the sequencer at a row of an order position, on a freshly reset voice.
void start_at(int position, int row_index) {
    reset_voice();
    order_pos = static_cast<std::uint8_t>(position);
    row = static_cast<std::uint8_t>(row_index);
}

// The stated settings are rounded in their last digit.
void expect_stated(float value, double stated, int decimals, const char* what) {
    EXPECT_NEAR(value, stated, 0.5 * std::pow(10.0, -decimals)) << what;
}

} // namespace

TEST(SequencerSettings, EachOrderPositionDerivesItsFilterSettings) {
    struct Derived {
        double floor;
        double env;
        double decay;
    };
    const Derived stated[4] = {
        {0.0911435, 0.2356606, 0.013176},
        {0.0130205, 0.0651181, 0.010614},
        {0.0078123, 0.0547017, 0.010248},
        {0.0078123, 0.0547017, 0.015128},
    };
    for (int position = 0; position < 4; ++position) {
        SCOPED_TRACE(position);
        // Row 3 (0xC0) triggers without accent or slide.
        start_at(position, 3);
        step_row();
        expect_stated(cutoff_floor, stated[position].floor, 7, "cutoff_floor");
        expect_stated(cutoff_env, stated[position].env, 7, "cutoff_env");
        EXPECT_EQ(res_amount, 0.09375f);
        expect_stated(env_decay, stated[position].decay, 6, "env_decay");
        EXPECT_EQ(level_target, 0.1f);
        EXPECT_EQ(current_params.cutoff, song_params[position].cutoff);
    }
}

TEST(SequencerSettings, AccentRaisesResonanceFloorAndLevel) {
    for (int position = 0; position < 4; ++position) {
        SCOPED_TRACE(position);
        start_at(position, 3);
        step_row();
        const float plain_floor = cutoff_floor;
        const float plain_env = cutoff_env;

        // Row 4 (0xE5) triggers with accent and no slide.
        start_at(position, 4);
        step_row();
        expect_stated(res_amount, 0.1015160, 7, "res_amount");
        expect_stated(cutoff_floor - plain_floor, 0.007766, 6, "accent on the floor");
        EXPECT_EQ(cutoff_env, plain_env);
        expect_stated(level_target, 0.1497024, 7, "level_target");
        EXPECT_GT(env_decay, 0.0f);
    }
}

TEST(SequencerSettings, SlideBitHoldsTheEnvelope) {
    // Row 0 (0x72) triggers with slide and accent.
    start_at(0, 0);
    step_row();
    EXPECT_EQ(env_decay, 0.0f);
    EXPECT_EQ(slide_pending, 1);
    const float env = cutoff_env;
    run_samples(SAMPLES_PER_ROW);
    EXPECT_EQ(cutoff_env, env);
}

TEST(SequencerPitch, EveryRowPlaysItsNote) {
    // phase_step of each row's note: 2^(p/10), p from the note byte.
    const float stated[16] = {274.37408f, 45.254833f, 315.17300f, 103.96829f,
                              147.03337f, 238.85646f, 45.254833f, 45.254833f,
                              238.85646f, 103.96829f, 294.06674f, 45.254833f,
                              238.85646f, 103.96829f, 238.85646f, 45.254833f};
    for (int r = 0; r < 16; ++r) {
        SCOPED_TRACE(r);
        // Without a pending slide the note's pitch is set at once.
        start_at(1, r);
        step_row();
        EXPECT_FLOAT_EQ(phase_step, stated[r]);
        EXPECT_EQ(slide_step, 0.0f);
    }
    // 0xC0 has both shift bits, which cancel: p = 67, 139.92 Hz.
    start_at(0, 3);
    step_row();
    EXPECT_NEAR(phase_step * 44100.0 / 32768.0, 139.92, 0.005);
}

TEST(SequencerPitch, RowOneGlidesFromRowZerosPitch) {
    start_at(0, 0);
    step_row();
    EXPECT_FLOAT_EQ(phase_step, 274.37408f);
    run_samples(SAMPLES_PER_ROW);

    step_row();
    EXPECT_FLOAT_EQ(phase_step, 274.37408f);
    EXPECT_FLOAT_EQ(slide_step, -0.10390896f);
    EXPECT_EQ(slide_left, 2205.0f);
    run_samples(SLIDE_SAMPLES - 1);
    EXPECT_EQ(slide_left, 1.0f);
    run_samples(1);
    EXPECT_EQ(slide_left, 0.0f);
    // The sum of 2205 float steps lands near, not on, the note's own 45.254833.
    EXPECT_FLOAT_EQ(phase_step, 45.248035f);
    EXPECT_NE(phase_step, 45.254833f);
    const float end_step = phase_step;
    run_samples(SAMPLES_PER_ROW - SLIDE_SAMPLES);
    EXPECT_EQ(phase_step, end_step);
}

TEST(SequencerPitch, OnlyRowsAfterASlideNoteGlide) {
    reset_voice();
    order_pos = 0;
    for (int step = 0; step < 64; ++step) {
        const int r = row;
        const bool after_slide_note = (song_notes[(r + 15) % 16] & 0x10) != 0;
        step_row();
        // The very first row has no note before it.
        const bool glides = after_slide_note && step != 0;
        EXPECT_EQ(slide_left > 0.0f, glides) << "row " << r;
        EXPECT_EQ(slide_step != 0.0f, glides) << "row " << r;
        // Each slide runs out within its row.
        run_samples(SAMPLES_PER_ROW);
        EXPECT_EQ(slide_left, 0.0f) << "row " << r;
    }
}

TEST(SequencerCounters, RowsAndOrderPositionsWrap) {
    reset_voice();
    order_pos = 0;
    for (int step = 1; step <= SONG_ROW_STEPS; ++step) {
        step_row();
        ASSERT_EQ(row, step % 16) << "step " << step;
        ASSERT_EQ(order_pos, (step / 16) % 4) << "step " << step;
    }
    EXPECT_EQ(SONG_ROW_STEPS, 1216);
    EXPECT_EQ(row, 0);
    EXPECT_EQ(order_pos, 0);
}
