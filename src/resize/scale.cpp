#include "resize/scale.h"

#include "plugin/host_types.h"

float ScaleFactor(int current, int baseline)
{
    double quotient = static_cast<double>(current) / static_cast<double>(baseline);
    return static_cast<float>(quotient);
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
