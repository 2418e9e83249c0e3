// Allocating an aligned float block with room to spare, and freeing it.
#include "engine/AlignedAddress.h"

#include "engine/Trace.h"

#include <cstddef>
#include <new>

AlignedAddress::~AlignedAddress() {
    free();
}

void AlignedAddress::free() {
    ::operator delete(raw);
    raw = nullptr;
    aligned = nullptr;
}

void AlignedAddress::Alloc(int32_t count) {
    traceHook("Aligned Address: Alloc()", 0);
    free();
    if (count < 0) {
        return;
    }
    const std::size_t bytes = 4 * static_cast<std::size_t>(count) + 32;
    raw = ::operator new(bytes, std::nothrow);
    if (raw == nullptr) {
        return;
    }
    // Round down to 16 bytes and step one boundary further: 1 to 16 bytes past raw, and the
    // 32 spare bytes keep `count` floats inside the block.
    const uintptr_t base = reinterpret_cast<uintptr_t>(raw) & ~static_cast<uintptr_t>(15);
    aligned = reinterpret_cast<float*>(base + 16);
}
