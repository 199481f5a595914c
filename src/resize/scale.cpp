#include "resize/scale.h"

#include <stdint.h>
#include <string.h>

#include "plugin/host_types.h"

// The value's low `drop` bits rounded off, to nearest with ties to even;
// `above` says the exact value lies a little above `value`.
static uint64_t RoundOffBits(uint64_t value, int drop, bool above)
{
    uint64_t half = uint64_t(1) << (drop - 1);
    uint64_t kept = value >> drop;
    uint64_t rest = value & ((uint64_t(1) << drop) - 1);
    if (rest > half || (rest == half && (above || (kept & 1)))) ++kept;
    return kept;
}

// In integers, because the host may run with any rounding mode set: a
// division and a conversion to float under the host's mode would round its
// way (53/22 toward zero gives a factor that turns 238.5000086 into 238.49998).
// The result is what the default mode gives: the quotient rounded to nearest
// in double precision, then that rounded to nearest in single precision.
float ScaleFactor(int current, int baseline)
{
    if (current == 0 || baseline < 1) return 0.0f;
    uint64_t magnitude = current < 0 ? uint64_t(0) - static_cast<uint64_t>(static_cast<int64_t>(current))
                                     : static_cast<uint64_t>(current);
    uint64_t divisor = static_cast<uint64_t>(baseline);
    // Long division to 54 significant bits: the double's 53 and one to round by.
    uint64_t quotient = magnitude / divisor;
    uint64_t remainder = magnitude % divisor;
    int exponent = 0;
    while (quotient < (uint64_t(1) << 53)) {
        remainder <<= 1;
        quotient <<= 1;
        if (remainder >= divisor) {
            remainder -= divisor;
            quotient |= 1;
        }
        --exponent;
    }
    uint64_t asDouble = RoundOffBits(quotient, 1, remainder != 0);
    exponent += 1;
    if (asDouble == (uint64_t(1) << 53)) {
        asDouble >>= 1;
        exponent += 1;
    }
    // Rounded a second time from the double, as a conversion of the double would.
    uint64_t asFloat = RoundOffBits(asDouble, 29, false);
    exponent += 29;
    if (asFloat == (uint64_t(1) << 24)) {
        asFloat >>= 1;
        exponent += 1;
    }
    // 24 significant bits and an exponent well inside the normal range.
    uint32_t bits = static_cast<uint32_t>((exponent + 23 + 127) << 23) | static_cast<uint32_t>(asFloat & 0x7FFFFF);
    if (current < 0) bits |= 0x80000000u;
    float factor;
    memcpy(&factor, &bits, sizeof factor);
    return factor;
}

int RoundHalfEven(double value)
{
    if (!(value > -2147483648.0)) return -2147483647 - 1;  // also catches NaN
    if (value >= 2147483647.0) return 2147483647;
    // Truncation toward zero is exact and independent of the rounding mode.
    int whole = static_cast<int>(value);
    double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && (whole & 1))) return whole + 1;
    if (fraction < -0.5 || (fraction == -0.5 && (whole & 1))) return whole - 1;
    return whole;
}

int ScaleCoordinate(int value, float factor)
{
    return RoundHalfEven(static_cast<double>(value) * static_cast<double>(factor));
}

ObjectRect ScaledRect(ObjectRect captured, int mode, ScaleFactors factors)
{
    ObjectRect scaled = captured;
    scaled.x = ScaleCoordinate(captured.x, factors.sx);
    scaled.y = ScaleCoordinate(captured.y, factors.sy);
    if (mode != Move) {
        scaled.width = ScaleCoordinate(captured.width, factors.sx);
        scaled.height = ScaleCoordinate(captured.height, factors.sy);
    }
    return scaled;
}
