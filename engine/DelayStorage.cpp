// A delay line's storage and length: the cells allocated ahead of need, resizes that
// allocate nothing, and the cells cleared lazily as the read head first comes near them.
#include "engine/Delay.h"
#include "engine/Trace.h"

#include <cmath>
#include <cstring>

Delay::Delay(int32_t length) {
    setLength(length);
    echoFilterOn = false;
    traceHook("Create Delay", 0);
}

Delay::~Delay() {
    traceHook("Destroy delay", 0);
}

double Delay::nominalDelay(int32_t length, float scale) {
    const double t = static_cast<double>(scale) * length + tuning::kLineExtraDelay;
    if (t < tuning::kLineExtraDelay) {
        return tuning::kLineExtraDelay;
    }
    if (t >= length) {
        return length - 1;
    }
    return t;
}

bool Delay::ensureCapacity(int32_t cells) {
    if (cells <= capacity && buffer.aligned != nullptr) {
        return true;
    }
    capacity = 0;
    buffer.Alloc(cells);
    if (buffer.aligned == nullptr) {
        return false;
    }
    // Touch every page now, where storage is allocated, so that clearing the line later on the
    // audio thread never waits for the system to map memory.
    std::memset(buffer.aligned, 0, sizeof(float) * static_cast<size_t>(cells));
    capacity = cells;
    return true;
}

void Delay::reserve(int32_t maxLength) {
    if (maxLength < kMinLength) {
        maxLength = kMinLength;
    }
    if (maxLength > kMaxLength) {
        maxLength = kMaxLength;
    }
    const int32_t cells = maxLength + 8;
    if (cells != capacity) {
        capacity = 0;
        buffer.free();
    }
    ensureCapacity(cells);
    setLength(length);
}

void Delay::setLength(int32_t requested) {
    traceHook("Setting Delay", requested);
    int32_t L = requested <= kMinLength ? kMinLength : requested;
    if (L > kMaxLength) {
        L = kMaxLength;
    }
    updating.store(1, std::memory_order_relaxed);
    echoFilter.setType(Filter::typeCode(Filter::kComplementary, 1), tuning::kEchoAmount);
    setup = delayhead::LineSetup();
    setup.offset = tuning::kReadOffset;
    heads = delayhead::Heads();
    stepScale = kNone;
    coefStep = kNone;
    length = L;
    setup.length = L;
    setup.lengthF = static_cast<float>(L);
    // Cells 0 to L + 1 are cleared: the line and the mirror of its first two cells.
    if (!ensureCapacity(L + 8)) {
        traceHook("Delay Allocation error", 0);
        return; // stays busy until a later setLength succeeds
    }
    setup.cell = buffer.aligned;
    // The cells are cleared as the head first comes near them (clearAhead), so a resize on
    // the audio thread costs nothing in proportion to the length.
    cleared = 0;
    updating.store(0, std::memory_order_relaxed);
    traceHook("Setting Delay Done", 0);
}

void Delay::clearMore(int32_t count) {
    const int32_t L = length;
    // Lines short enough for the laid-out loop copy all their cells; longer ones touch no cell
    // beyond the head's last position plus 3 (the head moves at most step plus the float
    // spacing below the length per sample). Cells 0 and 1 are cleared by the first call.
    int32_t upTo = L + 2;
    if (L > kShortLine) {
        const double perSample = static_cast<double>(setup.step) + L * std::ldexp(1.0, -23);
        const double reach = static_cast<double>(heads.P) + count * perSample + 4.0;
        if (reach < upTo) {
            upTo = static_cast<int32_t>(reach);
        }
    }
    if (upTo > cleared) {
        float* const cell = buffer.aligned;
        std::memset(cell + cleared, 0, sizeof(float) * static_cast<size_t>(upTo - cleared));
        // The mirror of cells 0 and 1 (written since the resize, as the head left them).
        for (int32_t j = L; j < L + 2; ++j) {
            if (j >= cleared && j < upTo) {
                cell[j] = cell[j - L];
            }
        }
        cleared = upTo;
    }
}
