// The editor's pure rules: layout scaling, Tab order and centring.
#include <gtest/gtest.h>

#include "editor/editor_layout.h"

namespace {

struct LayoutCase {
    int dpiX, dpiY;
    int clientWidth, clientHeight;
    int control;
    int x, y, width, height;
};

// MulDiv rounds halves up: 14 * 120 / 96 = 17.5 gives 18, 66 * 120 / 96 = 82.5 gives 83.
const LayoutCase LayoutCases[] = {
    {96, 96, 400, 160, ObjectLabel, 14, 16, 80, 20},
    {96, 96, 400, 160, NameEdit, 100, 14, 200, 24},
    {96, 96, 400, 160, PickButton, 310, 14, 66, 24},
    {96, 96, 400, 160, ModeFrame, 14, 52, 362, 60},
    {96, 96, 400, 160, ScaleRadio, 30, 76, 150, 22},
    {96, 96, 400, 160, MoveRadio, 200, 76, 150, 22},
    {96, 96, 400, 160, OkButton, 210, 120, 80, 26},
    {96, 96, 400, 160, CancelButton, 296, 120, 80, 26},
    {120, 120, 500, 200, PickButton, 388, 18, 83, 30},
    {120, 120, 500, 200, ObjectLabel, 18, 20, 100, 25},
    {144, 144, 600, 240, NameEdit, 150, 21, 300, 36},
    {144, 144, 600, 240, CancelButton, 444, 180, 120, 39},
    // x by the horizontal DPI, y by the vertical one
    {120, 144, 500, 240, PickButton, 388, 21, 83, 36},
    {144, 120, 600, 200, ObjectLabel, 21, 20, 120, 25},
    {72, 72, 300, 120, ObjectLabel, 11, 12, 60, 15},
};

TEST(EditorLayout, ScalesEachValueByItsDpi)
{
    for (const LayoutCase& c : LayoutCases) {
        EditorLayout layout = ComputeEditorLayout(c.dpiX, c.dpiY);
        RECT r = layout.controls[c.control];
        EXPECT_EQ(c.clientWidth, layout.clientWidth) << "dpi " << c.dpiX << "x" << c.dpiY;
        EXPECT_EQ(c.clientHeight, layout.clientHeight) << "dpi " << c.dpiX << "x" << c.dpiY;
        EXPECT_TRUE(r.left == c.x && r.top == c.y && r.right - r.left == c.width && r.bottom - r.top == c.height)
            << "dpi " << c.dpiX << "x" << c.dpiY << ", control " << c.control << ": expected (" << c.x << ","
            << c.y << ") " << c.width << "x" << c.height << ", got (" << r.left << "," << r.top << ") "
            << r.right - r.left << "x" << r.bottom - r.top;
    }
}

struct TabCase {
    const char* eligible;  // one character per control in creation order: 1 = a tab stop
    int current;
    bool backwards;
    int expected;
};

const TabCase TabCases[] = {
    {"01101111", -1, false, NameEdit},   // from no focus, Tab starts at the first
    {"01101111", -1, true, CancelButton},  // and Shift+Tab at the last
    {"01101111", CancelButton, false, NameEdit},
    {"01101111", NameEdit, true, CancelButton},
    {"01101111", PickButton, false, ScaleRadio},  // the frame is no tab stop
    {"01101111", ScaleRadio, true, PickButton},
    {"01101111", ScaleRadio, false, MoveRadio},
    {"01001111", NameEdit, false, ScaleRadio},  // a disabled Pick is passed over
    {"01001111", ScaleRadio, true, NameEdit},
    {"01101111", ObjectLabel, false, NameEdit},  // a focused control that is no tab stop
    {"00000100", MoveRadio, false, MoveRadio},
    {"00000000", NameEdit, false, -1},
    {"00000000", -1, true, -1},
};

TEST(EditorKeys, TabVisitsTabStopsInCreationOrderAndWraps)
{
    for (const TabCase& c : TabCases) {
        bool eligible[EditorControlCount];
        for (int i = 0; i < EditorControlCount; ++i) eligible[i] = c.eligible[i] == '1';
        EXPECT_EQ(c.expected, NextTabStop(eligible, EditorControlCount, c.current, c.backwards))
            << c.eligible << " from " << c.current << (c.backwards ? " backwards" : " forwards");
    }
}

struct CentreCase {
    RECT owner;
    int width, height;
    int x, y;
};

const CentreCase CentreCases[] = {
    {{0, 0, 800, 600}, 416, 199, 192, 200},
    {{100, 100, 400, 200}, 416, 199, 42, 51},  // halves of negative differences truncate toward zero
    {{-500, -400, -100, -100}, 416, 199, 0, 0},  // clamped at the screen origin
    {{-50, 300, 350, 500}, 416, 199, 0, 300},
    {{1500, 900, 2000, 1200}, 416, 199, 1542, 950},  // nothing limits the right or the bottom
};

TEST(EditorLayout, CentresOnTheOwnerAndClampsAtZero)
{
    for (const CentreCase& c : CentreCases) {
        POINT p = CentredPosition(c.owner, c.width, c.height);
        EXPECT_TRUE(p.x == c.x && p.y == c.y) << "owner (" << c.owner.left << "," << c.owner.top << ")-("
                                              << c.owner.right << "," << c.owner.bottom << "): expected (" << c.x
                                              << "," << c.y << "), got (" << p.x << "," << p.y << ")";
    }
}

}  // namespace
