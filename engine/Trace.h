// The lifecycle hook the engine's components call as they are made and set up.
#pragma once

// Lifecycle hook of the engine's components ("Create Reverb", "Setting Delay", ...).
// It deliberately does nothing: no output, no file, no counter.
void traceHook(const char* message, double value);
