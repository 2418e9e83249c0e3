// The library-wide sample rate, 44100 when the library is loaded.
#include "engine/SampleRate.h"

std::atomic<int32_t> currentSampleRate{kDefaultSampleRate};
