// The registry's cursor and the pure arithmetic of a resize pass, called
// directly in the static library.
#include <gtest/gtest.h>

#include <limits.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/host_types.h"
#include "resize/registry.h"
#include "resize/scale.h"
#include "resize_support.h"

// ---------------------------------------------------------------- registry

static std::string Order(const ObjectRegistry& registry)
{
    std::string names;
    for (const RegisteredObject* record = registry.first; record; record = record->next) {
        if (!names.empty()) names += ",";
        for (const wchar_t* c = record->name; *c; ++c) names += static_cast<char>(*c);
    }
    return names;
}

static std::string NameOf(const RegisteredObject* record)
{
    if (!record) return "-";
    std::string name;
    for (const wchar_t* c = record->name; *c; ++c) name += static_cast<char>(*c);
    return name;
}

struct CursorStep {
    const char* op;       // "add NAME", "next", "reset", "clear"
    const char* yields;   // the record that add or next yields ("-" for none); null for reset and clear
    const char* order;    // the sequence afterwards
    const char* current;  // the current record afterwards ("-" for none)
};

struct CursorCase {
    const char* what;
    std::vector<CursorStep> steps;
};

TEST(Registry, CursorFollowsTheTable)
{
    const CursorCase cases[] = {
        {"adds outside a pass append",
         {{"add a", "a", "a", "a"}, {"add b", "b", "a,b", "b"}, {"add c", "c", "a,b,c", "c"}}},
        {"with no current record a new one goes to the front",
         {{"add a", "a", "a", "a"}, {"add b", "b", "a,b", "b"}, {"reset", nullptr, "a,b", "-"},
          {"add x", "x", "x,a,b", "x"}, {"next", "a", "x,a,b", "a"}}},
        {"a record added mid-walk goes after the current one and the walk goes on after it",
         {{"add a", "a", "a", "a"}, {"add b", "b", "a,b", "b"}, {"add c", "c", "a,b,c", "c"},
          {"reset", nullptr, "a,b,c", "-"}, {"next", "a", "a,b,c", "a"}, {"add m", "m", "a,m,b,c", "m"},
          {"next", "b", "a,m,b,c", "b"}, {"next", "c", "a,m,b,c", "c"}}},
        {"the end yields none and keeps the cursor on the last record",
         {{"add a", "a", "a", "a"}, {"add b", "b", "a,b", "b"}, {"reset", nullptr, "a,b", "-"},
          {"next", "a", "a,b", "a"}, {"next", "b", "a,b", "b"}, {"next", "-", "a,b", "b"},
          {"next", "-", "a,b", "b"}, {"add z", "z", "a,b,z", "z"}}},
        {"an empty registry has no current record",
         {{"next", "-", "", "-"}, {"reset", nullptr, "", "-"}, {"next", "-", "", "-"}, {"add a", "a", "a", "a"},
          {"next", "-", "a", "a"}}},
        {"clear empties and drops the cursor",
         {{"add a", "a", "a", "a"}, {"add b", "b", "a,b", "b"}, {"clear", nullptr, "", "-"}, {"next", "-", "", "-"},
          {"add c", "c", "c", "c"}, {"clear", nullptr, "", "-"}, {"clear", nullptr, "", "-"}}},
    };
    for (const CursorCase& c : cases) {
        ObjectRegistry registry = {nullptr, nullptr, 0, 0};
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const CursorStep& step = c.steps[i];
            std::istringstream words(step.op);
            std::string op, name;
            words >> op >> name;
            unsigned generation = registry.generation;
            const RegisteredObject* yielded = nullptr;
            if (op == "add") {
                std::wstring wide = Widen(name);
                wchar_t buffer[16] = {};
                wcsncpy(buffer, wide.c_str(), 15);
                TextSpan span = {buffer, static_cast<int>(wide.size())};
                RegisteredObject* added = AddRecord(&registry, span);
                wmemset(buffer, L'#', 15);  // the record keeps a copy of its own
                yielded = added;
                ASSERT_TRUE(added != nullptr) << c.what;
                EXPECT_TRUE(added->mode == 0 && added->captured == 0 && added->window == nullptr && added->x == 0 &&
                            added->y == 0 && added->width == 0 && added->height == 0)
                    << c.what << ", step " << i << ": a new record must start with every number zero";
            } else if (op == "next") {
                yielded = NextRecord(&registry);
            } else if (op == "reset") {
                ResetCursor(&registry);
            } else {
                ClearRecords(&registry);
            }
            std::string where = std::string(c.what) + ", step " + std::to_string(i) + " (" + step.op + ")";
            if (step.yields) EXPECT_EQ(step.yields, NameOf(yielded)) << where;
            EXPECT_EQ(step.order, Order(registry)) << where;
            EXPECT_EQ(step.current, NameOf(registry.current)) << where;
            const char* end = step.order + strlen(step.order);
            int expectedCount = step.order[0] ? static_cast<int>(std::count(step.order, end, ',')) + 1 : 0;
            EXPECT_EQ(expectedCount, RecordCount(&registry)) << where;
            if (op == "clear")
                EXPECT_NE(generation, registry.generation) << where << ": a clear must change the generation";
            else
                EXPECT_EQ(generation, registry.generation) << where << ": only a clear changes the generation";
        }
        ClearRecords(&registry);
    }
}

