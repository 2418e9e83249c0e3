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
    // Cells 0 to L + 1 are cleared: the line and the mirror of its first two cells.
    if (!ensureCapacity(L + 8)) {
        traceHook("Delay Allocation error", 0);
        return; // stays busy until a later setLength succeeds
    }
    std::memset(buffer.aligned, 0, sizeof(float) * (static_cast<size_t>(L) + 2));
    updating.store(0, std::memory_order_relaxed);
    traceHook("Setting Delay Done", 0);
}

void Delay::process(const float* input, float* output, int32_t count, float scale, float feedback,
                    float mix, const Chain& chain) {
    if (updating.load(std::memory_order_relaxed) != 0) {
        // The line leaves its output as it was; the filters still see their samples, as they
        // would running over the buffers before and after the line.
        if (count > 0 && input != nullptr && output != nullptr) {
            if (chain.inputFilter != nullptr) {
                bool settled = false;
                for (int32_t i = 0; i < count; ++i)
                    chain.inputFilter->step(input[i], chain.inputMixing, settled);
            }
            if (chain.outputFilter != nullptr)
                chain.outputFilter->process(static_cast<uint32_t>(count), output, false);
        }
        return;
    }
    const int32_t L = length;
    const double d = nominalDelay(L, scale);
    const float r = static_cast<float>(L / d);
    step = r;
    const double q0 = lastStep;
    coefA = static_cast<float>(1.0 / (q0 * r));
    coefB = static_cast<float>(1.0 / (q0 * r + static_cast<double>(r) * r));
    if (count <= 0 || input == nullptr || output == nullptr)
        return;
    if (echoFilterOn)
        echoFilter.cutoff = 0.25f;

    // Without feedback a written cell is just the new value, and with mix 1 the output is just
    // the delayed value (both exact for finite signals): the plain loop skips that work.
    const bool pre = chain.inputFilter != nullptr;
    const bool post = chain.outputFilter != nullptr;
    if (!echoFilterOn && !pre && !post && feedback == 0.0f && mix == 1.0f) {
        run<false, true, false, false>(input, output, count, feedback, mix, chain);
        return;
    }
    switch ((echoFilterOn ? 4 : 0) | (pre ? 2 : 0) | (post ? 1 : 0)) {
    case 0:
        run<false, false, false, false>(input, output, count, feedback, mix, chain);
        break;
    case 1:
        run<false, false, false, true>(input, output, count, feedback, mix, chain);
        break;
    case 2:
        run<false, false, true, false>(input, output, count, feedback, mix, chain);
        break;
    case 3:
        run<false, false, true, true>(input, output, count, feedback, mix, chain);
        break;
    case 4:
        run<true, false, false, false>(input, output, count, feedback, mix, chain);
        break;
    case 5:
        run<true, false, false, true>(input, output, count, feedback, mix, chain);
        break;
    case 6:
        run<true, false, true, false>(input, output, count, feedback, mix, chain);
        break;
    default:
        run<true, false, true, true>(input, output, count, feedback, mix, chain);
        break;
    }
}

namespace {

// A filter stepped through Filter::step, with its change checks, until it settles.
struct Checked {
    Filter* filter;
    bool mixing;
    bool settled = false;
    float operator()(float value) { return filter->step(value, mixing, settled); }
};

// Stands in for a filter the loop does not use.
struct Unused {
    float operator()(float value) { return value; }
};

} // namespace

