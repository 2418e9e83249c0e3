// What the exported entry point does: checks the host, creates one effect
// instance and hands back its record.
#pragma once

#include "host/AEffect.h"

// Null when the host is missing, answers 0 to audioMasterVersion, or the effect
// cannot be created completely.
AEffect* createEffectInstance(audioMasterCallback host);
