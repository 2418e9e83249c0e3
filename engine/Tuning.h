// The numbers that shape the reverb's sound, each named once: the network's proportions, the
// delay lines' heads and echo filter, the filters' design, and the small offsets that keep the
// recursions away from denormal numbers. Each keeps the type its arithmetic uses (a float
// setting, or a double factor), so naming it changes no result.
#pragma once

#include <cstdint>

namespace tuning {

// --- The network (Reverb) -----------------------------------------------------------------

// Every line runs at this fraction of its length, plus kLineExtraDelay samples.
constexpr float kLineScale = 0.99f;
// How much of each comb's delayed signal its output carries (the rest is its input).
constexpr float kComb1Mix = 0.3f;
constexpr float kComb2Mix = 0.1f;
// How much of its input the low-pass after the reflections blends into its output.
constexpr float kLowpassMix = 0.7f;
// The fixed gain of the wet signal in the output mix, after the caller's wet gain.
constexpr double kWetOutputGain = 0.7;
// Wet gains below this skip the block.
constexpr float kWetSkipThreshold = 0.00001f;
// Input magnitudes above these mean signal: left and right (ten times the left).
constexpr double kLeftSignalThreshold = 0.00001;
constexpr double kRightSignalThreshold = 0.0001;
// The tail gate stays open this long after the last signal: seconds, plus seconds per unit of
// room size.
constexpr double kTailSeconds = 2.0;
constexpr double kTailSecondsPerRoom = 6.0;
// The reflection history, in seconds.
constexpr int32_t kHistorySeconds = 2;
// The pre-delay line's length at pre-delay 1, in seconds.
constexpr double kPreDelaySeconds = 0.3;
// The second comb's length over the first one's.
constexpr double kComb2Ratio = 2.01;
// The two filters' amount for Filter::setType (damping 0.999).
constexpr float kFilterAmount = 0.001f;
// Cutoff settings are this fraction of what the caller hands in.
constexpr double kCutoffScale = 0.8;

// Room size to tap spacing: roomIndex = trunc(size * kRoomSteps + kRoomBase); the spacing is
// trunc(2 * roomIndex * rate * kSpacingPerStep) samples, at least kMinSpacing.
constexpr double kRoomSteps = 60.0;
constexpr double kRoomBase = 5.0;
constexpr double kSpacingPerStep = 0.0001;
constexpr int32_t kMinSpacing = 5;
// Comb feedback: p = (roomIndex / kFeedbackRoomScale)^4; feedback1 = p + kFeedbackFloor,
// feedback2 = p * kFeedback2Share + kFeedbackFloor.
constexpr double kFeedbackRoomScale = 200.0;
constexpr double kFeedbackPower = 4.0;
constexpr double kFeedbackFloor = 0.01;
constexpr double kFeedback2Share = 0.5;

// Random draws are taken modulo this for the tap gains and the noise (a fraction in 0..1).
constexpr int32_t kDrawSteps = 16384;
// Tap gains: kTapGainBase plus kTapGainSpread times a draw, the sign alternating.
constexpr double kTapGainSpread = 0.4;
constexpr double kTapGainBase = 0.6;

// The noise table that modulates the tap gains: its length in seconds, the noise's amplitude,
// the smoothing low-pass's cutoff (3% of the Nyquist frequency), the samples faded at each end
// of the loop, and the offset added last, around which the gains wander.
constexpr double kNoiseSeconds = 2.134554;
constexpr double kNoiseAmplitude = 0.4;
constexpr float kNoiseSmoothing = 0.03f;
constexpr int32_t kNoiseFade = 100;
constexpr double kNoiseOffset = 0.8;

// --- A delay line (Delay) -----------------------------------------------------------------

// Added to the nominal delay of scale * length, which is also never below it.
constexpr double kLineExtraDelay = 20.0;
// The read interpolates 0.75 cells ahead of the head.
constexpr float kReadOffset = -0.75f;
// Added to every input sample: keeps the cells away from denormal numbers.
constexpr double kLineInputOffset = 1e-10;
// The echo filter: a complementary high-pass of this amount (damping 0.99) at this cutoff,
// whose output, times kEchoBlend, is taken from the value read.
constexpr float kEchoAmount = 0.01f;
constexpr float kEchoCutoff = 0.25f;
constexpr double kEchoBlend = 0.45;

// --- A filter (Filter) --------------------------------------------------------------------

// Added to every input sample: keeps the section memory away from denormal numbers.
constexpr double kFilterInputOffset = 0.0000001;
// The cascade's gain at 0 Hz: kGainScale / (4 * sections * (kGainDamping - damping)), reduced
// by (f / kLowGainFrequency)^2 below that frequency.
constexpr double kGainScale = 0.9;
constexpr double kGainDamping = 1.15;
constexpr double kLowGainFrequency = 300.0;
// The lowest design frequency in hertz.
constexpr double kMinFrequency = 80.0;
// Sections after the first are designed this much higher.
constexpr double kSectionSpread = 1.001;
// s^2 coefficient of every prototype section's denominator.
constexpr double kPrototypeB2 = 1.4;
// Samples after a design before the next change check.
constexpr int32_t kHoldSamples = 4;

} // namespace tuning
