#include "engine/Delay.h"

#include "engine/Trace.h"

#include <cstring>

namespace {

// Zero or denormal (all float exponent bits clear) write increments are flushed to 0.
inline float flushTiny(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits & 0x7f800000u) == 0 ? 0.0f : value;
}

} // namespace

Delay::Delay(int32_t length) {
    setLength(length);
    echoFilterOn = false;
    traceHook("Create Delay", 0);
}

Delay::~Delay() {
    traceHook("Destroy delay", 0);
}

double Delay::nominalDelay(int32_t length, float scale) {
    const double t = static_cast<double>(scale) * length + 20.0;
    if (t < 20.0)
        return 20.0;
    if (t >= length)
        return length - 1;
    return t;
}

bool Delay::ensureCapacity(int32_t cells) {
    if (cells <= capacity && buffer.aligned != nullptr)
        return true;
    capacity = 0;
    buffer.Alloc(cells);
    if (buffer.aligned == nullptr)
        return false;
    capacity = cells;
    return true;
}

void Delay::reserve(int32_t maxLength) {
    if (maxLength < kMinLength)
        maxLength = kMinLength;
    if (maxLength > kMaxLength)
        maxLength = kMaxLength;
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
    if (L > kMaxLength)
        L = kMaxLength;
    updating.store(1, std::memory_order_relaxed);
    echoFilter.setType(4, 0.01f);
    readPos = 0.0f;
    lastCell = 0;
    writeCell = 0;
    readOffset = -0.75f;
    lastReadPos = 0.0f;
    lastInput = 0.0f;
    olderInput = 0.0f;
    step = 0.0f;
    coefA = 0.0f;
    coefB = 0.0f;
    lastStep = 1.0f;
    length = L;
    // Cells 0 to L are cleared (one past the last cell in use); a few spare cells round the
    // block off.
    if (!ensureCapacity(L + 8)) {
        traceHook("Delay Allocation error", 0);
        return; // stays busy until a later setLength succeeds
    }
    std::memset(buffer.aligned, 0, sizeof(float) * (static_cast<size_t>(L) + 1));
    updating.store(0, std::memory_order_relaxed);
    traceHook("Setting Delay Done", 0);
}

void Delay::process(const float* input, float* output, int32_t count, float scale, float feedback,
                    float mix) {
    if (updating.load(std::memory_order_relaxed) != 0)
        return;
    const int32_t L = length;
    const double d = nominalDelay(L, scale);
    const float r = static_cast<float>(L / d);
    step = r;
    const double q0 = lastStep;
    coefA = static_cast<float>(1.0 / (q0 * r));
    coefB = static_cast<float>(1.0 / (q0 * r + static_cast<double>(r) * r));
    if (count <= 0 || input == nullptr || output == nullptr)
        return;

    float* const cell = buffer.aligned;
    const double a = coefA;
    const double b = coefB;
    const double rd = r;
    const double o = readOffset;
    const double fb = feedback;
    const double wetGain = mix;
    const double dryGain = 1.0 - wetGain;
    const float lengthF = static_cast<float>(L);
    const bool echo = echoFilterOn;

    // The running state lives in locals for the loop and is stored back afterwards.
    float P = readPos;
    int32_t last = lastCell;
    int32_t w = writeCell;
    float lastP = lastReadPos;
    float xp = lastInput;
    float xpp = olderInput;
    double q = lastStep;

    for (int32_t i = 0; i < count; ++i) {
        const float in = input[i];
        const double x = static_cast<double>(in) + 1e-10;

        // Read cells around the head.
        const int32_t k = static_cast<int32_t>(P);
        int32_t k1 = k + 1;
        if (k1 >= L)
            k1 -= L;
        int32_t k2 = k + 2;
        if (k2 >= L)
            k2 -= L;
        double u = static_cast<double>(P) - k - o;
        if (u < -o)
            u = -o;

        // Cells the head has passed since the previous sample.
        w = last + 1;
        if (w >= L)
            w -= L;
        int32_t n = k - w + 1;
        if (n < 0)
            n += L;

        // Quadratic interpolation through cells k, k1, k2 at offset u from k.
        const double v0 = cell[k];
        const double v1 = cell[k1];
        const double v2 = cell[k2];
        double Y = 0.5 * ((1.0 - u) * (2.0 - u) * v0 - (1.0 - u) * u * v2) + u * (2.0 - u) * v1;
        if (echo) {
            echoFilter.cutoff = 0.25f;
            const float h = echoFilter.processSample(static_cast<float>(Y));
            Y = Y - 0.45 * h;
        }
        const float out = static_cast<float>(Y);

        if (n > 0) {
            // The quadratic through the last three inputs, placed r cells apart, evaluated at
            // the cells to write; W is its value at the first cell, dW and ddW the increments.
            double D = static_cast<double>(w) - lastP + o;
            if (D < o)
                D += L;
            const double c = q + D;
            double W = c * (rd - D) * xp * a + b * (D * c * x - D * (rd - D) * xpp);
            if (n == 1) {
                cell[w] = static_cast<float>(cell[w] * fb + W);
            } else {
                float dW = static_cast<float>(b * (x * (D + c + 1.0) + xpp * (2.0 * D - rd + 1.0)) +
                                              xp * a * (rd - D - c - 1.0));
                float ddW = static_cast<float>(b * (2.0 * x + 2.0 * xpp) - 2.0 * xp * a);
                int32_t j = w;
                int32_t remaining = n;
                while (remaining > 0) {
                    int32_t run = remaining;
                    if (j + run > L)
                        run = L - j;
                    dW = flushTiny(dW);
                    ddW = flushTiny(ddW);
                    for (int32_t m = 0; m < run; ++m, ++j) {
                        cell[j] = static_cast<float>(cell[j] * fb + W);
                        W = W + dW;
                        dW = dW + ddW;
                    }
                    remaining -= run;
                    j = 0;
                }
            }
        }

        last = k;
        xpp = xp;
        xp = static_cast<float>(x);
        lastP = P;
        q = rd;
        float next = P + r;
        while (next >= lengthF)
            next -= lengthF;
        P = next;

        output[i] = static_cast<float>(dryGain * in + wetGain * out);
    }

    readPos = P;
    lastCell = last;
    writeCell = w;
    lastReadPos = lastP;
    lastInput = xp;
    olderInput = xpp;
    lastStep = r;
}
