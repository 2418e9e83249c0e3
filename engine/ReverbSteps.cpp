// The reverb's short blocks: every stage after the mono sum sample by sample, the delay lines
// and filters held in locals for the block, with the results of the stages run block-wide.
#include "engine/DelayStepper.h"
#include "engine/MixKernels.h"
#include "engine/Reverb.h"
#include "engine/Tuning.h"

namespace {

using PlainLine = delayloop::Flavour<false, true, false, false>;
using FilteredComb = delayloop::Flavour<true, false, true, true>;
using Comb = delayloop::Flavour<false, false, false, false>;

} // namespace

bool Reverb::stepStages(int32_t frames, const float* inLeft, const float* inRight, float* outLeft,
                        float* outRight, float dry, float wet) {
    using tuning::kLineScale;
    const Delay::Chain filters = comb1Filters();
    if (linesSteady) {
        // Each line's set-up is that of the last block; only the filters' cutoffs may have
        // changed since.
        if (!lowpass.isSettled() || !highpass.isSettled()) {
            return false;
        }
    } else {
        if (!DelayStepper<PlainLine>::begin(*preDelayLine, frames, kLineScale, 0.0f, 1.0f) ||
            !DelayStepper<FilteredComb>::begin(*combLine1, frames, kLineScale, feedback1,
                                               tuning::kComb1Mix, filters) ||
            !DelayStepper<Comb>::begin(*combLine2, frames, kLineScale, feedback2,
                                       tuning::kComb2Mix) ||
            !DelayStepper<PlainLine>::begin(*separationLine, frames, kLineScale, 0.0f, 1.0f)) {
            return false;
        }
        linesSteady = preDelayLine->steady() && combLine1->steady() && combLine2->steady() &&
                      separationLine->steady();
    }
    // The pre-delay, in place, and the reflections, which for a short block come from those
    // computed ahead (they reach back beyond the block).
    float* sum = mono.get();
    {
        DelayStepper<PlainLine> preDelayed(*preDelayLine);
        for (int32_t i = 0; i < frames; ++i) {
            sum[i] = preDelayed(sum[i]);
        }
    }
    reflections.processFew(sum, wetLeft.get(), frames);

    // The combs and the separation, each line in a loop of its own, so that the processor
    // overlaps the samples of a line (one sample's path through all of them is a long chain of
    // dependent steps); then the output mix.
    float* left = wetLeft.get();
    float* right = wetRight.get();
    {
        DelayStepper<FilteredComb> comb1(*combLine1, filters);
        for (int32_t i = 0; i < frames; ++i) {
            right[i] = comb1(left[i]);
        }
    }
    {
        DelayStepper<Comb> comb2(*combLine2);
        for (int32_t i = 0; i < frames; ++i) {
            left[i] = comb2(right[i]);
        }
    }
    {
        DelayStepper<PlainLine> spread(*separationLine);
        for (int32_t i = 0; i < frames; ++i) {
            right[i] = spread(left[i]);
        }
    }
    outputMixOfFew(inLeft, inRight, left, right, outLeft, outRight, dry, wet, frames);
    return true;
}
