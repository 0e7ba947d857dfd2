// Fuzz target: sndPlaySoundA handed a WAV image in memory, as the host layer plays it (the layer's
// WAV reader over the bytes the image declares, then the desktop backend's SDL audio device: the
// disk driver, writing to /dev/null without waiting, so that stopping the sound returns at once).
// The pointer carries no size, so the image's own RIFF size is all the player may go by: each input
// sits in a heap block cut to that size, and AddressSanitizer stops any read past it. An input that
// is no RIFF image sits in a block of exactly its size and must be refused at its first byte. The
// block is freed while the sound plays, and the sound stopped; a refused image must leave nothing
// playing.
//
// A longer run by hand, from the fuzz build directory:
//   nice fuzz/fuzz_wav_image -max_total_time=1200 -close_fd_mask=2 fuzz/corpus/wav_image
//       fuzz/seeds/wav_image
#include "fuzz/fuzz_check.h"
#include "platform/win32/backend.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

std::unique_ptr<std::uint8_t[]> copy_of(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[size]);
    std::memcpy(copy.get(), data, size);
    return copy;
}

std::uint32_t read_le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t block = 0;
    if (size >= 1 && data[0] != 'R') {
        block = size;
    } else if (size >= 8 && std::memcmp(data, "RIFF", 4) == 0) {
        const std::uint64_t declared = std::uint64_t{read_le32(data + 4)} + 8;
        // An image whose declared size the input does not hold could not be handed over.
        if (declared <= size) {
            block = static_cast<std::size_t>(declared);
        }
    }
    if (block == 0) {
        return 0;
    }
    std::unique_ptr<std::uint8_t[]> image = copy_of(data, block);
    const BOOL played = sndPlaySoundA(reinterpret_cast<LPCSTR>(image.get()),
                                      SND_ASYNC | SND_NODEFAULT | SND_MEMORY);
    // The player keeps its own copy of the samples: the image may go while the sound plays.
    image.reset();
    if (played == FALSE) {
        FUZZ_CHECK(!backend::sound_playing());
    }
    FUZZ_CHECK(sndPlaySoundA(nullptr, 0) == TRUE);
    FUZZ_CHECK(!backend::sound_playing());
    return 0;
}
