// The bass voice: a rising sawtooth whose amplitude glides toward a target, through a resonant
// two-pole low-pass whose cutoff follows a decaying envelope.
//
// The output is reproduced to the last bit: each update is evaluated in double from the stored
// floats and rounded to float where it is stored, with multiplications and additions rounded
// separately. Every static_cast<float> below is such a store.
#include "audio/float_bits.h"
#include "audio/song.h"

float phase = 0.0f;
float phase_step = 0.0f;
float slide_step = 0.0f;
float slide_left = 0.0f;
float level = 0.0f;
float level_target = 0.0f;
float note_level = 0.0f;
float base_level = 0.0f;
float osc_out = 0.0f;
float cutoff_coef = 0.0f;
float cutoff_floor = 0.0f;
float cutoff_env = 0.0f;
float env_decay = 0.0f;
float res_amount = 0.0f;
float filter_stage1 = 0.0f;
float filter_out = 0.0f;

namespace {

// Largest change of level in one sample, 2^-7.
constexpr float level_step = float_from_bits(0x3C000000);
// The envelope loses env_decay / 64 of cutoff_env + cutoff_floor each sample.
constexpr float decay_scale = float_from_bits(0x3C800000);
// Bounds of the resonance and of the filter coefficient, which keep the filter stable for any
// setting; the coefficient never reaches 1, so 1 / (1 - coef) stays finite.
constexpr float res_max = float_from_bits(0x3F7AE148);     // 0.98
constexpr float res_min = float_from_bits(0x3C23D70A);     // 0.01
constexpr float coef_max = float_from_bits(0x3F7FBE77);    // 0.999
constexpr float coef_min = float_from_bits(0x3BA3D70A);    // 0.005
constexpr float start_level = float_from_bits(0x3DCCCCCD); // 0.1
constexpr float start_filter_setting = 0.5f;

// One period is 32768 phase units; the phase wraps from +16384 down to -16384.
constexpr float phase_wrap_point = 16384.0f;
constexpr double phase_period = 32768.0;

// The voice's output is scaled by 2^-15 into the 16-bit range.
constexpr double output_scale = 0x1p-15;

// x limited to [lo, hi]. A NaN fails both comparisons and comes back as it is.
inline float clamp_to(float x, float lo, float hi) {
    x = hi < x ? hi : x;
    return x < lo ? lo : x;
}

} // namespace

void reset_voice() {
    phase = 0.0f;
    phase_step = 0.0f;
    slide_left = 0.0f;
    level = 0.0f;
    note_level = 0.0f;
    base_level = start_level;
    cutoff_coef = start_filter_setting;
    cutoff_floor = start_filter_setting;
    cutoff_env = start_filter_setting;
    env_decay = start_filter_setting;
    res_amount = start_filter_setting;
    filter_stage1 = 0.0f;
    filter_out = 0.0f;
    row = 0;
    slide_pending = 0;
}

namespace {

// One sample of the voice; kept apart from next_sample so that render_samples can run it inline.
inline float step_voice() {
    // The amplitude moves toward its target by at most one step and stops within a step of it.
    const double level_up = static_cast<double>(level) + level_step;
    const double level_down = static_cast<double>(level) - level_step;
    if (level_target > level_up) {
        level = static_cast<float>(level_up);
    } else if (level_target < level_down) {
        level = static_cast<float>(level_down);
    }

    // Sawtooth from the phase before this sample's advance.
    osc_out = static_cast<float>(static_cast<double>(phase) * level);
    phase = static_cast<float>(static_cast<double>(phase) + phase_step);

    // A slide moves the pitch linearly; the new step counts from the next sample.
    if (slide_left > 0.0f) {
        slide_left = static_cast<float>(static_cast<double>(slide_left) - 1.0);
        phase_step = static_cast<float>(static_cast<double>(phase_step) + slide_step);
    }

    if (phase >= phase_wrap_point) {
        phase = static_cast<float>(static_cast<double>(phase) - phase_period);
    }

    // The cutoff decays exponentially toward cutoff_floor: the sum env + floor shrinks by the
    // factor (1 - env_decay / 64) a sample. The envelope itself may go below 0.
    cutoff_coef = static_cast<float>(static_cast<double>(cutoff_env) + cutoff_floor);
    cutoff_env = static_cast<float>(static_cast<double>(cutoff_env) -
                                    static_cast<double>(env_decay) * cutoff_coef * decay_scale);
    if (cutoff_floor > cutoff_coef) {
        cutoff_coef = cutoff_floor;
    }

    const float res = clamp_to(res_amount, res_min, res_max);
    const float coef = clamp_to(cutoff_coef, coef_min, coef_max);

    // Two one-pole low-pass stages in series, each moving toward its input by coef a sample.
    // The difference between the stages, scaled by fb, is fed back into the first stage's
    // input: the resonance, which grows as the cutoff rises.
    const float w = static_cast<float>(1.0 - coef);
    const float fb = static_cast<float>((1.0 / w + 1.0) * res);
    const double feed = ((static_cast<double>(filter_stage1) - filter_out) * fb + osc_out) * coef;
    filter_stage1 = static_cast<float>(static_cast<double>(filter_stage1) * w + feed);
    filter_out = static_cast<float>(static_cast<double>(filter_out) * w +
                                    static_cast<double>(coef) * filter_stage1);
    return filter_out;
}

} // namespace

float next_sample() {
    return step_voice();
}

float clamp_unit(float s) {
    return clamp_to(s, -1.0f, 1.0f);
}

void write_sample16(std::uint8_t* dest, float s) {
    // Truncation toward zero: full scale is 32767, so -32768 never occurs.
    const int v = static_cast<int>(static_cast<double>(clamp_unit(s)) * 32767.0);
    dest[0] = static_cast<std::uint8_t>(v & 0xFF);
    dest[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

// The samples go through a restrict pointer: the compiler may then keep the voice's state in
// registers for the whole block instead of reloading it after every byte stored.
void render_samples(std::uint8_t* __restrict dest, int sample_count) {
    for (int i = 0; i < sample_count; ++i) {
        const float y = step_voice();
        write_sample16(dest, static_cast<float>(y * output_scale));
        dest += 2;
    }
}
