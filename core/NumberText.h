// Numbers as the dialog's fields write and read them, independent of the process locale. The
// simulated devices carry a temperature from report to report through the same text.
#pragma once

#include <string>
#include <string_view>

// Six significant digits in the manner of %g: 20.01, -30, 150, 1e-05.
std::string FormatFloatG6(float value);

// A finite float, optionally signed, with surrounding white space allowed; false for anything else.
bool ParseFloat(std::string_view text, float& value);

// Decimal digits with an optional "+" and surrounding white space, within the range of UINT.
bool ParseUint(std::string_view text, unsigned int& value);
