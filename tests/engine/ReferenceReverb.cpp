// The plain transcription's filter, delay line and reverb, sample by sample.
#include "tests/engine/ReferenceReverb.h"

#include <cmath>
#include <cstring>

namespace reference {

Filter::Filter(const int32_t* rate) : rate(rate) {
    reset(2);
}

void Filter::reset(uint32_t n) {
    static const double b1[3][3] = {
        {1.4142, 0, 0}, {0.765367, 1.847759, 0}, {0.5176387, 1.414214, 1.931852}};
    mix = 0.5f;
    for (uint32_t j = 0; j < 3; ++j) {
        double p[6] = {1, 0, 0, 1, b1[n - 1][j], 1.4};
        std::memcpy(prototype[j], p, sizeof p);
    }
    sections = n;
    holdSamples = 4;
    countdown = 1;
    lastCutoff = lastDamping = -1.0f;
    std::memset(coefficients, 0, sizeof coefficients);
    std::memset(state, 0, sizeof state);
}

void Filter::setType(int32_t type, float amount) {
    uint32_t n;
    double d;
    switch (type) {
    case 0:
    case 4:
    case 8:
        n = 1;
        d = 1.0 - amount;
        break;
    case 1:
    case 5:
    case 9:
        n = 2;
        d = 1.0 - 0.97 * amount;
        break;
    case 2:
    case 6:
    case 10:
        n = 3;
        d = 1.0 - 0.94 * amount;
        break;
    default:
        n = 2;
        d = 1.0 - 0.97 * amount;
        break;
    }
    switch (type) {
    case 4:
    case 5:
    case 6:
        kind = 1;
        break;
    case 8:
    case 9:
    case 10:
        kind = 2;
        break;
    default:
        kind = 0;
        break;
    }
    damping = static_cast<float>(d);
    reset(n);
    if (std::isnan(damping) || damping > 0.999f) {
        damping = 0.999f;
    }
    if (damping < 0.005f) {
        damping = 0.005f;
    }
}

void Filter::design() {
    const int32_t fsInt = *rate;
    const double fs = fsInt;
    double f = cutoff * fs / 2;
    if (f > fsInt / 2) {
        f = fsInt / 2;
    }
    if (f < 80) {
        f = 80;
    }
    double g = 0.9 / (4 * sections * (1.15 - damping));
    if (f < 300) {
        g = g * (f / 300) * (f / 300);
    }
    const double pi = 4 * std::atan(1.0);
    for (uint32_t j = 0; j < sections; ++j) {
        double fj = j == 0 ? f : 1.001 * f;
        double a0 = prototype[j][0], a1 = prototype[j][1], a2 = prototype[j][2];
        double b0 = prototype[j][3], b1 = prototype[j][4] * damping, b2 = prototype[j][5];
        double w = 2 * fs * std::tan(pi * fj / fs);
        a1 /= w;
        a2 /= w * w;
        b1 /= w;
        b2 /= w * w;
        double ad = 4 * a2 * fs * fs + 2 * a1 * fs + a0;
        double bd = 4 * b2 * fs * fs + 2 * b1 * fs + b0;
        g = g * ad / bd;
        coefficients[1 + 4 * j] = (2 * b0 - 8 * b2 * fs * fs) / bd;
        coefficients[2 + 4 * j] = (4 * b2 * fs * fs - 2 * b1 * fs + b0) / bd;
        coefficients[3 + 4 * j] = (2 * a0 - 8 * a2 * fs * fs) / ad;
        coefficients[4 + 4 * j] = (4 * a2 * fs * fs - 2 * a1 * fs + a0) / ad;
    }
    coefficients[0] = g;
    lastCutoff = cutoff;
    lastDamping = damping;
}

void Filter::process(uint32_t count, float* buffer, bool mixing) {
    for (uint32_t i = 0; i < count; ++i) {
        double x = buffer[i] + 0.0000001;
        int32_t c = countdown - 1;
        if (c > 0) {
            countdown = c;
        } else if (cutoff != lastCutoff || damping != lastDamping) {
            design();
            countdown = holdSamples;
        } else {
            countdown = c;
        }
        double y = coefficients[0] * x;
        for (uint32_t j = 0; j < sections; ++j) {
            double s1 = state[2 * j], s2 = state[2 * j + 1];
            const double* k = &coefficients[1 + 4 * j];
            double w = y - k[0] * s1 - k[1] * s2;
            y = w + k[2] * s1 + k[3] * s2;
            state[2 * j + 1] = static_cast<float>(s1);
            state[2 * j] = static_cast<float>(w);
        }
        if (kind == 1) {
            y = x - y;
        }
        if (mixing) {
            y = (y + mix * x) * (1 - mix);
        }
        buffer[i] = static_cast<float>(y);
    }
}

Delay::Delay(int32_t length, const int32_t* rate) : echoFilter(rate) {
    setLength(length);
}

void Delay::setLength(int32_t requested) {
    int32_t L = requested <= 7 ? 7 : requested;
    echoFilter.setType(4, 0.01f);
    readPos = 0;
    lastCell = 0;
    writeCell = 0;
    readOffset = -0.75f;
    lastReadPos = 0;
    lastInput = olderInput = 0;
    step = 0;
    coefA = coefB = 0;
    lastStep = 1;
    length = L;
    cells.assign(4 * static_cast<size_t>(L) + 8, 0.0f);
}

void Delay::process(const float* input, float* output, int32_t count, float scale, float feedback,
                    float mix) {
    const int32_t L = length;
    double t = scale * static_cast<double>(L) + 20;
    double d = t < 20 ? 20 : (t >= L ? L - 1 : t);
    float r = static_cast<float>(L / d);
    step = r;
    float q0 = lastStep;
    coefA = static_cast<float>(1 / (static_cast<double>(q0) * r));
    coefB = static_cast<float>(1 / (static_cast<double>(q0) * r + static_cast<double>(r) * r));
    if (count <= 0) {
        return;
    }
    const double a = coefA, b = coefB;
    float* cell = cells.data();
    for (int32_t i = 0; i < count; ++i) {
        float P = readPos;
        double o = readOffset;
        double q = lastStep;
        double xp = lastInput, xpp = olderInput;
        double x = input[i] + 1e-10;
        int32_t k = static_cast<int32_t>(P);
        int32_t k1 = k + 1 >= L ? k + 1 - L : k + 1;
        int32_t k2 = k + 2 >= L ? k + 2 - L : k + 2;
        double u = P - k - o;
        if (u < -o) {
            u = -o;
        }
        int32_t w = lastCell + 1;
        if (w >= L) {
            w -= L;
        }
        writeCell = w;
        int32_t n = k - w + 1;
        if (n < 0) {
            n += L;
        }
        double Y =
            0.5 * ((1 - u) * (2 - u) * cell[k] - (1 - u) * u * cell[k2]) + u * (2 - u) * cell[k1];
        if (echoFilterOn) {
            echoFilter.cutoff = 0.25f;
            float h = static_cast<float>(Y);
            echoFilter.process(1, &h, false);
            Y = Y - 0.45 * h;
        }
        float Yf = static_cast<float>(Y);
        double D = w - lastReadPos + o;
        if (D < o) {
            D += L;
        }
        double c = q + D;
        double W = c * (r - D) * xp * a + b * (D * c * x - D * (r - D) * xpp);
        float dW = static_cast<float>(b * (x * (D + c + 1) + xpp * (2 * D - r + 1)) +
                                      xp * a * (r - D - c - 1));
        float ddW = static_cast<float>(b * (2 * x + 2 * xpp) - 2 * xp * a);
        auto flush = [](float& v) {
            uint32_t bits;
            std::memcpy(&bits, &v, 4);
            if ((bits & 0x7f800000u) == 0) {
                v = 0;
            }
        };
        int32_t j = w;
        int32_t first = (w + n > L) ? L - w : n;
        flush(dW);
        flush(ddW);
        for (int32_t m = 0; m < first; ++m, ++j) {
            cell[j] = static_cast<float>(cell[j] * static_cast<double>(feedback) + W);
            W = W + dW;
            dW = static_cast<float>(dW + static_cast<double>(ddW));
        }
        if (first < n) {
            flush(dW);
            flush(ddW);
            j = 0;
            for (int32_t m = first; m < n; ++m, ++j) {
                cell[j] = static_cast<float>(cell[j] * static_cast<double>(feedback) + W);
                W = W + dW;
                dW = static_cast<float>(dW + static_cast<double>(ddW));
            }
        }
        lastCell = k;
        olderInput = lastInput;
        lastInput = static_cast<float>(x);
        lastReadPos = P;
        lastStep = r;
        float next = static_cast<float>(P + static_cast<double>(r));
        while (next >= L) {
            next -= L;
        }
        readPos = next;
        output[i] = static_cast<float>((1 - static_cast<double>(mix)) * input[i] +
                                       mix * static_cast<double>(Yf));
    }
}

Reverb::Reverb(Generator& generator, int32_t rate)
    : generator(generator), rate(rate), lowpass(&this->rate), highpass(&this->rate),
      separationLine(40, &this->rate), preDelayLine(static_cast<int32_t>(rate * 0.5), &this->rate),
      combLine1(40, &this->rate), combLine2(40, &this->rate) {
    noiseLength = static_cast<int32_t>(rate * 2.134554);
    noiseTable.assign(noiseLength, 0.0f);
    for (int j = 0; j < 32; ++j) {
        tapNoisePos[j] = generator.next() % noiseLength;
    }
    for (int32_t i = 0; i < noiseLength; ++i) {
        noiseTable[i] = static_cast<float>(((generator.next() % 16384) / 16384.0) * 0.4);
    }
    lowpass.setType(0, 0.001f);
    highpass.setType(4, 0.001f);
    lowpass.cutoff = 0.03f;
    lowpass.process(noiseLength, noiseTable.data(), false);
    for (int i = 0; i < 100; ++i) {
        noiseTable[i] = static_cast<float>(noiseTable[i] * (i / 100.0));
    }
    for (int32_t i = noiseLength - 100; i < noiseLength; ++i) {
        noiseTable[i] = static_cast<float>(noiseTable[i] * ((noiseLength - i) / 100.0));
    }
    for (int32_t i = 0; i < noiseLength; ++i) {
        noiseTable[i] = static_cast<float>(noiseTable[i] + 0.8);
    }
    lowpass.setType(0, 0.001f);
    setBlockSize(256);
    historyLength = 2 * rate;
    history.assign(historyLength, 0.0f);
    historyPos = 0;
    setMode(0);
    setRoomSize(0.5f);
}

void Reverb::setBlockSize(int32_t frames) {
    wetLeft.assign(frames, 0.0f);
    wetRight.assign(frames, 0.0f);
    mono.assign(frames, 0.0f);
}

void Reverb::setMode(int32_t m) {
    mode = m < 0 ? 0 : (m > 2 ? 2 : m);
    setRoomSize(roomSize);
}

void Reverb::setRoomSize(float size) {
    roomSize = size;
    roomIndex = static_cast<int32_t>(size * 60.0 + 5);
    int32_t spacing = static_cast<int32_t>(2.0 * roomIndex * rate * 0.0001);
    if (spacing < 5) {
        spacing = 5;
    }
    int32_t half = spacing / 2;
    generator.seed(0);
    int32_t t = spacing;
    for (int j = 0; j < 32; ++j) {
        tapDelay[j] = t;
        t = t + half + generator.next() % half;
        float g = static_cast<float>((generator.next() % 16384) / 16384.0);
        g = static_cast<float>(g * 0.4);
        g = static_cast<float>(g + 0.6);
        if (j % 2 == 1) {
            g = -g;
        }
        tapGain[j] = g;
    }
    setLength(length);
}

void Reverb::setLength(float value) {
    length = value;
    preDelayLine.setLength(static_cast<int32_t>(preDelay * 0.3 * rate));
    separationLine.setLength(static_cast<int32_t>(tapDelay[0] * static_cast<double>(separation)));
    lowpass.setType(0, 0.001f);
    highpass.setType(4, 0.001f);
    combLine1.setLength(tapDelay[31] + tapDelay[0]);
    combLine2.setLength(static_cast<int32_t>((tapDelay[31] + tapDelay[0]) * 2.01));
    combLine1.setEchoFilter(true);
    float p = static_cast<float>(std::pow(roomIndex / 200.0, 4));
    feedback1 = static_cast<float>(p + 0.01);
    feedback2 = static_cast<float>(p * 0.5 + 0.01);
}

void Reverb::process(int32_t frames, const float* inLeft, const float* inRight, float* outLeft,
                     float* outRight, float dry, float wet) {
    if (wet < 0.00001f) {
        for (int32_t i = 0; i < frames; ++i) {
            outLeft[i] = outRight[i] = 0;
        }
        return;
    }
    bool signal = false;
    for (int32_t i = 0; i < frames; ++i) {
        mono[i] = inLeft[i] + inRight[i];
        if (std::fabs(inLeft[i]) > 0.00001 || std::fabs(inRight[i]) > 0.0001) {
            signal = true;
        }
    }
    if (signal) {
        tailCounter = static_cast<int32_t>(2.0 * rate + rate * static_cast<double>(roomSize) * 6);
    } else {
        tailCounter -= frames;
        if (tailCounter <= 0) {
            tailCounter = 0;
            for (int32_t i = 0; i < frames; ++i) {
                outLeft[i] = outRight[i] = 0;
            }
            return;
        }
    }
    preDelayLine.process(mono.data(), mono.data(), frames, 0.99f, 0.0f, 1.0f);
    for (int32_t i = 0; i < frames; ++i) {
        if (historyPos >= historyLength) {
            historyPos = 0;
        }
        while (historyPos < 0) {
            historyPos += historyLength;
        }
        float x = mono[i];
        wetLeft[i] = 0;
        for (int j = 0; j < 32; ++j) {
            int32_t index = historyPos - tapDelay[j];
            while (index < 0) {
                index += historyLength;
            }
            wetLeft[i] =
                static_cast<float>(wetLeft[i] + (static_cast<double>(history[index]) * tapGain[j]) *
                                                    noiseTable[tapNoisePos[j]]);
            tapNoisePos[j] += 1;
            if (tapNoisePos[j] >= noiseLength) {
                tapNoisePos[j] -= noiseLength;
            }
        }
        history[historyPos] = x;
        historyPos += 1;
    }
    lowpass.mix = 0.7f;
    lowpass.cutoff = lowpassCutoff;
    lowpass.process(frames, wetLeft.data(), true);
    combLine1.process(wetLeft.data(), wetRight.data(), frames, 0.99f, feedback1, 0.3f);
    highpass.cutoff = highpassCutoff;
    highpass.process(frames, wetRight.data(), false);
    combLine2.process(wetRight.data(), wetLeft.data(), frames, 0.99f, feedback2, 0.1f);
    separationLine.process(wetLeft.data(), wetRight.data(), frames, 0.99f, 0.0f, 1.0f);
    for (int32_t i = 0; i < frames; ++i) {
        outLeft[i] = static_cast<float>(dry * static_cast<double>(inLeft[i]) +
                                        (wet * static_cast<double>(wetLeft[i])) * 0.7);
        outRight[i] = static_cast<float>(dry * static_cast<double>(inRight[i]) +
                                         (wet * static_cast<double>(wetRight[i])) * 0.7);
    }
}

} // namespace reference
