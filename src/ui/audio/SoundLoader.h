#pragma once

#include <memory>

class SoundOutput;

// The sound output lives in a library of its own, horolan-audio.so, beside the program or in
// lib/horolan: it and the sound stack it needs (Qt Multimedia, the PulseAudio client, libsndfile)
// are loaded when a chime first needs them, not by a clock that only ticks.
namespace SoundLoader {

// The sound output of the library; without it (logged once), one that gives the desktop's beep.
std::unique_ptr<SoundOutput> load();

} // namespace SoundLoader
