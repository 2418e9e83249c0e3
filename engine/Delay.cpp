// A delay line at work: each call's step and write-curve coefficients, then one of three loops
// over the shared parts of DelayLoop.h and the vector kernels: sample by sample, in chunks
// (long lines), or laid out end to end (short lines without feedback).
#include "engine/Delay.h"

#include "engine/DelayKernels.h"
#include "engine/DelayLoop.h"
#include "engine/VectorLevel.h"

#include <cstring>

using delayloop::FlavourOf;
using delayloop::Heads;
using delayloop::LineSetup;
using delayloop::LoopFilters;

namespace {

// Samples per chunk of the chunked loop (its scratch arrays live on the stack).
constexpr int32_t kChunk = 128;
// The short-line loop's laid-out copy of the line and of a run's writes holds kFlatCells
// floats (on the stack).
constexpr int32_t kFlatCells = 512;
// Chunks shorter than this are not worth their separate passes.
constexpr int32_t kMinChunk = 16;
// Calls shorter than these run sample by sample: the passes of the chunked and the short-line
// loops cost more to set up than such calls take one sample at a time (the crossing points
// measured with the stage harness at the AVX2 and AVX-512 levels).
constexpr int32_t kShortCall = 14;
constexpr int32_t kShortCallOfShortLine = 24;

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

// --- Sample by sample ---------------------------------------------------------------------

// Samples [from, to), one at a time. Works for every line and call: lines whose head laps them
// too fast for chunks run in it, and the other loops use it for the first sample after a
// resize (which steps with the previous step).
template <class F>
void runSamples(const LineSetup& line, Heads& heads, LoopFilters<F>& filters, const float* input,
                float* output, int32_t from, int32_t to) {
    Heads h = heads;
    filters.run(from, to, [&](int32_t i, auto& pre, auto& echo, auto& post) FUMARA_INLINE_LAMBDA {
        delayloop::stepSample<F>(line, h, input, output, i, pre, echo, post);
    });
    heads = h;
}

// --- Shared by the chunked and the short-line loops ---------------------------------------

// The head over m samples: its positions and cells into the run (the ones before the run
// first), the cells each sample writes, and the head's state after the run.
FUMARA_ALWAYS_INLINE void headPass(const LineSetup& line, Heads& h, Run& run, int32_t m,
                                   bool readCells) {
    run.heads[0] = h.lastP;
    run.cellsBefore[0] = h.last;
    int32_t* const cells = run.cells();
    for (int32_t j = 0; j < m; ++j) {
        const int32_t k = static_cast<int32_t>(h.P);
        run.heads[j + 1] = h.P;
        cells[j] = k;
        if (readCells) {
            run.v0[j] = line.cell[k];
            run.v1[j] = line.cell[k + 1];
            run.v2[j] = line.cell[k + 2];
        }
        h.P = delayhead::advance(h.P, line.step, line.lengthF);
    }
    h.last = cells[m - 1];
    delaySpans(cells, line.length, run.writes, run.counts, m);
}

// The writes of sample j of a run that writes several cells, along its curve, each value
// through store(cell, value); `written` holds the run's inputs as the line takes them.
template <class Store>
FUMARA_ALWAYS_INLINE void curveOf(const LineSetup& line, const Run& run, const float* written,
                                  int32_t j, Store&& store) {
    const double x = static_cast<double>(written[j]) + tuning::kLineInputOffset;
    const double xq = run.rounded[j + 1];
    const double xqq = run.rounded[j];
    const double D =
        delayhead::curveStart<double>(run.writes[j], run.heads[j], line.offset, line.length);
    delayloop::curveRuns(
        line.length, run.writes[j], run.counts[j], run.curve[j],
        delayhead::curveSlope(D, line.stepD, line.stepD, line.a, line.b, x, xq, xqq),
        delayhead::curveBend(line.a, line.b, x, xq, xqq), store);
}

// The state after a run of m samples (the head itself moved in headPass).
FUMARA_ALWAYS_INLINE void endRun(Heads& h, const Run& run, int32_t m) {
    h.lastP = run.heads[m];
    h.xpp = run.rounded[m];
    h.xp = run.rounded[m + 1];
}

WriteCurve steadyCurve(const LineSetup& line) {
    return {line.stepD, line.stepD, line.a, line.b, line.offset, static_cast<double>(line.length)};
}

// --- In chunks ----------------------------------------------------------------------------

// The trio's part of chunkOutputs for samples [from, m), once every filter has settled.
template <class F>
void chunkTrio(const LineSetup& line, LoopFilters<F>& filters, Run& run, const float* in,
               float* out, int32_t from, int32_t m) {
    Filter& input = *filters.chain.inputFilter;
    Filter& output = *filters.chain.outputFilter;
    Filter& echoFilter = filters.echoFilter;
    FilterTrio trio{input.settled(filters.chain.inputMixing), echoFilter.settled(false),
                    output.settled(false)};
    delayFilterTrio(trio, in, run.reads, run.inputs, run.results, out, line.dry, line.wet, from, m);
    input.keepMemory(trio.input);
    echoFilter.keepMemory(trio.echo);
    output.keepMemory(trio.output);
}

// The filters and outputs of a chunk of m samples whose reads are done: the inputs as filtered
// into run.inputs, the outputs into `out`. With all three filters, once their change checks
// have settled (within the first samples of a call), the rest of the chunk runs them side by
// side in one vector (delayFilterTrio).
template <class F>
void chunkOutputs(const LineSetup& line, LoopFilters<F>& filters, Run& run, const float* in,
                  float* out, int32_t m, bool wideVectors) {
    auto one = [&](int32_t j, auto& pre, auto& echo, auto& post) FUMARA_INLINE_LAMBDA {
        float value = in[j];
        if (F::pre) {
            value = pre(value);
        }
        run.inputs[j] = value;
        double Y = run.reads[j];
        if (F::echo) {
            Y = delayloop::echoed(Y, echo);
        }
        float result = static_cast<float>(Y);
        if (!F::plain) {
            result = static_cast<float>(line.dry * value + line.wet * result);
        }
        if (F::post) {
            result = post(result);
        }
        out[j] = result;
    };
    int32_t from = 0;
    if constexpr (F::pre && F::echo && F::post) {
        if (filters.singleSections && wideVectors) {
            for (; from < m && !filters.settled(); ++from) {
                one(from, filters.pre, filters.echo, filters.post);
            }
            if (from < m) {
                chunkTrio(line, filters, run, in, out, from, m);
                return;
            }
        }
    }
    filters.run(from, m, one);
}

// Samples [0, count) in chunks of at most `chunk` samples, pass by pass: the head (the one
// serial chain), the reads, the filters and outputs, the write curves, the writes.
// Precondition: chunk >= kMinChunk, and the head moves fewer than length - 3 cells during a
// chunk, so that no sample of a chunk reads a cell that one of its own samples writes.
template <class F>
void runChunks(const LineSetup& line, Heads& heads, LoopFilters<F>& filters, const float* input,
               float* output, int32_t count, int32_t chunk, bool wideVectors) {
    Heads h = heads;
    Run run;
    const WriteCurve shape = steadyCurve(line);
    int32_t i = 0;
    while (i < count) {
        if (h.q != line.step) {
            runSamples(line, h, filters, input, output, i, i + 1);
            ++i;
            continue;
        }
        const int32_t m = count - i < chunk ? count - i : chunk;
        headPass(line, h, run, m, true);
        delayRead(run.heads + 1, run.cells(), run.v0, run.v1, run.v2, line.offset, run.reads, m);

        // Without filters the writes come first, while the inputs are still there (the output
        // may overwrite them); with filters the inputs are kept as filtered.
        const float* in = input + i;
        float* out = output + i;
        run.rounded[0] = h.xpp;
        run.rounded[1] = h.xp;
        if (F::filtered) {
            chunkOutputs(line, filters, run, in, out, m, wideVectors);
        }
        const float* written = F::filtered ? run.inputs : in;

        // The writes: one cell per sample as vectors, the rest along their curves.
        delayWrite(written, run.heads, run.writes, run.rounded, shape, run.curve, m);
        delayPutSingles(line.cell, line.length, run.writes, run.counts, run.curve, line.feedback,
                        F::plain, m);
        for (int32_t j = 0; j < m; ++j) {
            if (run.counts[j] > 1) {
                curveOf(line, run, written, j,
                        [&line](int32_t cell, double value)
                            FUMARA_INLINE_LAMBDA { delayloop::putCell<F>(line, cell, value); });
            }
        }
        if (!F::filtered) {
            delayOutput(run.reads, in, out, line.dry, line.wet, F::plain, m);
        }

        endRun(h, run, m);
        i += m;
    }
    heads = h;
}

// --- The short line -----------------------------------------------------------------------

// Samples [0, count) of a short line without feedback (plain, length <= kShortLine), in runs:
// the cells a run writes depend on its inputs alone, and every read finds cells written at
// least one sample earlier. So each run's writes go first, into the line laid out end to end
// after its current content (`flat`, oldest cell first), and then the reads follow, three
// consecutive cells of it each. The newest `length` cells go back into the ring afterwards.
template <class F>
void runShortLine(const LineSetup& line, Heads& heads, LoopFilters<F>& filters, const float* input,
                  float* output, int32_t count) {
    static_assert(F::plain, "the short-line loop writes cells without feedback");
    Heads h = heads;
    const int32_t L = line.length;
    Run run;
    const WriteCurve shape = steadyCurve(line);
    alignas(32) float flat[kFlatCells];
    // The head moves at most ceil(r) cells per sample.
    int32_t span = static_cast<int32_t>((kFlatCells - L - 4) / (line.stepD + 1.0));
    if (span > kChunk) {
        span = kChunk;
    }
    int32_t i = 0;
    while (i < count) {
        if (h.q != line.step || span < 1) {
            runSamples(line, h, filters, input, output, i, i + 1);
            ++i;
            continue;
        }
        const int32_t m = count - i < span ? count - i : span;
        const int32_t oldest = h.last + 1 == L ? 0 : h.last + 1;
        headPass(line, h, run, m, false);

        // The line end to end, then the run's writes after it.
        std::memcpy(flat, line.cell + oldest, sizeof(float) * static_cast<size_t>(L - oldest));
        std::memcpy(flat + (L - oldest), line.cell, sizeof(float) * static_cast<size_t>(oldest));
        const float* in = input + i;
        run.rounded[0] = h.xpp;
        run.rounded[1] = h.xp;
        delayWrite(in, run.heads, run.writes, run.rounded, shape, run.curve, m);
        int32_t at = L;
        for (int32_t j = 0; j < m; ++j) {
            flat[at] = static_cast<float>(run.curve[j]);
            at += run.counts[j];
        }
        at = L;
        for (int32_t j = 0; j < m; ++j) {
            if (run.counts[j] > 1) {
                float* to = flat + at;
                curveOf(line, run, in, j, [&to](int32_t, double value) FUMARA_INLINE_LAMBDA {
                    *to++ = static_cast<float>(value);
                });
            }
            at += run.counts[j];
        }

        // The reads: before a sample wrote the head's cell, it held the value written one lap,
        // L cells, earlier.
        at = -1;
        for (int32_t j = 0; j < m; ++j) {
            at += run.counts[j];
            run.v0[j] = flat[at];
            run.v1[j] = flat[at + 1];
            run.v2[j] = flat[at + 2];
        }
        delayRead(run.heads + 1, run.cells(), run.v0, run.v1, run.v2, line.offset, run.reads, m);
        delayOutput(run.reads, in, output + i, line.dry, line.wet, true, m);

        // Back into the ring: the newest L cells, ending at the head's cell.
        const int32_t after = h.last + 1 == L ? 0 : h.last + 1;
        const float* newest = flat + (at + 1);
        std::memcpy(line.cell + after, newest, sizeof(float) * static_cast<size_t>(L - after));
        std::memcpy(line.cell, newest + (L - after), sizeof(float) * static_cast<size_t>(after));
        line.cell[L] = line.cell[0];
        line.cell[L + 1] = line.cell[1];

        endRun(h, run, m);
        i += m;
    }
    heads = h;
}

} // namespace

