// The arithmetic of a resize pass, free of Win32 so that tests can call it.
#pragma once

struct ObjectRect {
    int x;
    int y;
    int width;
    int height;
};

// Both factors are single precision: the quotient is formed in double
// precision, then rounded once to 32 bits.
struct ScaleFactors {
    float sx;
    float sy;
};

// current / baseline, the same under every rounding mode; 0 for a baseline
// below 1, which a pass never divides by.
float ScaleFactor(int current, int baseline);

// The nearest integer, ties to even, whatever rounding mode the host has set;
// values beyond the 32-bit range give its ends instead of an invalid conversion.
int RoundHalfEven(double value);

// R(value x factor), the product formed in double precision. The product is
// exact for every value below 2^29 in magnitude, so the host's rounding mode
// cannot change it for any window coordinate.
int ScaleCoordinate(int value, float factor);

// Scale mode follows in position and size; Move keeps the captured size.
ObjectRect ScaledRect(ObjectRect captured, int mode, ScaleFactors factors);
