// The host's own proportional rule, a short scenario replayed through the
// built DLL with real windows, and picking an object by a real click.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>

#include "host_demo.h"
#include "host_png.h"
#include "support/test_support.h"

namespace {

TEST(HostRule, RoundsHalfToEven)
{
    const struct {
        double value;
        int expected;
    } cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {4.5, 4}, {151.5, 152}, {7.5, 8}, {-2.5, -2},
                 {-1.5, -2}, {-0.5, 0}, {2.4999999, 2}, {2.5000001, 3}, {-3.7, -4}, {0.0, 0}};
    for (const auto& c : cases) EXPECT_EQ(c.expected, RoundHalfToEven(c.value)) << c.value;
}

TEST(HostRule, PlacesRectanglesLikeTheRule)
{
    struct Case {
        const char* what;
        RECT captured;  // left, top, right, bottom
        bool move;
        int baseWidth, baseHeight, width, height;
        RECT expected;
    };
    const Case cases[] = {
        {"scale x 1.5", {3, 10, 104, 30}, false, 400, 300, 600, 300, {4, 10, 156, 30}},
        {"x 5 at 1.5", {5, 10, 106, 30}, false, 400, 300, 600, 300, {8, 10, 160, 30}},
        {"move keeps the size", {3, 10, 104, 30}, true, 400, 300, 600, 300, {4, 10, 105, 30}},
        {"width 2 at 0.25", {10, 0, 12, 4}, false, 800, 400, 200, 100, {2, 0, 2, 1}},
        {"width 3 at 0.25", {10, 0, 13, 4}, false, 800, 400, 200, 100, {2, 0, 3, 1}},
        // 53/22 as a 32-bit float is just above 2.40909..., so 99 x it passes the tie.
        {"single-precision factor", {99, 0, 100, 1}, false, 22, 10, 53, 10, {239, 0, 241, 1}},
        {"baseline again", {17, 23, 50, 61}, false, 640, 400, 640, 400, {17, 23, 50, 61}},
        {"negative position", {-10, -3, 10, 7}, false, 100, 100, 250, 150, {-25, -4, 25, 11}},
    };
    for (const Case& c : cases) {
        RECT r = ProportionalRect(c.captured, c.move, c.baseWidth, c.baseHeight, c.width, c.height);
        bool same = r.left == c.expected.left && r.top == c.expected.top && r.right == c.expected.right &&
                    r.bottom == c.expected.bottom;
        EXPECT_TRUE(same)
            << c.what << ": expected " << c.expected.left << "," << c.expected.top << "," << c.expected.right << ","
            << c.expected.bottom << " got " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
}

class HostDemo : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadPlugin(BuiltDllPath().c_str()));
        sink = fopen("NUL", "w");
        ASSERT_TRUE(sink != nullptr);
        run.out = sink;
    }
    void TearDown() override
    {
        EndScenario();
        UnloadPlugin();
        if (sink) fclose(sink);
    }

    void Run(const std::vector<ScenarioStep>& steps, size_t from, size_t to)
    {
        std::vector<ScenarioStep> part(steps.begin() + from, steps.begin() + to);
        ASSERT_TRUE(RunScenario(part, "t.scn", &run)) << run.error;
    }

    static std::vector<ScenarioStep> Parse(const std::string& text)
    {
        std::vector<ScenarioStep> steps;
        std::string error;
        EXPECT_TRUE(ParseScenario(text, "t.scn", &steps, &error)) << error;
        return steps;
    }

    static void ExpectAt(const char* name, int x, int y, int width, int height, const char* when)
    {
        HWND window = FindHostObject(name);
        ASSERT_TRUE(window != nullptr) << name;
        RECT r = ClientRectOf(window);
        EXPECT_TRUE(r.left == x && r.top == y && r.right - r.left == width && r.bottom - r.top == height)
            << name << " " << when << ": expected " << x << "," << y << " " << width << "x" << height << " got "
            << r.left << "," << r.top << " " << r.right - r.left << "x" << r.bottom - r.top;
    }

    FILE* sink = nullptr;
    ScenarioRun run;
};