template <class F>
FUMARA_ALWAYS_INLINE void Delay::run(const float* input, float* output, int32_t count,
                                     const Chain& chain) {
    LoopFilters<F> filters(chain, echoFilter);
    // The loops of runs pay for their separate passes only with wide vectors.
    const bool wideVectors = static_cast<int>(kernelLevel(KernelGroup::DelayLine)) >=
                             static_cast<int>(VectorLevel::Avx2);
    if constexpr (F::plain) {
        if (chunk < kMinChunk && length <= kShortLine && wideVectors) {
            if (count < kShortCallOfShortLine) {
                runSamples(setup, heads, filters, input, output, 0, count);
            } else {
                runShortLine(setup, heads, filters, input, output, count);
            }
            return;
        }
    }
    if (chunk < kMinChunk || count < kShortCall) {
        runSamples(setup, heads, filters, input, output, 0, count);
    } else {
        runChunks(setup, heads, filters, input, output, count, chunk, wideVectors);
    }
}

FUMARA_ALWAYS_INLINE void Delay::setScale(float scale) {
    // The step for this length and scale, and the write curve's coefficients for it and the
    // previous sample's step: the same every call once the line runs steadily.
    if (!(scale == stepScale)) {
        const int32_t L = length;
        const double d = nominalDelay(L, scale);
        setup.step = static_cast<float>(L / d);
        setup.stepD = setup.step;
        stepScale = scale;
        coefStep = kNone;
        // A chunk of m samples reads no cell that one of its own samples writes when the head
        // moves fewer than length - 3 cells during it.
        const int32_t most = static_cast<int32_t>((L - 4) / setup.stepD) - 1;
        chunk = most > kChunk ? kChunk : most;
    }
    if (!(heads.q == coefStep)) {
        const float r = setup.step;
        const double q0 = heads.q;
        setup.a = static_cast<float>(1.0 / (q0 * r));
        setup.b = static_cast<float>(1.0 / (q0 * r + static_cast<double>(r) * r));
        coefStep = heads.q;
    }
}

