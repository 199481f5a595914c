// The editor window's fixed layout and its keyboard order, as plain data and
// pure functions: nothing here touches a window.
#pragma once
#include <windows.h>

// The controls in creation order, which is also the Tab order.
enum EditorControlIndex {
    ObjectLabel,
    NameEdit,
    PickButton,
    ModeFrame,
    ScaleRadio,
    MoveRadio,
    OkButton,
    CancelButton,
    EditorControlCount
};

enum EditorControlId {
    NoControlId = -1,  // the label and the frame: outside the identifiers that raise events
    NameEditId = 2,
    PickButtonId = 3,
    ScaleRadioId = 4,
    MoveRadioId = 5,
    OkButtonId = 6,
    CancelButtonId = 7
};

// Positions and sizes in 1/96 inch.
struct ControlSpec {
    const wchar_t* windowClass;
    int id;
    DWORD style;
    DWORD exStyle;
    int x;
    int y;
    int width;
    int height;
    const wchar_t* text;
};

extern const ControlSpec EditorControls[EditorControlCount];

extern const wchar_t EditorTitle[];
const DWORD EditorStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
const DWORD EditorExStyle = 0;
const int EditorClientWidth = 400;
const int EditorClientHeight = 160;

// Pixels for the given screen DPI: x values and widths by the horizontal DPI,
// y values and heights by the vertical one, each with MulDiv(v, dpi, 96).
struct EditorLayout {
    int clientWidth;
    int clientHeight;
    RECT controls[EditorControlCount];  // left, top, right, bottom in client pixels
};

EditorLayout ComputeEditorLayout(int dpiX, int dpiY);

// Where Tab (or Shift+Tab with `backwards`) leads from `current` among
// `count` controls in creation order: the next eligible one, wrapping round at
// both ends. From no control (-1) Tab starts at the first and Shift+Tab at
// the last. -1 when none is eligible.
int NextTabStop(const bool* eligible, int count, int current, bool backwards);

// The dialog's top-left corner when centred on an owner's outer rectangle;
// negative coordinates become 0, nothing limits them on the right or below.
POINT CentredPosition(RECT owner, int width, int height);
