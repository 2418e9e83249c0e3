// Bitmap resources compiled into the library on platforms without a resource
// loader: the image files that the resource script names, by id, generated at
// build time (see EmbedResources.cmake). Nothing is read from disk at run time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

struct EmbeddedResource {
    uint16_t id;
    const uint8_t* data; // the whole .bmp file
    size_t size;
};

// The embedded bitmap file for a resource id, or null when there is none.
const EmbeddedResource* findEmbeddedBitmap(uint16_t id);

} // namespace platform