const char ShortScenario[] = R"(window 400 300
object A static 3 10 101 20
object B button 5 40 101 20
object C static 100 100 40 40
object D edit 200 200 50 20
action Vantrel_SetOriginalSize
action Vantrel_RegisterObject A SCALE
action Vantrel_RegisterObject " B " move
action Vantrel_RegisterObject Later SCALE
size 600 300
action Vantrel_RegisterObject C SCALE   # captured at 600 x 300, scaled against 400 x 300
object Later static 300 10 60 30
size 800 600
minimize
restore
message 1
size 400 300
)";

TEST_F(HostDemo, ShortScenarioPutsEveryObjectWhereTheRuleSays)
{
    std::vector<ScenarioStep> steps = Parse(ShortScenario);
    ASSERT_EQ(17u, steps.size());
    Run(steps, 0, 10);
    ExpectAt("A", 4, 10, 152, 20, "at 600 x 300");
    ExpectAt("B", 8, 40, 101, 20, "at 600 x 300");
    ExpectAt("C", 100, 100, 40, 40, "at 600 x 300");
    Run(steps, 10, 13);
    ExpectAt("A", 6, 20, 202, 40, "at 800 x 600");
    ExpectAt("B", 10, 80, 101, 20, "at 800 x 600");
    ExpectAt("C", 200, 200, 80, 80, "at 800 x 600");
    ExpectAt("D", 200, 200, 50, 20, "at 800 x 600");
    ExpectAt("Later", 600, 20, 120, 60, "at 800 x 600");
    // Minimized and restored to the same size, then reset: nothing moves.
    Run(steps, 13, 17);
    ExpectAt("A", 6, 20, 202, 40, "after the reset");
    ExpectAt("Later", 600, 20, 120, 60, "after the reset");
    EXPECT_EQ(0, run.mismatches);
}

TEST_F(HostDemo, TableMarksAnObjectThatIsNotWhereTheRuleSays)
{
    std::vector<ScenarioStep> steps = Parse(ShortScenario);
    Run(steps, 0, 13);
    ASSERT_EQ(0, run.mismatches);
    SetWindowPos(FindHostObject("B"), nullptr, 11, 80, 101, 20, SWP_NOZORDER | SWP_NOACTIVATE);
    char buffer[4096] = {};
    FILE* out = tmpfile();
    ASSERT_TRUE(out != nullptr);
    EXPECT_EQ(1, PrintLayoutTable(out));
    rewind(out);
    fread(buffer, 1, sizeof buffer - 1, out);
    fclose(out);
    std::string table(buffer);
    size_t row = table.find("\n     B ");
    ASSERT_NE(std::string::npos, row) << table;
    std::string line = table.substr(row + 1, table.find('\n', row + 1) - row - 1);
    EXPECT_NE(std::string::npos, line.find("<-- differs")) << table;
    EXPECT_EQ(1u, std::count(table.begin(), table.end(), '<')) << table;
}

TEST_F(HostDemo, ActionResultsAreCheckedToo)
{
    // An empty name registers nothing: both the plug-in and the host say 0.
    std::vector<ScenarioStep> steps = Parse("window 200 100\naction Vantrel_RegisterObject \"   \" MOVE\n"
                                            "action Vantrel_SetOriginalSize\nmessage 4\nmessage 5\n");
    Run(steps, 0, steps.size());
    EXPECT_EQ(0, run.mismatches);
}

TEST_F(HostDemo, SnapshotsAndTheEditorStepWritePngFiles)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    run.snapshotDir = std::wstring(temp) + L"vantrel-host-test";
    CreateDirectoryW(run.snapshotDir.c_str(), nullptr);
    std::vector<ScenarioStep> steps = Parse(
        "window 300 200\nobject A button 10 10 80 30\naction Vantrel_SetOriginalSize\n"
        "action Vantrel_RegisterObject A MOVE\nsize 600 400\nsnapshot big\nedit Vantrel_RegisterObject A MOVE\n");
    Run(steps, 0, steps.size());
    EXPECT_EQ(0, run.mismatches);
    ASSERT_EQ(2u, run.files.size());
    EXPECT_EQ(run.snapshotDir + L"\\01-big.png", run.files[0]);
    EXPECT_EQ(run.snapshotDir + L"\\02-editor.png", run.files[1]);
    RECT outer;
    GetWindowRect(Host.mainWindow, &outer);
    for (size_t i = 0; i < run.files.size(); ++i) {
        FILE* file = _wfopen(run.files[i].c_str(), L"rb");
        ASSERT_TRUE(file != nullptr) << i;
        uint8_t header[24] = {};
        size_t got = fread(header, 1, sizeof header, file);
        fclose(file);
        DeleteFileW(run.files[i].c_str());
        ASSERT_EQ(24u, got);
        EXPECT_EQ(0, memcmp(header + 1, "PNG", 3)) << i;
        EXPECT_EQ(0, memcmp(header + 12, "IHDR", 4)) << i;
        int width = (header[18] << 8) | header[19], height = (header[22] << 8) | header[23];
        if (i == 0) {
            EXPECT_EQ(outer.right - outer.left, width);
            EXPECT_EQ(outer.bottom - outer.top, height);
        } else {
            EXPECT_GT(width, 400);  // the editor's client area alone is 400 x 160 at 96 DPI
            EXPECT_GT(height, 160);
        }
    }
    RemoveDirectoryW(run.snapshotDir.c_str());
}

