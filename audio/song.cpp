// The sequencer: steps the voice through the song's note bytes once a row and renders the whole
// song, sample by sample, into the WAV image.
#include "audio/song.h"
#include "audio/float_bits.h"

#include <cmath>

std::uint8_t row = 0;
std::uint8_t order_pos = 0;
std::uint8_t slide_pending = 0;
float prev_phase_step = 0.0f;
VoiceParams current_params = {};

namespace {

// Units of the settings bytes.
constexpr float cutoff_unit = float_from_bits(0x3B2AA98C);  // 0.0026041
constexpr float env_mod_unit = float_from_bits(0x3A79D975); // 0.0009531
constexpr float decay_unit = float_from_bits(0x38FFDA40);   // 0.000122
constexpr float accent_unit = float_from_bits(0x393912DC);  // 0.0001765
constexpr double resonance_unit = 0x1p-7;

// The note byte's fields.
constexpr unsigned note_pitch_mask = 0x0F;
constexpr unsigned note_slide = 0x10;
constexpr unsigned note_accent = 0x20;
constexpr unsigned note_up = 0x40;
constexpr unsigned note_down = 0x80;

// Pitch number of offset 0, and the shift of the up and down bits, in steps of 2^(1/10).
constexpr int pitch_base = 67;
constexpr float pitch_shift = 12.0f;
constexpr double steps_per_doubling = 10.0;

} // namespace

void step_row() {
    prev_phase_step = phase_step;
    current_params = song_params[order_pos % SONG_ORDER_POSITIONS];
    const VoiceParams& b = current_params;
    const unsigned n = song_notes[row % SONG_ROWS];

    // The pitch: a phase step of 2^(p/10) units, 32768 of which make a period.
    float p = static_cast<float>(static_cast<int>(n & note_pitch_mask) + pitch_base);
    if ((n & note_up) != 0) {
        p = static_cast<float>(static_cast<double>(p) + pitch_shift);
    }
    if ((n & note_down) != 0) {
        p = static_cast<float>(static_cast<double>(p) - pitch_shift);
    }
    const float e = static_cast<float>(static_cast<double>(p) / steps_per_doubling);
    phase_step = static_cast<float>(std::pow(2.0, static_cast<double>(e)));

    // After a slide note the pitch glides from the old step to the new one over half a row.
    slide_step = 0.0f;
    if (slide_pending != 0) {
        slide_left = static_cast<float>(SLIDE_SAMPLES);
        slide_step = static_cast<float>((static_cast<double>(phase_step) - prev_phase_step) /
                                        static_cast<double>(SLIDE_SAMPLES));
        phase_step = prev_phase_step;
    }

    // A triggered note loads the filter settings; the level glides on from where it is.
    if ((n & (note_up | note_down)) != 0) {
        cutoff_floor = static_cast<float>((b.cutoff + 1) * static_cast<double>(cutoff_unit));
        cutoff_env = static_cast<float>(b.env_mod * static_cast<double>(env_mod_unit) +
                                        2.0 * static_cast<double>(cutoff_floor));
        res_amount = static_cast<float>(b.resonance * resonance_unit);
        env_decay = static_cast<float>((128 - b.decay) * static_cast<double>(decay_unit));
        note_level = base_level;
    }
    if ((n & note_slide) != 0) {
        env_decay = 0.0f;
    }

    // An accent adds to the resonance and the cutoff floor and makes the note louder; without
    // a trigger the additions pile onto the last note's values.
    if ((n & note_accent) != 0) {
        const float acc = static_cast<float>(b.accent * static_cast<double>(accent_unit));
        res_amount = static_cast<float>(static_cast<double>(res_amount) + acc);
        cutoff_floor = static_cast<float>(static_cast<double>(cutoff_floor) + acc);
        note_level = static_cast<float>((static_cast<double>(acc) * 64.0 + 1.0) * note_level);
    }

    if ((n & (note_slide | note_up | note_down)) == 0) {
        note_level = 0.0f;
    }
    level_target = note_level;
    slide_pending = static_cast<std::uint8_t>((n & note_slide) != 0 ? 1 : 0);

    row = static_cast<std::uint8_t>(row + 1);
    if (row >= SONG_ROWS) {
        row = 0;
        order_pos = static_cast<std::uint8_t>(order_pos + 1);
        if (order_pos >= SONG_ORDER_POSITIONS) {
            order_pos = 0;
        }
    }
}

void render_song() {
    reset_voice();
    row = 0;
    order_pos = 0;

    // A row step comes before samples 0, 4410, 8820, ...: 1216 rows fill the song exactly.
    for (int r = 0; r < SONG_ROW_STEPS; ++r) {
        step_row();
        render_samples(sample_data + static_cast<std::size_t>(r) * SAMPLES_PER_ROW * 2,
                       SAMPLES_PER_ROW);
    }
}
