// The texts written into host buffers: the fixed-width number formats, decibels, the sample
// conversions and bounded copies.
#include "host/ValueText.h"

#include "tests/host/TestEffect.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace {

// A 9-byte text followed by guard bytes that no conversion may touch.
struct GuardedText {
    char bytes[32];
    GuardedText() { std::memset(bytes, '#', sizeof bytes); }
    char* text() { return bytes; }
    bool guardIntact() const {
        for (size_t i = 9; i < sizeof bytes; ++i) {
            if (bytes[i] != '#') {
                return false;
            }
        }
        return true;
    }
};

std::string floatText(float value) {
    PlainEffect effect;
    GuardedText out;
    effect.floatToText(value, out.text());
    EXPECT_TRUE(out.guardIntact()) << value;
    return out.text();
}

std::string integerText(int32_t value) {
    PlainEffect effect;
    GuardedText out;
    effect.integerToText(value, out.text());
    EXPECT_TRUE(out.guardIntact()) << value;
    return out.text();
}

TEST(FloatToText, ExampleTable) {
    const struct {
        float value;
        const char* text;
    } rows[] = {
        {0.0f, "0.000000"},      {0.25f, "0.250000"},      {0.5f, "0.500000"},
        {0.7f, "0.699999"},      {1.0f, "1.000000"},       {3.14159f, "3.141590"},
        {20.0f, "20.00000"},     {123.456f, "123.4560"},   {-0.5f, "-0.50000"},
        {-0.001f, "-0.00100"},   {1234567.0f, "1234567."}, {100000000.0f, "Huge!"},
        {-10000000.0f, "Huge!"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(floatText(row.value), row.text) << row.value;
    }
}

TEST(FloatToText, LeadingDigitsThatDoNotFitAreLost) {
    EXPECT_EQ(floatText(99999999.0f), "Huge!"); // the nearest float is 100000000
    EXPECT_EQ(floatText(12345678.0f), "2345678.");
    EXPECT_EQ(floatText(-1234567.0f), "-234567.");
    EXPECT_EQ(floatText(-9999999.0f), "-999999.");
}

TEST(FloatToText, DigitsAreCutNotRounded) {
    EXPECT_EQ(floatText(0.9f), "0.899999");
    EXPECT_EQ(floatText(0.6f), "0.600000");
    EXPECT_EQ(floatText(0.999999999f), "1.000000"); // the float itself is 1.0
    EXPECT_EQ(floatText(2.0f / 3.0f), "0.666666");
    EXPECT_EQ(floatText(-2.0f / 3.0f), "-0.66666");
}

TEST(FloatToText, NotANumberAndInfinitiesStayInsideTheText) {
    EXPECT_EQ(floatText(std::numeric_limits<float>::quiet_NaN()), "NaN");
    EXPECT_EQ(floatText(-std::numeric_limits<float>::quiet_NaN()), "NaN");
    EXPECT_EQ(floatText(std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(floatText(-std::numeric_limits<float>::infinity()), "Huge!");
}

TEST(FloatToText, EveryTextIsEightCharactersOrHuge) {
    // Magnitudes across the whole range, both signs, denormals included.
    uint32_t state = 12345;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1664525u + 1013904223u;
        float value;
        std::memcpy(&value, &state, sizeof value);
        if (std::isnan(value)) {
            continue;
        }
        const std::string text = floatText(value);
        if (text == "Huge!") {
            EXPECT_TRUE(value > 99999999.0f || value < -9999999.0f) << value;
        } else {
            ASSERT_EQ(text.size(), 8u) << value;
            EXPECT_EQ(text[0] == '-', value < 0.0f) << value;
            EXPECT_NE(text.find('.'), std::string::npos) << value;
        }
    }
}

TEST(FloatToText, NullTextWritesNothing) {
    PlainEffect effect;
    effect.floatToText(1.0f, nullptr);
    effect.integerToText(1, nullptr);
    effect.decibelsToText(1.0f, nullptr);
    effect.decibelsToText(0.0f, nullptr);
    effect.hertzToText(1.0f, nullptr);
    effect.millisecondsToText(1.0f, nullptr);
    SUCCEED();
}

TEST(IntegerToText, RightAlignedInSevenAndCutToEight) {
    EXPECT_EQ(integerText(42), "     42");
    EXPECT_EQ(integerText(-5), "     -5");
    EXPECT_EQ(integerText(0), "      0");
    EXPECT_EQ(integerText(1234567), "1234567");
    EXPECT_EQ(integerText(99999999), "99999999");
    EXPECT_EQ(integerText(100000000), "Huge!");
    EXPECT_EQ(integerText(123456789), "Huge!");
    EXPECT_EQ(integerText(-123456789), "-1234567");
    EXPECT_EQ(integerText(INT32_MIN), "-2147483");
    EXPECT_EQ(integerText(INT32_MAX), "Huge!");
}

TEST(DecibelsToText, LinearAmplitudeInDecibels) {
    PlainEffect effect;
    GuardedText out;
    effect.decibelsToText(1.0f, out.text());
    EXPECT_STREQ(out.text(), "0.000000");
    effect.decibelsToText(0.5f, out.text());
    EXPECT_STREQ(out.text(), "-6.02059");
    effect.decibelsToText(2.0f, out.text());
    EXPECT_STREQ(out.text(), "6.020599");
    effect.decibelsToText(0.0f, out.text());
    EXPECT_STREQ(out.text(), "-oo");
    effect.decibelsToText(-0.5f, out.text());
    EXPECT_STREQ(out.text(), "-oo");
    effect.decibelsToText(std::numeric_limits<float>::infinity(), out.text());
    EXPECT_STREQ(out.text(), "Huge!");
    effect.decibelsToText(std::numeric_limits<float>::quiet_NaN(), out.text());
    EXPECT_STREQ(out.text(), "NaN");
    EXPECT_TRUE(out.guardIntact());
}

TEST(SampleConversions, UseTheSampleRateField) {
    PlainEffect effect;
    GuardedText out;
    effect.millisecondsToText(44100.0f, out.text());
    EXPECT_STREQ(out.text(), "1000.000");
    effect.millisecondsToText(441.0f, out.text());
    EXPECT_STREQ(out.text(), "10.00000");
    effect.hertzToText(100.0f, out.text());
    EXPECT_STREQ(out.text(), "441.0000");
    effect.hertzToText(0.0f, out.text());
    EXPECT_STREQ(out.text(), "0.000000");

    effect.setSampleRate(48000.0f);
    effect.millisecondsToText(48000.0f, out.text());
    EXPECT_STREQ(out.text(), "1000.000");
    effect.hertzToText(480.0f, out.text());
    EXPECT_STREQ(out.text(), "100.0000");

    // A sample rate of zero from a host gives texts, not a crash.
    effect.setBlockSizeAndSampleRate(64, 0.0f);
    effect.millisecondsToText(0.0f, out.text());
    EXPECT_STREQ(out.text(), "NaN");
    effect.millisecondsToText(10.0f, out.text());
    EXPECT_STREQ(out.text(), "Huge!");
    EXPECT_TRUE(out.guardIntact());
}

// Conversions built on floatToText follow an effect's own format.
class BracketEffect : public PlainEffect {
public:
    void floatToText(float value, char* text) override {
        copyText(text, value < 0.0f ? "[neg]" : "[pos]", 9);
    }
};

TEST(SampleConversions, GoThroughTheVirtualFloatFormat) {
    BracketEffect effect;
    char text[16];
    effect.decibelsToText(0.5f, text);
    EXPECT_STREQ(text, "[neg]");
    effect.hertzToText(10.0f, text);
    EXPECT_STREQ(text, "[pos]");
    effect.millisecondsToText(10.0f, text);
    EXPECT_STREQ(text, "[pos]");
}

TEST(CopyText, KeepsToTheBufferSize) {
    char text[8];
    std::memset(text, '#', sizeof text);
    copyText(text, "KDLV Fumara", 4);
    EXPECT_STREQ(text, "KDL");
    EXPECT_EQ(text[4], '#');
    copyText(text, "Hall", 8);
    EXPECT_STREQ(text, "Hall");
    copyText(text, nullptr, 8);
    EXPECT_STREQ(text, "");
    std::memset(text, '#', sizeof text);
    copyText(text, "abc", 0);
    EXPECT_EQ(text[0], '#');
    copyText(nullptr, "abc", 8);
}

} // namespace