// A helper thread waits for the capture loop, then delivers real input.
std::thread DuringPick(std::function<void()> input)
{
    return std::thread([input] {
        DWORD start = GetTickCount();
        while (!PickInProgress && GetTickCount() - start < 5000) Sleep(10);
        Sleep(50);
        input();
    });
}

void ClickAt(POINT screen)
{
    SetCursorPos(screen.x, screen.y);
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, in, sizeof(INPUT));
}

POINT CentreOf(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

TEST_F(HostDemo, PickAnswersWithTheClickedObject)
{
    std::vector<ScenarioStep> steps =
        Parse("window 300 200\nobject First static 10 10 100 40\nobject \"Second one\" button 150 100 100 40\n");
    Run(steps, 0, steps.size());
    SetForegroundWindow(Host.mainWindow);
    PumpMessages();

    struct Case {
        const char* what;
        std::function<void()> input;
        const char* expected;
        bool disabled;  // the host window disabled, as while the editor is up
    };
    HWND second = FindHostObject("Second one");
    POINT background = CentreOf(Host.mainWindow);
    background.y -= 60;  // between the two objects
    POINT secondCentre = CentreOf(second), firstCentre = CentreOf(FindHostObject("First"));
    const Case cases[] = {
        {"click on a button", [=] { ClickAt(secondCentre); }, "Second one", false},
        {"click on a static", [=] { ClickAt(firstCentre); }, "First", false},
        {"click while the window is disabled", [=] { ClickAt(firstCentre); }, "First", true},
        {"background first, then an object",
         [=] {
             ClickAt(background);
             Sleep(100);
             ClickAt(secondCentre);
         },
         "Second one", false},
        {"Escape",
         [] {
             INPUT in[2] = {};
             in[0].type = in[1].type = INPUT_KEYBOARD;
             in[0].ki.wVk = in[1].ki.wVk = VK_ESCAPE;
             in[1].ki.dwFlags = KEYEVENTF_KEYUP;
             SendInput(2, in, sizeof(INPUT));
         },
         "", false},
    };
    for (const Case& c : cases) {
        EnableWindow(Host.mainWindow, !c.disabled);
        std::thread input = DuringPick(c.input);
        PickEnd end = PickEnd::TimedOut;
        EXPECT_EQ(c.expected, PickObjectByClick(8000, &end)) << c.what;
        input.join();
        EXPECT_EQ(*c.expected ? PickEnd::Picked : PickEnd::Cancelled, end) << c.what << ": ended by the timeout";
        EXPECT_EQ(0, PickInProgress) << c.what;
        EXPECT_TRUE(GetCapture() == nullptr) << c.what;
        EXPECT_EQ(!c.disabled, IsWindowEnabled(Host.mainWindow) != FALSE) << c.what << ": enabled state not restored";
        EnableWindow(Host.mainWindow, TRUE);
        Sleep(100);
        PumpMessages();
    }
}

TEST_F(HostDemo, PickGivesUpAfterItsTimeout)
{
    std::vector<ScenarioStep> steps = Parse("window 200 100\nobject A static 1 1 50 20\n");
    Run(steps, 0, steps.size());
    PickEnd end = PickEnd::Picked;
    EXPECT_EQ("", PickObjectByClick(200, &end));
    EXPECT_EQ(PickEnd::TimedOut, end);
    EXPECT_TRUE(GetCapture() == nullptr);
}

}  // namespace
