// Bounded text copies and the fixed-width number formats, cut and not rounded.
#include "host/ValueText.h"

#include <cmath>
#include <cstdio>
#include <cstring>

void copyText(char* text, const char* source, size_t size) {
    if (!text || size == 0) {
        return;
    }
    size_t length = 0;
    if (source) {
        while (length + 1 < size && source[length] != '\0') {
            ++length;
        }
        std::memcpy(text, source, length);
    }
    text[length] = '\0';
}

namespace {

constexpr size_t kTextSize = kValueTextLength + 1;

// One decimal digit of a non-negative value below 10 (fmod result), truncated.
char digitOf(double remainder) {
    int digit = static_cast<int>(remainder);
    if (digit < 0) {
        digit = 0;
    } else if (digit > 9) {
        digit = 9;
    }
    return static_cast<char>('0' + digit);
}

} // namespace

void writeFloatText(double v, char* text) {
    if (!text) {
        return;
    }
    if (std::isnan(v)) {
        copyText(text, "NaN", kTextSize);
        return;
    }

    // The count covers the sign, the integer digits and the point.
    int count = 0;
    bool negative = false;
    if (v < 0.0) {
        negative = true;
        count = 1;
        v = -v;
        if (v > 9999999.0) {
            copyText(text, "Huge!", kTextSize);
            return;
        }
    } else if (v > 99999999.0) {
        copyText(text, "Huge!", kTextSize);
        return;
    }

    // Integer digits, last one first; leading digits that do not fit are lost.
    char digits[kValueTextLength];
    int digitCount = 0;
    double ip = std::floor(v);
    digits[digitCount++] = digitOf(std::fmod(ip, 10.0));
    count += 2;
    ip /= 10.0;
    while (ip >= 1.0 && count < static_cast<int>(kValueTextLength)) {
        digits[digitCount++] = digitOf(std::fmod(ip, 10.0));
        count += 1;
        ip /= 10.0;
    }

    size_t pos = 0;
    if (negative) {
        text[pos++] = '-';
    }
    while (digitCount > 0) {
        text[pos++] = digits[--digitCount];
    }
    text[pos++] = '.';

    // Fraction digits, cut off after as many as fit.
    const int fractionCount = static_cast<int>(kValueTextLength) - count;
    if (fractionCount > 0) {
        char fraction[kValueTextLength];
        double f = std::fmod(v, 1.0) * std::pow(10.0, fractionCount);
        for (int i = fractionCount - 1; i >= 0; --i) {
            if (f > 0.0) {
                fraction[i] = digitOf(std::fmod(f, 10.0));
                f /= 10.0;
            } else {
                fraction[i] = '0';
            }
        }
        for (int i = 0; i < fractionCount; ++i) {
            text[pos++] = fraction[i];
        }
    }
    text[pos] = '\0';
}

void writeIntegerText(int32_t value, char* text) {
    if (!text) {
        return;
    }
    if (value >= 100000000) {
        copyText(text, "Huge!", kTextSize);
        return;
    }
    char wide[16];
    std::snprintf(wide, sizeof wide, "%7d", static_cast<int>(value));
    copyText(text, wide, kTextSize);
}
