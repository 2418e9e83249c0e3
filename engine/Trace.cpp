// The engine's lifecycle hook, which does nothing.
#include "engine/Trace.h"

void traceHook(const char* /*message*/, double /*value*/) {}
