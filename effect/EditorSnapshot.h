// A picture of the effect's editor drawn on a private headless backend, for
// documentation and for checking the panel without a display: the editor is
// opened in a host window of that backend, painted once, idled once and closed.
#pragma once

#include "gui/platform/software/Pixels.h"
#include "host/AEffect.h"

#include <string>

// Draws the editor of the effect behind `effect` with its current parameter
// values into `pixels` (the editor's size at the zoom, 32-bit 0x00BBGGRR
// pixels), at a zoom in percent (100, 150, 200 or 300) whatever the desktop
// and the user's remembered choice. Answers false, leaving the effect as it
// was, for any other zoom, when the record is not this library's live effect,
// the effect has no editor of its own kind, or that editor is open in a host
// right now. The backend in use before the call is in use again after it.
bool drawEditorSnapshot(AEffect* effect, platform::software::Surface& pixels,
                        int32_t zoomPercent = 100);

// Writes 32-bit 0x00BBGGRR pixels as a 24-bit RGB PNG file. False on failure
// (and where the build has no PNG writer).
bool writeSnapshotPng(const platform::software::Surface& pixels, const std::string& path);
