// Text written into host buffers: bounded copies and the fixed-width number
// formats of parameter displays.
#pragma once

#include <cstddef>
#include <cstdint>

// Longest text the number formats write, terminator excluded.
constexpr size_t kValueTextLength = 8;

// Copies at most size - 1 characters of source and a terminator into text.
// A null text or a size of 0 writes nothing; a null source writes "".
void copyText(char* text, const char* source, size_t size);

// Fixed-width decimal form of value: integer digits, a point and as many
// fraction digits (cut, not rounded) as fit in 8 characters counting sign and
// point; "Huge!" when the magnitude does not fit, "NaN" for a value that is not a
// number. Writes at most 9 bytes; a null text writes nothing.
void writeFloatText(double value, char* text);

// The value right-aligned in 7 characters ("%7d"), cut to 8 characters; "Huge!"
// from 100000000 on. Writes at most 9 bytes; a null text writes nothing.
void writeIntegerText(int32_t value, char* text);