template <bool Echo, bool Plain, bool Pre, bool Post>
void Delay::run(const float* input, float* output, int32_t count, double fb, double wetGain,
                const Chain& chain) {
    const int32_t L = length;
    float* const cell = buffer.aligned;
    const double a = coefA;
    const double b = coefB;
    const float r = step;
    const double rd = r;
    const double o = readOffset;
    const double dryGain = 1.0 - wetGain;
    const float lengthF = static_cast<float>(L);

    // The running state lives in locals for the loop and is stored back afterwards; the last
    // two inputs and the last head position are also kept as doubles (exact copies).
    float P = readPos;
    int32_t last = lastCell;
    int32_t w = writeCell;
    double lastP = lastReadPos;
    float xp = lastInput;
    double xpd = xp;
    double xppd = olderInput;
    double q = lastStep;

    // Writes one cell, keeping the mirror of cells 0 and 1 past the end.
    auto put = [cell, L](int32_t j, float value) {
        cell[j] = value;
        if (j < 2)
            cell[j + L] = value;
    };

    // One sample; `pre`, `echo` and `post` run the filters of the chain.
    auto sample = [&](int32_t i, auto& pre, auto& echo, auto& post) {
        float in = input[i];
        if (Pre)
            in = pre(in);
        const double x = static_cast<double>(in) + 1e-10;

        // Read cells k, k + 1 and k + 2 around the head (consecutive thanks to the mirror).
        const int32_t k = static_cast<int32_t>(P);
        const double Pd = P;
        // The fraction of P plus 0.75 (P - k is never negative, so u is never below 0.75).
        const double u = Pd - k - o;

        // Cells the head has passed since the previous sample.
        w = last + 1;
        if (w >= L)
            w -= L;
        int32_t n = k - w + 1;
        if (n < 0)
            n += L;

        // Quadratic interpolation through the three cells at offset u from k.
        const double v0 = cell[k];
        const double v1 = cell[k + 1];
        const double v2 = cell[k + 2];
        double Y = 0.5 * ((1.0 - u) * (2.0 - u) * v0 - (1.0 - u) * u * v2) + u * (2.0 - u) * v1;
        if (Echo)
            Y = Y - 0.45 * echo(static_cast<float>(Y));
        float out = static_cast<float>(Y);

        if (n > 0) {
            // The quadratic through the last three inputs, placed r cells apart, evaluated at
            // the cells to write; W is its value at the first cell, dW and ddW the increments.
            double D = static_cast<double>(w) - lastP + o;
            if (D < o)
                D += L;
            const double c = q + D;
            double W = c * (rd - D) * xpd * a + b * (D * c * x - D * (rd - D) * xppd);
            if (n == 1) {
                put(w, Plain ? static_cast<float>(W) : static_cast<float>(cell[w] * fb + W));
            } else {
                float dW =
                    static_cast<float>(b * (x * (D + c + 1.0) + xppd * (2.0 * D - rd + 1.0)) +
                                       xpd * a * (rd - D - c - 1.0));
                float ddW = static_cast<float>(b * (2.0 * x + 2.0 * xppd) - 2.0 * xpd * a);
                int32_t j = w;
                int32_t remaining = n;
                while (remaining > 0) {
                    int32_t run = remaining;
                    if (j + run > L)
                        run = L - j;
                    dW = flushTiny(dW);
                    ddW = flushTiny(ddW);
                    for (int32_t m = 0; m < run; ++m, ++j) {
                        put(j,
                            Plain ? static_cast<float>(W) : static_cast<float>(cell[j] * fb + W));
                        W = W + dW;
                        dW = dW + ddW;
                    }
                    remaining -= run;
                    j = 0;
                }
            }
        }

        last = k;
        xppd = xpd;
        xp = static_cast<float>(x);
        xpd = xp;
        lastP = Pd;
        q = rd;
        float next = P + r;
        while (next >= lengthF)
            next -= lengthF;
        P = next;

        if (!Plain)
            out = static_cast<float>(dryGain * in + wetGain * out);
        if (Post)
            out = post(out);
        output[i] = out;
    };

    int32_t i = 0;
    if (!Pre && !Echo && !Post) {
        Unused none;
        for (; i < count; ++i)
            sample(i, none, none, none);
    } else {
        Checked pre{chain.inputFilter, chain.inputMixing};
        Checked echo{&echoFilter, false};
        Checked post{chain.outputFilter, false};
        // Until every filter has settled (the first few samples), with change checks.
        auto settled = [&]() {
            return (!Pre || pre.settled) && (!Echo || echo.settled) && (!Post || post.settled);
        };
        for (; i < count && !settled(); ++i)
            sample(i, pre, echo, post);
        const bool single = (!Pre || chain.inputFilter->getSections() == 1) &&
                            (!Echo || echoFilter.getSections() == 1) &&
                            (!Post || chain.outputFilter->getSections() == 1);
        if (i < count && single) {
            // No check can fire for the rest of the call: hold the filters in registers.
            Filter dummy;
            Filter::Held heldPre(Pre ? *chain.inputFilter : dummy, chain.inputMixing);
            Filter::Held heldEcho(Echo ? echoFilter : dummy, false);
            Filter::Held heldPost(Post ? *chain.outputFilter : dummy, false);
            for (; i < count; ++i)
                sample(i, heldPre, heldEcho, heldPost);
            if (Pre)
                heldPre.release();
            if (Echo)
                heldEcho.release();
            if (Post)
                heldPost.release();
        }
        for (; i < count; ++i)
            sample(i, pre, echo, post);
    }

    readPos = P;
    lastCell = last;
    writeCell = w;
    lastReadPos = static_cast<float>(lastP);
    lastInput = xp;
    olderInput = static_cast<float>(xppd);
    lastStep = r;
}
