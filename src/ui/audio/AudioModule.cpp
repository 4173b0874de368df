// The entry of horolan-audio.so: the clock asks it for its sound output at the first chime.
#include "ui/audio/QtSoundOutput.h"

extern "C" Q_DECL_EXPORT SoundOutput* horolanMakeSoundOutput()
{
    return new QtSoundOutput;
}
