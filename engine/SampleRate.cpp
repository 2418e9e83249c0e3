#include "engine/SampleRate.h"

std::atomic<int32_t> currentSampleRate{kDefaultSampleRate};
