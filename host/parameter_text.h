// Display texts for parameter values, shared by the base class's dB/Hz/ms/float/long helpers.
//
// Every function writes into a caller-owned buffer of at least 9 bytes: at most eight visible
// characters (the width a host reserves for a parameter display) and the terminating zero. A
// null buffer is ignored. No function allocates, locks or reports anything, so all of them are
// safe on the host's audio thread.
#pragma once

#include "host/vst_abi.h"

namespace vorblexter {

// Always exactly eight characters. The integer part is followed by a point and as many
// fraction digits as the width leaves; the fraction is truncated, never rounded (0.7f, which
// lies just below 0.7, reads 0.699999). Values above 99999999 (or below -9999999), and both
// infinities, read " Huge!  "; NaN reads "  NaN   ".
void formatFloat8(float value, char* text);

// " Huge!  " from 100000000 up; otherwise printf's "%7d" cut after its eighth character, so
// large negatives lose their last digits (-123456789 reads -1234567).
void formatLong8(VstInt32 value, char* text);

// "  -oo   ": the level of a gain that is zero, negative or not a number.
void writeMinusInfinityText(char* text);

} // namespace vorblexter
