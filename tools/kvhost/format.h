#pragma once
// How kvhost prints a value: strings as they are (UTF-8), booleans True/False, integers in
// decimal, floating-point numbers in their shortest decimal form, Empty as nothing, Null as
// "Null", an error value as "Error 0x8002000E", an object as "<object>", and an array as its
// elements in braces: {1, 2, 3} (multi-dimensional arrays in memory order).

#include <string>

#include "platform/com/variant.h"

// formatValue follows by-reference values to what they refer to. Never fails.
std::string formatValue(const VARIANT& value);
