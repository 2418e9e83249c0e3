// The picture an effect's editor draws on the headless backend, to compare the X11 screen
// against.
#pragma once

#include "host/AEffect.h"

#include <cstdint>
#include <functional>
#include <vector>

class EffectBase;

// The picture an effect's editor draws on the headless backend, red + 256
// green + 65536 blue a pixel: the effect `make` gives (made once that backend
// is current) opens its editor in a width x height host window, paints and
// idles; then `afterFirstIdle`, when given, acts on the effect and one more
// idle follows. Made while no X11 editor is open: the toolkit's state belongs
// to one backend at a time.
std::vector<uint32_t>
headlessEditorPicture(int32_t width, int32_t height, const std::function<EffectBase*()>& make,
                      const std::function<void(AEffect*)>& afterFirstIdle = {});
