// A block of floats aligned to 16 bytes: the storage of a delay line's cells.
#pragma once

#include <cstdint>

// A block of floats whose first cell lies on a 16-byte boundary.
class AlignedAddress {
public:
    AlignedAddress() = default;
    ~AlignedAddress();
    AlignedAddress(const AlignedAddress&) = delete;
    AlignedAddress& operator=(const AlignedAddress&) = delete;

    // Frees the previous block and allocates room for `count` floats. On failure (or a count
    // below 0) both pointers are left empty.
    void Alloc(int32_t count);
    void free();

    float* aligned = nullptr; // first cell, a multiple of 16 bytes
    void* raw = nullptr;      // the block as allocated
};
