#pragma once

// Converts a decimal text to a signed 32-bit number: optional leading white
// space, an optional sign, then digits up to the first other character. Text
// without leading digits gives 0; values beyond the int range are clamped.
int ParseStatusNumber(const char* text);
