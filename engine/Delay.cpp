// A delay line at work: the sample-by-sample loop, the chunked loop of long lines and the
// short-line loop, all over the one head arithmetic of DelayHead.h and the vector kernels.
#include "engine/Delay.h"

#include "engine/DelayHead.h"
#include "engine/DelayKernels.h"
#include "engine/Trace.h"
#include "engine/VectorLevel.h"

#include <cstring>

namespace {

// Zero or denormal (all float exponent bits clear) write increments are flushed to 0.
inline float flushTiny(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits & 0x7f800000u) == 0 ? 0.0f : value;
}

} // namespace

void Delay::process(const float* input, float* output, int32_t count, float scale, float feedback,
                    float mix, const Chain& chain) {
    if (updating.load(std::memory_order_relaxed) != 0) {
        // The line leaves its output as it was; the filters still see their samples, as they
        // would running over the buffers before and after the line.
        if (count > 0 && input != nullptr && output != nullptr) {
            if (chain.inputFilter != nullptr) {
                bool settled = false;
                for (int32_t i = 0; i < count; ++i) {
                    chain.inputFilter->step(input[i], chain.inputMixing, settled);
                }
            }
            if (chain.outputFilter != nullptr) {
                chain.outputFilter->process(static_cast<uint32_t>(count), output, false);
            }
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
    if (count <= 0 || input == nullptr || output == nullptr) {
        return;
    }
    clearAhead(count);
    if (echoFilterOn) {
        echoFilter.cutoff = tuning::kEchoCutoff;
    }

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

// A settled filter held in registers, or nothing for a filter the loop does not use.
template <bool Use> struct MaybeHeld {
    MaybeHeld(Filter* filter, bool mixing) : held(*filter, mixing) {}
    float operator()(float value) { return held(value); }
    void release() { held.release(); }
    Filter::Held held;
};
template <> struct MaybeHeld<false> {
    MaybeHeld(Filter*, bool) {}
    float operator()(float value) { return value; }
    void release() {}
};

#if defined(__GNUC__)
#define FUMARA_INLINE __attribute__((always_inline))
#else
#define FUMARA_INLINE
#endif

// Samples per chunk of the chunked loop (its scratch arrays live on the stack).
constexpr int32_t kChunk = 128;
// The short-line loop's laid-out copy of the line and of a run's writes holds kFlatCells
// floats (on the stack).
constexpr int32_t kFlatCells = 512;

// The per-sample values of one run of samples, pass by pass.
struct Run {
    alignas(32) float heads[kChunk + 1];         // head positions, the one before the run first
    alignas(32) int32_t cellsBefore[kChunk + 1]; // the head's cells, the one before the run first
    alignas(32) int32_t writes[kChunk];
    alignas(32) int32_t counts[kChunk];
    alignas(32) float v0[kChunk], v1[kChunk], v2[kChunk]; // the three cells each sample reads
    alignas(32) double reads[kChunk];
    alignas(32) float inputs[kChunk];  // the inputs as filtered
    alignas(32) float results[kChunk]; // the outputs before the output filter
    alignas(32) double curve[kChunk];
    alignas(32) float rounded[kChunk + 2]; // the inputs with their offset, the two before first
    int32_t* cells() { return cellsBefore + 1; }
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

    // The filters of the chain. Each runs with change checks until it settles; from then on
    // (nothing can change during the call) it is held in registers.
    Checked preChecked{chain.inputFilter, chain.inputMixing};
    Checked echoChecked{&echoFilter, false};
    Checked postChecked{chain.outputFilter, false};
    const bool singleSections = (!Pre || chain.inputFilter->getSections() == 1) &&
                                (!Echo || echoFilter.getSections() == 1) &&
                                (!Post || chain.outputFilter->getSections() == 1);
    // Runs body(i, pre, echo, post) for i in [from, to).
    auto filtered = [&](int32_t from, int32_t to, auto&& body) FUMARA_INLINE {
        int32_t i = from;
        if (Pre || Echo || Post) {
            auto settled = [&]() {
                return (!Pre || preChecked.settled) && (!Echo || echoChecked.settled) &&
                       (!Post || postChecked.settled);
            };
            for (; i < to && !settled(); ++i) {
                body(i, preChecked, echoChecked, postChecked);
            }
            if (i < to && !singleSections) {
                for (; i < to; ++i) {
                    body(i, preChecked, echoChecked, postChecked);
                }
            }
        }
        if (i < to) {
            MaybeHeld<Pre> pre(chain.inputFilter, chain.inputMixing);
            MaybeHeld<Echo> echo(&echoFilter, false);
            MaybeHeld<Post> post(chain.outputFilter, false);
            for (; i < to; ++i) {
                body(i, pre, echo, post);
            }
            pre.release();
            echo.release();
            post.release();
        }
    };

    // Writes one cell, keeping the mirror of cells 0 and 1 past the end.
    auto put = [cell, L](int32_t j, float value) FUMARA_INLINE {
        cell[j] = value;
        if (j < 2) {
            cell[j + L] = value;
        }
    };

    // Writes n cells from w on along the curve W, dW, ddW (at most two runs, wrapping once),
    // each through store(cell, W).
    auto curveRuns = [L](int32_t from, int32_t n, double W, float dW, float ddW, auto&& store)
                         FUMARA_INLINE {
                             int32_t j = from;
                             int32_t remaining = n;
                             while (remaining > 0) {
                                 int32_t run = remaining;
                                 if (j + run > L) {
                                     run = L - j;
                                 }
                                 dW = flushTiny(dW);
                                 ddW = flushTiny(ddW);
                                 for (int32_t m = 0; m < run; ++m, ++j) {
                                     store(j, W);
                                     W = W + dW;
                                     dW = dW + ddW;
                                 }
                                 remaining -= run;
                                 j = 0;
                             }
                         };
    // One written cell: the curve's value plus feedback times the cell's content.
    auto putCell = [&](int32_t j, double value) FUMARA_INLINE {
        put(j, Plain ? static_cast<float>(value) : static_cast<float>(cell[j] * fb + value));
    };
    auto putRuns = [&](int32_t from, int32_t n, double W, float dW, float ddW) {
        curveRuns(from, n, W, dW, ddW, putCell);
    };

    // One sample, start to end.
    auto sample = [&](int32_t i, auto& pre, auto& echo, auto& post) FUMARA_INLINE {
        float in = input[i];
        if (Pre) {
            in = pre(in);
        }
        const double x = static_cast<double>(in) + tuning::kLineInputOffset;

        // Read cells k, k + 1 and k + 2 around the head (consecutive thanks to the mirror).
        const int32_t k = static_cast<int32_t>(P);
        const double Pd = P;
        // The fraction of P plus 0.75 (P - k is never negative, so u is never below 0.75).
        const double u = Pd - k - o;

        // Cells the head has passed since the previous sample.
        const delayhead::WriteSpan span = delayhead::writeSpan(last, k, L);
        w = span.first;

        double Y = delayhead::interpolate<double>(u, cell[k], cell[k + 1], cell[k + 2]);
        if (Echo) {
            Y = Y - tuning::kEchoBlend * echo(static_cast<float>(Y));
        }
        float out = static_cast<float>(Y);

        if (span.count > 0) {
            const double D = delayhead::curveStart<double>(w, lastP, o, L);
            const double W = delayhead::curveValue(D, q, rd, a, b, x, xpd, xppd);
            if (span.count == 1) {
                put(w, Plain ? static_cast<float>(W) : static_cast<float>(cell[w] * fb + W));
            } else {
                putRuns(w, span.count, W, delayhead::curveSlope(D, q, rd, a, b, x, xpd, xppd),
                        delayhead::curveBend(a, b, x, xpd, xppd));
            }
        }

        last = k;
        xppd = xpd;
        xp = static_cast<float>(x);
        xpd = xp;
        lastP = Pd;
        q = rd;
        P = delayhead::advance(P, r, lengthF);

        if (!Plain) {
            out = static_cast<float>(dryGain * in + wetGain * out);
        }
        if (Post) {
            out = post(out);
        }
        output[i] = out;
    };

    // A chunk of m samples reads no cell that one of its own samples writes when the head
    // moves fewer than length - 3 cells during it. Long lines run in such chunks, pass by
    // pass: the head, the reads, the filters and outputs, the write curves, the writes.
    int32_t chunk = static_cast<int32_t>((L - 4) / rd) - 1;
    if (chunk > kChunk) {
        chunk = kChunk;
    }
    int32_t i = 0;
    Run run;
    float* const heads = run.heads;
    int32_t* const cellsBefore = run.cellsBefore;
    int32_t* const cells = run.cells();
    int32_t* const writes = run.writes;
    int32_t* const counts = run.counts;
    float *const v0 = run.v0, *const v1 = run.v1, *const v2 = run.v2;
    double* const reads = run.reads;
    float* const inputs = run.inputs;
    float* const results = run.results;
    double* const curve = run.curve;
    float* const rounded = run.rounded;
    const WriteCurve shape{rd, rd, a, b, o, static_cast<double>(L)};

    // The writes of sample j of a run that writes several cells, along its curve, each value
    // through store(cell, value); `written` holds the run's inputs.
    auto curveOf = [&](const float* written, int32_t j, auto&& store) FUMARA_INLINE {
        const double x = static_cast<double>(written[j]) + tuning::kLineInputOffset;
        const double xq = rounded[j + 1];
        const double xqq = rounded[j];
        const double D = delayhead::curveStart<double>(writes[j], heads[j], o, L);
        curveRuns(writes[j], counts[j], curve[j],
                  delayhead::curveSlope(D, rd, rd, a, b, x, xq, xqq),
                  delayhead::curveBend(a, b, x, xq, xqq), store);
    };
    // The state after a run of m samples.
    auto endRun = [&](int32_t m) FUMARA_INLINE {
        w = writes[m - 1];
        lastP = heads[m];
        xppd = rounded[m];
        xp = rounded[m + 1];
        xpd = xp;
    };

    // The loops of runs below pay for their separate passes only with wide vectors.
    const bool wideVectors =
        static_cast<int>(activeVectorLevel()) >= static_cast<int>(VectorLevel::Avx2);
    if (Plain && chunk < 16 && L <= kShortLine && wideVectors) {
        // A short line without feedback: the cells a run of samples writes depend on its
        // inputs alone, and every read finds cells written at least one sample earlier. So
        // the run's writes go first, into the line laid out end to end after its current
        // content (`flat`, oldest cell first), and then the reads follow, three consecutive
        // cells of it each. The newest `L` cells go back into the ring afterwards.
        alignas(32) float flat[kFlatCells];
        // The head moves at most ceil(r) cells per sample.
        int32_t span = static_cast<int32_t>((kFlatCells - L - 4) / (rd + 1.0));
        if (span > kChunk) {
            span = kChunk;
        }
        while (i < count) {
            if (q != rd || span < 1) {
                // The first sample after a resize steps with the previous step.
                filtered(i, i + 1, sample);
                ++i;
                continue;
            }
            const int32_t m = count - i < span ? count - i : span;
            const int32_t oldest = last + 1 == L ? 0 : last + 1;

            heads[0] = static_cast<float>(lastP);
            cellsBefore[0] = last;
            for (int32_t j = 0; j < m; ++j) {
                heads[j + 1] = P;
                cells[j] = static_cast<int32_t>(P);
                P = delayhead::advance(P, r, lengthF);
            }
            last = cells[m - 1];
            delaySpans(cells, L, writes, counts, m);

            // The line end to end, then the run's writes after it.
            std::memcpy(flat, cell + oldest, sizeof(float) * static_cast<size_t>(L - oldest));
            std::memcpy(flat + (L - oldest), cell, sizeof(float) * static_cast<size_t>(oldest));
            const float* in = input + i;
            rounded[0] = static_cast<float>(xppd);
            rounded[1] = xp;
            delayWrite(in, heads, writes, rounded, shape, curve, m);
            int32_t at = L;
            for (int32_t j = 0; j < m; ++j) {
                flat[at] = static_cast<float>(curve[j]);
                at += counts[j];
            }
            at = L;
            for (int32_t j = 0; j < m; ++j) {
                const int32_t n = counts[j];
                if (n > 1) {
                    float* to = flat + at;
                    curveOf(in, j, [&](int32_t, double value) FUMARA_INLINE {
                        *to++ = static_cast<float>(value);
                    });
                }
                at += n;
            }

            // The reads: before a sample wrote the head's cell, it held the value written one
            // lap, L cells, earlier.
            at = -1;
            for (int32_t j = 0; j < m; ++j) {
                at += counts[j];
                v0[j] = flat[at];
                v1[j] = flat[at + 1];
                v2[j] = flat[at + 2];
            }
            delayRead(heads + 1, cells, v0, v1, v2, o, reads, m);
            delayOutput(reads, in, output + i, dryGain, wetGain, true, m);

            // Back into the ring: the newest L cells, ending at the head's cell.
            const int32_t after = last + 1 == L ? 0 : last + 1;
            const float* newest = flat + (at + 1);
            std::memcpy(cell + after, newest, sizeof(float) * static_cast<size_t>(L - after));
            std::memcpy(cell, newest + (L - after), sizeof(float) * static_cast<size_t>(after));
            cell[L] = cell[0];
            cell[L + 1] = cell[1];

            endRun(m);
            i += m;
        }
    } else if (chunk < 16) {
        filtered(0, count, sample);
    } else {
        constexpr bool kFiltered = Pre || Echo || Post;
        while (i < count) {
            if (q != rd) {
                // The first sample after a resize steps with the previous step.
                filtered(i, i + 1, sample);
                ++i;
                continue;
            }
            const int32_t m = count - i < chunk ? count - i : chunk;

            // The head (the one serial chain), the cells it reads and the cells written.
            heads[0] = static_cast<float>(lastP);
            cellsBefore[0] = last;
            for (int32_t j = 0; j < m; ++j) {
                const int32_t k = static_cast<int32_t>(P);
                heads[j + 1] = P;
                cells[j] = k;
                v0[j] = cell[k];
                v1[j] = cell[k + 1];
                v2[j] = cell[k + 2];
                P = delayhead::advance(P, r, lengthF);
            }
            last = cells[m - 1];
            delaySpans(cells, L, writes, counts, m);

            // The reads.
            delayRead(heads + 1, cells, v0, v1, v2, o, reads, m);

            // Without filters the writes come first, while the inputs are still there (the
            // output may overwrite them); with filters the inputs are kept as filtered.
            const float* in = input + i;
            float* out = output + i;
            rounded[0] = static_cast<float>(xppd);
            rounded[1] = xp;
            // One sample's filters and output (the filters as the caller's `filtered` gives).
            auto chunkSample = [&](int32_t j, auto& pre, auto& echo, auto& post) FUMARA_INLINE {
                float value = in[j];
                if (Pre) {
                    value = pre(value);
                }
                inputs[j] = value;
                double Y = reads[j];
                if (Echo) {
                    Y = Y - tuning::kEchoBlend * echo(static_cast<float>(Y));
                }
                float result = static_cast<float>(Y);
                if (!Plain) {
                    result = static_cast<float>(dryGain * value + wetGain * result);
                }
                if (Post) {
                    result = post(result);
                }
                out[j] = result;
            };
            // With all three filters, once their change checks have settled (within the first
            // samples of a call), the rest of the run takes them side by side.
            int32_t from = 0;
            bool trio = false;
            if constexpr (Pre && Echo && Post) {
                if (singleSections && wideVectors) {
                    for (; from < m &&
                           !(preChecked.settled && echoChecked.settled && postChecked.settled);
                         ++from) {
                        chunkSample(from, preChecked, echoChecked, postChecked);
                    }
                    trio = m - from >= 4 * kTrioLag;
                }
            }
            if (trio) {
                // The output filter runs kTrioLag samples behind: the first samples fill it
                // and the last ones drain it.
                {
                    Filter::Held pre(*chain.inputFilter, chain.inputMixing);
                    Filter::Held echo(echoFilter, false);
                    for (int32_t j = from; j < from + kTrioLag; ++j) {
                        const float value = pre(in[j]);
                        inputs[j] = value;
                        const double Y =
                            reads[j] - tuning::kEchoBlend * echo(static_cast<float>(reads[j]));
                        const float result = static_cast<float>(Y);
                        results[j] = static_cast<float>(dryGain * value + wetGain * result);
                    }
                    pre.release();
                    echo.release();
                }
                FilterTrio filters{chain.inputFilter->settled(chain.inputMixing),
                                   echoFilter.settled(false), chain.outputFilter->settled(false)};
                delayFilterTrio(filters, in, reads, inputs, results, out, dryGain, wetGain,
                                from + kTrioLag, m);
                chain.inputFilter->keepMemory(filters.input);
                echoFilter.keepMemory(filters.echo);
                chain.outputFilter->keepMemory(filters.output);
                Filter::Held post(*chain.outputFilter, false);
                for (int32_t j = m - kTrioLag; j < m; ++j) {
                    out[j] = post(results[j]);
                }
                post.release();
            } else if (kFiltered) {
                filtered(from, m, chunkSample);
            }
            const float* written = kFiltered ? inputs : in;

            // The writes: one cell per sample as vectors, the rest along their curves.
            delayWrite(written, heads, writes, rounded, shape, curve, m);
            delayPutSingles(cell, L, writes, counts, curve, fb, Plain, m);
            for (int32_t j = 0; j < m; ++j) {
                if (counts[j] > 1) {
                    curveOf(written, j, putCell);
                }
            }
            if (!kFiltered) {
                delayOutput(reads, in, out, dryGain, wetGain, Plain, m);
            }

            endRun(m);
            i += m;
        }
    }

    readPos = P;
    lastCell = last;
    writeCell = w;
    lastReadPos = static_cast<float>(lastP);
    lastInput = xp;
    olderInput = static_cast<float>(xppd);
    lastStep = r;
}