FUMARA_ALWAYS_INLINE void Delay::beginCall(int32_t count, float feedback, float mix) {
    setup.feedback = feedback;
    setup.wet = mix;
    setup.dry = 1.0 - static_cast<double>(mix);
    clearAhead(count);
    if (echoFilterOn) {
        echoFilter.cutoff = tuning::kEchoCutoff;
    }
}

namespace {

// Whether a filter (or none) can be held in registers for a whole call.
bool holdable(const Filter* filter) {
    return filter == nullptr || (filter->isSettled() && filter->getSections() == 1);
}

} // namespace

int Delay::flavourFor(float feedback, float mix, const Chain& chain) const {
    const bool pre = chain.inputFilter != nullptr;
    const bool post = chain.outputFilter != nullptr;
    const bool plain = !echoFilterOn && !pre && !post && feedback == 0.0f && mix == 1.0f;
    return delayloop::flavourCode(echoFilterOn, plain, pre, post);
}

int Delay::beginSteps(int32_t count, float scale, float feedback, float mix, const Chain& chain) {
    if (updating.load(std::memory_order_relaxed) != 0) {
        return -1;
    }
    setScale(scale);
    beginCall(count, feedback, mix);
    const bool held = holdable(echoFilterOn ? &echoFilter : nullptr) &&
                      holdable(chain.inputFilter) && holdable(chain.outputFilter);
    return held ? flavourFor(feedback, mix, chain) : -1;
}

