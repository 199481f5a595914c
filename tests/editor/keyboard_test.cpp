// The editor's keyboard, with real key events (SendInput) delivered to the
// foreground dialog: Tab order, arrows on the radio buttons, Space, Ctrl+A,
// Enter and Escape, and the focus kept across deactivation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/editor_layout.h"
#include "editor_driver.h"
#include "host_core.h"

namespace {

struct KeyStep {
    WORD key;
    WORD held;  // 0, VK_SHIFT or VK_CONTROL
    int focus;  // the control with the focus afterwards
    int selected;  // ScaleRadio or MoveRadio afterwards
};

struct KeyScript {
    const char* name;
    const char* name2;  // slot 1 at opening
    std::vector<KeyStep> steps;
};

const KeyScript Scripts[] = {
    {"Tab from no focus, round and round", "SCALE",
     {{VK_TAB, 0, NameEdit, ScaleRadio},
      {VK_TAB, 0, PickButton, ScaleRadio},
      {VK_TAB, 0, ScaleRadio, ScaleRadio},
      {VK_TAB, 0, MoveRadio, ScaleRadio},  // the focus alone moves: the mode stays
      {VK_TAB, 0, OkButton, ScaleRadio},
      {VK_TAB, 0, CancelButton, ScaleRadio},
      {VK_TAB, 0, NameEdit, ScaleRadio}}},
    {"Shift+Tab from no focus, round and round", "MOVE",
     {{VK_TAB, VK_SHIFT, CancelButton, MoveRadio},
      {VK_TAB, VK_SHIFT, OkButton, MoveRadio},
      {VK_TAB, VK_SHIFT, MoveRadio, MoveRadio},
      {VK_TAB, VK_SHIFT, ScaleRadio, MoveRadio},
      {VK_TAB, VK_SHIFT, PickButton, MoveRadio},
      {VK_TAB, VK_SHIFT, NameEdit, MoveRadio},
      {VK_TAB, VK_SHIFT, CancelButton, MoveRadio}}},
    {"arrows on the radio buttons", "SCALE",
     {{VK_TAB, 0, NameEdit, ScaleRadio},
      {VK_TAB, 0, PickButton, ScaleRadio},
      {VK_TAB, 0, ScaleRadio, ScaleRadio},
      {VK_UP, 0, ScaleRadio, ScaleRadio},  // its previous sibling is the frame
      {VK_LEFT, 0, ScaleRadio, ScaleRadio},
      {VK_RIGHT, 0, MoveRadio, MoveRadio},
      {VK_DOWN, 0, MoveRadio, MoveRadio},  // its next sibling is OK
      {VK_RIGHT, 0, MoveRadio, MoveRadio},
      {VK_LEFT, 0, ScaleRadio, ScaleRadio},
      {VK_DOWN, 0, MoveRadio, MoveRadio},
      {VK_UP, 0, ScaleRadio, ScaleRadio},
      {VK_TAB, 0, MoveRadio, ScaleRadio}}},
    {"Enter and Escape do nothing", "SCALE",
     {{VK_TAB, 0, NameEdit, ScaleRadio},
      {VK_RETURN, 0, NameEdit, ScaleRadio},
      {VK_ESCAPE, 0, NameEdit, ScaleRadio},
      {VK_TAB, VK_SHIFT, CancelButton, ScaleRadio},
      {VK_TAB, VK_SHIFT, OkButton, ScaleRadio},
      {VK_RETURN, 0, OkButton, ScaleRadio},
      {VK_ESCAPE, 0, OkButton, ScaleRadio},
      {VK_TAB, VK_SHIFT, MoveRadio, ScaleRadio},
      {VK_RETURN, 0, MoveRadio, ScaleRadio},
      {VK_ESCAPE, 0, MoveRadio, ScaleRadio}}},
};

TEST_F(EditorTest, KeysMoveTheFocusAndTheSelectionWithoutControlEvents)
{
    for (const KeyScript& script : Scripts) {
        HostParams params = MakeParams({"Label 1", script.name2});
        HostText before[2] = {params.slots[0], params.slots[1]};
        std::vector<std::string> wrong;
        bool tabStops = false, open = false;
        std::wstring field;
        StartMessageLog();
        int result = RunEditor(params.data(), [&](Driver& d) {
            if (d.FocusIndex() != -1) wrong.push_back("a control has the focus at opening");
            for (size_t i = 0; i < script.steps.size(); ++i) {
                const KeyStep& step = script.steps[i];
                if (step.held) d.Key(step.key, {step.held});
                else d.Key(step.key);
                int focus = d.FocusIndex();
                int selected = d.Checked(MoveRadio) ? MoveRadio : d.Checked(ScaleRadio) ? ScaleRadio : -1;
                if (d.Checked(MoveRadio) && d.Checked(ScaleRadio)) selected = -2;
                if (focus != step.focus || selected != step.selected)
                    wrong.push_back("step " + std::to_string(i + 1) + ": expected focus " +
                                    std::to_string(step.focus) + " and selection " + std::to_string(step.selected) +
                                    ", got " + std::to_string(focus) + " and " + std::to_string(selected));
            }
            tabStops = (GetWindowLongW(d.Control(ScaleRadio), GWL_STYLE) & WS_TABSTOP) &&
                       (GetWindowLongW(d.Control(MoveRadio), GWL_STYLE) & WS_TABSTOP);
            open = IsWindowVisible(d.dialog) != FALSE;
            field = d.Field();
            d.Click(CancelButton);
        });
        std::vector<LoggedMessage> log = StopMessageLog();
        for (const std::string& w : wrong) ADD_FAILURE() << script.name << ", " << w;
        int radioClicks = 0;
        for (const LoggedMessage& m : log) {
            if (m.message == WM_COMMAND && (LOWORD(m.wParam) == 4 || LOWORD(m.wParam) == 5)) ++radioClicks;
        }
        EXPECT_EQ(0, radioClicks) << script.name << ": a radio button raised a control event";
        EXPECT_TRUE(tabStops) << script.name << ": a radio button lost WS_TABSTOP";
        EXPECT_TRUE(open) << script.name;
        EXPECT_EQ(L"Label 1", field) << script.name;
        EXPECT_EQ(0, result) << script.name;
        EXPECT_TRUE(params.slots[0] == before[0] && params.slots[1] == before[1]) << script.name;
        FreeParams(&params);
    }
}

TEST_F(EditorTest, SpaceClicksTheFocusedButton)
{
    HostParams params = MakeParams({"Label 1", "SCALE"});
    std::vector<std::string> wrong;
    StartMessageLog();
    int result = RunEditor(params.data(), [&](Driver& d) {
        for (int i = 0; i < 4; ++i) d.Key(VK_TAB);
        d.Key(VK_SPACE);
        if (!d.Checked(MoveRadio) || d.Checked(ScaleRadio)) wrong.push_back("Space on MoveRadio did not select it");
        d.Key(VK_TAB, {VK_SHIFT});
        d.Key(VK_SPACE);
        if (!d.Checked(ScaleRadio) || d.Checked(MoveRadio)) wrong.push_back("Space on ScaleRadio did not select it");
        d.Key(VK_RIGHT);
        d.Key(VK_TAB);
        d.Key(VK_SPACE);  // OK
        if (!d.WaitUntil([&] { return !IsWindow(d.dialog); })) wrong.push_back("Space on OK did not confirm");
    });
    std::vector<LoggedMessage> log = StopMessageLog();
    for (const std::string& w : wrong) ADD_FAILURE() << w;
    int radioClicks = 0;
    for (const LoggedMessage& m : log) {
        if (m.message == WM_COMMAND && HIWORD(m.wParam) == BN_CLICKED &&
            (LOWORD(m.wParam) == 4 || LOWORD(m.wParam) == 5))
            ++radioClicks;
    }
    EXPECT_EQ(2, radioClicks) << "Space on a radio button raises its control event";
    EXPECT_EQ(1, result);
    EXPECT_EQ("MOVE", ParamSlotText(params, 1));
    FreeParams(&params);
}

TEST_F(EditorTest, CtrlASelectsTheWholeName)
{
    HostParams params = MakeParams({"Label 1", "SCALE"});
    DWORD selection = 0;
    std::wstring typed;
    int result = RunEditor(params.data(), [&](Driver& d) {
        d.Key(VK_TAB);
        d.Key(VK_END);
        d.Type(L"x");
        d.Key('A', {VK_CONTROL});
        selection = static_cast<DWORD>(d.Send(d.Control(NameEdit), EM_GETSEL));
        d.Type(L"z");
        typed = d.Field();
        d.Click(OkButton);
    });
    EXPECT_EQ(0u, LOWORD(selection));
    EXPECT_EQ(8u, HIWORD(selection)) << "Ctrl+A should select all of 'Label 1x'";
    EXPECT_EQ(L"z", typed);
    EXPECT_EQ(1, result);
    EXPECT_EQ("z", ParamSlotText(params, 0));
    FreeParams(&params);
}

TEST_F(EditorTest, TabPassesOverADisabledControl)
{
    HostParams params = MakeParams({"Label 1", "SCALE"});
    std::vector<int> focus;
    RunEditor(params.data(), [&](Driver& d) {
        EnableWindow(d.Control(PickButton), FALSE);
        d.Key(VK_TAB);
        focus.push_back(d.FocusIndex());
        d.Key(VK_TAB);
        focus.push_back(d.FocusIndex());
        d.Key(VK_TAB, {VK_SHIFT});
        focus.push_back(d.FocusIndex());
        d.Click(CancelButton);
    });
    EXPECT_EQ((std::vector<int>{NameEdit, ScaleRadio, NameEdit}), focus);
    FreeParams(&params);
}

TEST_F(EditorTest, FocusComesBackAfterDeactivation)
{
    HostParams params = MakeParams({"Label 1", "SCALE"});
    int away = -2, back = -2;
    bool left = false;
    RunEditor(params.data(), [&](Driver& d) {
        d.Key(VK_TAB);
        d.Key(VK_TAB);
        HWND other = MakeTopWindow(L"Another application", 500, 300, 200, 100, true);
        left = d.WaitUntil([&] { return GetForegroundWindow() == other; });
        away = d.FocusIndex();
        SetForegroundWindow(d.dialog);
        d.WaitUntil([&] { return GetForegroundWindow() == d.dialog && d.FocusIndex() >= 0; });
        back = d.FocusIndex();
        d.Key(VK_TAB);  // and the keys work on from there
        if (d.FocusIndex() != ScaleRadio) d.Fail("Tab after reactivation did not go on from PickButton");
        DestroyWindow(other);
        d.Click(CancelButton);
    });
    EXPECT_TRUE(left) << "the other window did not come to the foreground";
    EXPECT_EQ(-1, away);
    EXPECT_EQ(PickButton, back);
    FreeParams(&params);
}

}  // namespace
