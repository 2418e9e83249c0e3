#include "engine/SampleRate.h"

int32_t currentSampleRate = kDefaultSampleRate;
