// The committed bitmaps of resources/, decoded, for tests that compare what is drawn with them.
// The including target defines FUMARA_SOURCE_DIR as the source tree's root.
#pragma once

#include "gui/platform/BmpDecoder.h"

#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

// resources/NAME decoded (a test failure, and an empty image, when it cannot be).
inline platform::DecodedImage loadArtwork(const std::string& name) {
    std::ifstream f(std::string(FUMARA_SOURCE_DIR) + "/resources/" + name, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)),
                               std::istreambuf_iterator<char>());
    platform::DecodedImage image;
    EXPECT_TRUE(platform::decodeBmp(bytes.data(), bytes.size(), image)) << name;
    return image;
}
