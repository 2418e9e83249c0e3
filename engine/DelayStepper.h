// A delay line stepped one sample at a time inside an owner's loop, for short calls that run
// several lines and their filters sample by sample with their state in locals.
#pragma once

#include "engine/Delay.h"
#include "engine/DelayLoop.h"

// One sample at a time, the arithmetic of Delay::process for the same call: the heads copied
// into the stepper, the chain's filters and the echo filter held in registers, all stored back
// when the stepper goes. F is the delayloop::Flavour that
// Delay::beginSteps answered for the call; make one only after it did, and nothing else may use
// the line or its filters while the stepper lives.
template <class F> class DelayStepper {
public:
    // Whether `line` can be stepped as F for a call of `count` samples (after its set-up).
    static bool begin(Delay& line, int32_t count, float scale, float feedback, float mix,
                      const Delay::Chain& chain = Delay::Chain()) {
        return line.beginSteps(count, scale, feedback, mix, chain) == delayloop::flavourCode<F>();
    }

    explicit DelayStepper(Delay& line, const Delay::Chain& chain = Delay::Chain())
        : line(line), setup(line.setup), heads(line.heads),
          pre(chain.inputFilter, chain.inputMixing), echo(&line.echoFilter, false),
          post(chain.outputFilter, false) {}
    ~DelayStepper() {
        line.heads = heads;
        pre.release();
        echo.release();
        post.release();
    }
    DelayStepper(const DelayStepper&) = delete;
    DelayStepper& operator=(const DelayStepper&) = delete;

    FUMARA_ALWAYS_INLINE float operator()(float input) {
        float output;
        delayloop::stepSample<F>(setup, heads, &input, &output, 0, pre, echo, post);
        return output;
    }

private:
    Delay& line;
    const delayhead::LineSetup& setup;
    delayhead::Heads heads;
    delayloop::MaybeHeld<F::pre> pre;
    delayloop::MaybeHeld<F::echo> echo;
    delayloop::MaybeHeld<F::post> post;
};