// -------------------------------------------------------------- arithmetic

struct FactorCase {
    int current;
    int baseline;
    float expected;
};

// The quotient in double precision, then rounded once more to single precision.
static const FactorCase FactorCases[] = {
    {600, 400, 1.5f},
    {300, 300, 1.0f},
    {200, 800, 0.25f},
    {53, 22, 2.40909099578857421875f},
    {1, 3, 0.3333333432674407958984375f},
    {-600, 400, -1.5f},
    {0, 7, 0.0f},
    {2147483647, 1, 2147483648.0f},
    {-2147483647 - 1, 1, -2147483648.0f},
    {1, 2147483647, 4.656612873077392578125e-10f},
    // The double quotient lands exactly between two floats although the true
    // quotient lies above: rounding twice gives the even float below.
    {715827876, 536870915, 1.3333332538604736328125f},
    {5, 0, 0.0f},  // no baseline to divide by
    {5, -3, 0.0f},
};

struct RoundCase {
    double value;
    int expected;
};

static const RoundCase RoundCases[] = {
    {4.5, 4},
    {151.5, 152},
    {7.5, 8},
    {0.5, 0},
    {2.5, 2},
    {-2.5, -2},
    {3.5, 4},
    {-3.5, -4},
    {-0.5, 0},
    {1.5, 2},
    {0.4999999999999999, 0},
    {0.5000000000000001, 1},
    {-1.2, -1},
    {-1.7, -2},
    {238.50000858306885, 239},
    {238.5, 238},
    {2147483646.5, 2147483646},
    {2147483647.0, INT_MAX},
    {2147483647.6, INT_MAX},
    {1e300, INT_MAX},
    {-2147483647.5, INT_MIN},
    {-2147483648.0, INT_MIN},
    {-2147483648.7, INT_MIN},
    {-1e300, INT_MIN},
};

struct CoordinateCase {
    int value;
    float factor;
    int expected;
};

static const CoordinateCase CoordinateCases[] = {
    {3, 1.5f, 4},        // 4.5
    {101, 1.5f, 152},    // 151.5
    {5, 1.5f, 8},        // 7.5
    {10, 1.0f, 10},
    {2, 0.25f, 0},       // 0.5
    {3, 0.25f, 1},       // 0.75
    {10, 0.25f, 2},      // 2.5
    {-3, 1.5f, -4},      // -4.5
    {-5, 0.5f, -2},      // -2.5
    {99, 2.40909099578857421875f, 239},  // 238.50000858...: the single-precision factor decides
    {0, 3.0f, 0},
    {2147483647, 1.0f, INT_MAX},
    {2147483647, 2.0f, INT_MAX},
    {-2147483647 - 1, 1.0f, INT_MIN},
    {-2147483647 - 1, 2.0f, INT_MIN},
    {2147483647, 2147483648.0f, INT_MAX},
    {-2147483647 - 1, 2147483648.0f, INT_MIN},
    {2147483647, 4.656612873077392578125e-10f, 1},
};

struct RectCase {
    ObjectRect captured;
    int mode;
    ScaleFactors factors;
    ObjectRect expected;
};

static const RectCase RectCases[] = {
    {{3, 10, 101, 20}, Scale, {1.5f, 1.0f}, {4, 10, 152, 20}},
    {{3, 10, 101, 20}, Move, {1.5f, 1.0f}, {4, 10, 101, 20}},
    {{5, 7, 2, 3}, Scale, {0.25f, 0.25f}, {1, 2, 0, 1}},
    {{10, 9, 2, 3}, Move, {0.25f, 0.25f}, {2, 2, 2, 3}},
    {{-20, -10, 50, 30}, Scale, {2.0f, 3.0f}, {-40, -30, 100, 90}},
    {{3, 10, 101, 20}, 0, {1.5f, 1.0f}, {4, 10, 152, 20}},  // any mode but Move scales
    {{3, 10, 101, 20}, 7, {1.5f, 1.0f}, {4, 10, 152, 20}},
    {{2000000000, 2000000000, 2000000000, 2000000000}, Scale, {2.0f, 4.0f}, {INT_MAX, INT_MAX, INT_MAX, INT_MAX}},
    {{2000000000, -2000000000, 2000000000, 2000000000}, Move, {2.0f, 2.0f}, {INT_MAX, INT_MIN, 2000000000, 2000000000}},
};