void Delay::process(const float* input, float* output, int32_t count, float scale, float feedback,
                    float mix, const Chain& chain) {
    if (updating.load(std::memory_order_relaxed) != 0) {
        skipBusy(input, output, count, chain);
        return;
    }
    setScale(scale);
    if (count <= 0 || input == nullptr || output == nullptr) {
        return;
    }
    beginCall(count, feedback, mix);

    // Codes: 8 the echo filter, 4 plain, 2 the input filter, 1 the output filter.
    switch (flavourFor(feedback, mix, chain)) {
    case 4:
        run<FlavourOf<4>>(input, output, count, chain);
        break;
    case 0:
        run<FlavourOf<0>>(input, output, count, chain);
        break;
    case 1:
        run<FlavourOf<1>>(input, output, count, chain);
        break;
    case 2:
        run<FlavourOf<2>>(input, output, count, chain);
        break;
    case 3:
        run<FlavourOf<3>>(input, output, count, chain);
        break;
    case 8:
        run<FlavourOf<8>>(input, output, count, chain);
        break;
    case 9:
        run<FlavourOf<9>>(input, output, count, chain);
        break;
    case 10:
        run<FlavourOf<10>>(input, output, count, chain);
        break;
    default:
        run<FlavourOf<11>>(input, output, count, chain);
        break;
    }
}

void Delay::skipBusy(const float* input, float* output, int32_t count, const Chain& chain) {
    // The line leaves its output as it was; the filters still see their samples, as they would
    // running over the buffers before and after the line.
    if (count <= 0 || input == nullptr || output == nullptr) {
        return;
    }
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
