// WinMM's sndPlaySoundA for Linux, over SDL2 audio (declared in platform/win32/win32_subset.h).
//
// What it supports:
// - SND_MEMORY images only: the pointer is a whole RIFF/WAVE image in memory, PCM, 8 or 16 bits,
//   mono or stereo (platform/linux/wav_image.h). File names and aliases are not played.
// - SND_ASYNC starts the sound in the background and returns at once; without it the call
//   returns when the sound has played. SND_NODEFAULT is what happens anyway: there is no default
//   sound. SND_LOOP is not supported. A null pointer stops the sound that is playing.
// - The sound plays once, straight from the image, which must stay valid and unchanged until it
//   has played or close_sound has run. A new sound replaces the one playing.
// - FALSE, with one line on standard error, when the image cannot be played (not a PCM RIFF/WAVE
//   image whose chunks fit inside its RIFF size) or no audio device can be opened; the caller
//   then simply goes on in silence. Nothing past the sizes the image declares is read.
// The audio subsystem is brought up on its own (SDL_InitSubSystem), independent of the video.
#pragma once

// Stops the sound, closes the audio device and shuts the audio subsystem down; ExitProcess and
// the host's teardown call it so that the audio thread ends before the process does. Safe to
// call at any time, and again.
void close_sound();

// True from a successful sndPlaySoundA until the last of the image has been handed to the
// device (or the sound is stopped).
bool sound_playing();