static std::string Text(ObjectRect r)
{
    return RectText(r.x, r.y, r.width, r.height);
}

static std::string FloatText(float value)
{
    char text[64];
    snprintf(text, sizeof text, "%.25g", value);
    return text;
}

// Every result of the tables, computed under whatever floating-point
// control the caller has set; nothing in here may print or allocate.
struct ArithmeticResults {
    float factors[sizeof FactorCases / sizeof FactorCases[0]];
    int rounded[sizeof RoundCases / sizeof RoundCases[0]];
    int coordinates[sizeof CoordinateCases / sizeof CoordinateCases[0]];
    ObjectRect rects[sizeof RectCases / sizeof RectCases[0]];
};

static void ComputeArithmetic(ArithmeticResults* results)
{
    for (size_t i = 0; i < sizeof FactorCases / sizeof FactorCases[0]; ++i)
        results->factors[i] = ScaleFactor(FactorCases[i].current, FactorCases[i].baseline);
    for (size_t i = 0; i < sizeof RoundCases / sizeof RoundCases[0]; ++i)
        results->rounded[i] = RoundHalfEven(RoundCases[i].value);
    for (size_t i = 0; i < sizeof CoordinateCases / sizeof CoordinateCases[0]; ++i)
        results->coordinates[i] = ScaleCoordinate(CoordinateCases[i].value, CoordinateCases[i].factor);
    for (size_t i = 0; i < sizeof RectCases / sizeof RectCases[0]; ++i)
        results->rects[i] = ScaledRect(RectCases[i].captured, RectCases[i].mode, RectCases[i].factors);
}

static void ExpectArithmetic(const ArithmeticResults& results, const std::string& under)
{
    for (size_t i = 0; i < sizeof FactorCases / sizeof FactorCases[0]; ++i) {
        const FactorCase& c = FactorCases[i];
        EXPECT_EQ(FloatText(c.expected), FloatText(results.factors[i]))
            << "ScaleFactor(" << c.current << ", " << c.baseline << ")" << under;
    }
    for (size_t i = 0; i < sizeof RoundCases / sizeof RoundCases[0]; ++i) {
        const RoundCase& c = RoundCases[i];
        EXPECT_EQ(c.expected, results.rounded[i]) << "RoundHalfEven(" << FloatText(static_cast<float>(c.value))
                                                  << " = " << c.value << ")" << under;
    }
    for (size_t i = 0; i < sizeof CoordinateCases / sizeof CoordinateCases[0]; ++i) {
        const CoordinateCase& c = CoordinateCases[i];
        EXPECT_EQ(c.expected, results.coordinates[i])
            << "ScaleCoordinate(" << c.value << ", " << FloatText(c.factor) << ")" << under;
    }
    for (size_t i = 0; i < sizeof RectCases / sizeof RectCases[0]; ++i) {
        const RectCase& c = RectCases[i];
        EXPECT_EQ(Text(c.expected), Text(results.rects[i]))
            << "ScaledRect(" << Text(c.captured) << ", mode " << c.mode << ", " << FloatText(c.factors.sx) << ", "
            << FloatText(c.factors.sy) << ")" << under;
    }
}

TEST(Arithmetic, TablesUnderTheDefaultControl)
{
    ArithmeticResults results;
    ComputeArithmetic(&results);
    ExpectArithmetic(results, "");
}

// A host may have set any rounding mode and unmasked the exceptions that
// trap; the results stay the same, nothing traps, and the control words are
// given back as they were.
TEST(Arithmetic, TablesUnderEveryHostControl)
{
    static const char* const RoundingNames[] = {"to nearest", "down", "up", "toward zero"};
    FpControl saved = ReadFpControl();
    for (int traps = 0; traps < 2; ++traps) {
        for (int rounding = 0; rounding < 4; ++rounding) {
            FpControl host = HostFpControl(traps != 0, rounding);
            ArithmeticResults results;
            WriteFpControl(host);
            ComputeArithmetic(&results);
            FpControl after = ReadFpControl();
            unsigned short x87Status = ReadX87Status();
            WriteFpControl(saved);
            std::string under = std::string(" under rounding ") + RoundingNames[rounding] +
                                (traps ? ", exceptions unmasked" : ", exceptions masked");
            ExpectArithmetic(results, under);
            EXPECT_EQ(host.x87, after.x87) << "x87 control word" << under;
            EXPECT_EQ(host.mxcsr, after.mxcsr & ~0x20u) << "MXCSR beyond the inexact flag" << under;
            EXPECT_EQ(0, x87Status & (X87Invalid | X87ZeroDivide | X87Overflow)) << "x87 exception flags" << under;
        }
    }
}
