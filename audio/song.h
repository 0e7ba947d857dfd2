// The soundtrack: one bass voice stepped by a 16-row sequence, rendered once into an in-memory
// WAV image that the system's sound player plays in the background.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t WAV_HEADER_BYTES = 44;
// 5,362,560 samples of 16-bit mono PCM: 121.6 s at 44100 Hz.
constexpr std::size_t SONG_BYTES = 10725120;
constexpr std::size_t SONG_IMAGE_BYTES = WAV_HEADER_BYTES + SONG_BYTES;

// The RIFF/WAVE header of the image: PCM, 1 channel, 44100 Hz, 16 bits.
extern const std::uint8_t wav_header_template[WAV_HEADER_BYTES];

// The WAV image (header and samples), allocated once at start-up and never freed: the sound
// player reads it while it plays.
extern std::uint8_t* song_buffer;
// The first sample of the image, song_buffer + 44; render_song writes through it.
extern std::uint8_t* sample_data;

// Renders the whole song into the SONG_BYTES bytes at sample_data.
void render_song();

// The voice and the sequencer below are used by render_song alone; they are declared here so
// that their tests can drive them a sample or a row at a time and look at the state.

// One row of the song lasts 4410 samples (0.1 s); a slide takes half a row.
constexpr int SAMPLES_PER_ROW = 4410;
constexpr int SLIDE_SAMPLES = 2205;
constexpr int SONG_ROW_STEPS = static_cast<int>(SONG_BYTES / 2 / SAMPLES_PER_ROW);
static_assert(SONG_BYTES == static_cast<std::size_t>(SONG_ROW_STEPS) * SAMPLES_PER_ROW * 2,
              "the song is a whole number of rows");

// The voice: a rising sawtooth with an amplitude ramp, through a resonant two-pole low-pass
// whose cutoff follows a decaying envelope. One instance for the program. All 32-bit floats.
extern float phase;         // oscillator phase, 32768 units a period, in [-16384, 16384)
extern float phase_step;    // phase units per sample: the pitch
extern float slide_step;    // added to phase_step on each sample of a slide
extern float slide_left;    // samples of the current slide still to run
extern float level;         // oscillator amplitude, moves at most level_step a sample
extern float level_target;  // amplitude that level ramps toward
extern float note_level;    // amplitude of the current note, handed to level_target per row
extern float base_level;    // amplitude of a triggered note before accent
extern float osc_out;       // oscillator output of the current sample
extern float cutoff_coef;   // filter coefficient of the current sample, before clamping
extern float cutoff_floor;  // lower bound of cutoff_coef
extern float cutoff_env;    // cutoff envelope, added to cutoff_floor, decays each sample
extern float env_decay;     // decay rate of cutoff_env a sample (times 1/64); 0 holds it
extern float res_amount;    // resonance, before clamping
extern float filter_stage1; // first one-pole stage
extern float filter_out;    // second one-pole stage: the voice's output

// Puts the voice to its start state and the sequencer's row and slide flag to 0.
void reset_voice();
// Advances the voice by one sample and returns its output, the new filter_out.
float next_sample();
// Limits s to [-1, 1]; a NaN passes through unchanged.
float clamp_unit(float s);
// Stores s (clamped to [-1, 1], times 32767, truncated) as signed 16-bit little-endian PCM.
void write_sample16(std::uint8_t* dest, float s);
// Runs the voice for sample_count samples and stores each output, scaled by 2^-15, as 16-bit
// PCM at dest, which nothing else reads or writes meanwhile.
void render_samples(std::uint8_t* __restrict dest, int sample_count);

// The voice settings of one order position, six bytes as the song data holds them.
struct VoiceParams {
    std::uint8_t reserved;  // never read
    std::uint8_t cutoff;    // cutoff floor, in steps of cutoff_unit
    std::uint8_t resonance; // resonance, in steps of 2^-7
    std::uint8_t env_mod;   // cutoff envelope depth, in steps of env_mod_unit
    std::uint8_t decay;     // 128 less the envelope decay rate, in steps of decay_unit
    std::uint8_t accent;    // accent amount, in steps of accent_unit
};

// The song: four sets of voice settings played in turn (the order positions), each for the same
// 16 note bytes (the rows).
constexpr int SONG_ORDER_POSITIONS = 4;
constexpr int SONG_ROWS = 16;
extern const VoiceParams song_params[SONG_ORDER_POSITIONS];
extern const std::uint8_t song_notes[SONG_ROWS];

// The sequencer.
extern std::uint8_t row;           // row within the order position, 0..15
extern std::uint8_t order_pos;     // order position, 0..3
extern std::uint8_t slide_pending; // 1 when the next note glides from the last one's pitch
extern float prev_phase_step;      // phase_step as the current row step found it
extern VoiceParams current_params; // song_params[order_pos], refreshed every row step

// Plays one row: sets the voice's pitch, slide, level and filter for the row's note byte, then
// moves on to the next row.
void step_row();
