// Small records of the plug-in interface shared by the host layer and the editor.
#pragma once

#include <cstdint>

// Editor rectangle as the host reads it through effEditGetRect.
struct ERect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};
static_assert(sizeof(ERect) == 8, "ERect is four 16-bit fields");

// A key as the host hands it to the editor (effEditKeyDown / effEditKeyUp).
struct VstKeyCode {
    int32_t character; // ASCII character, 0 when the key is a virtual key
    uint8_t virt;      // virtual key code (VKEY_...), 0 for plain characters
    uint8_t modifier;  // MODIFIER_... bits
};
static_assert(sizeof(VstKeyCode) == 8, "VstKeyCode is 4 + 1 + 1 bytes, padded to 8");

// Virtual key codes that the controls react to.
enum : uint8_t {
    VKEY_LEFT = 11,
    VKEY_UP = 12,
    VKEY_RIGHT = 13,
    VKEY_DOWN = 14,
};

// Modifier bits of VstKeyCode::modifier.
enum : uint8_t {
    MODIFIER_SHIFT = 1,
    MODIFIER_ALTERNATE = 2,
    MODIFIER_COMMAND = 4,
    MODIFIER_CONTROL = 8,
};
