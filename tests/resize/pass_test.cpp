// Resize passes end to end, as a host drives them: real windows, real size
// changes, and a host that calls back into the plug-in from inside
// SetWindowPos and from inside its query function. Every scenario runs
// against the static library and against the built DLL, and again under the
// floating-point control words a host may have set.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "resize_support.h"

namespace {

struct Scenario {
    const char* name;
    std::vector<const char*> steps;
    // Run once from inside the call named by the "arm" step.
    std::vector<const char*> nested;
};

// Steps, one host action each; "=N" gives the plug-in's expected result.
//   size W H | min | restore                   the host window's client area
//   obj NAME X Y W H [PARENT]                  a host object (a static window)
//   gone NAME                                  a name whose handle names no window
//   destroy NAME | replace NAME X Y W H        the host destroys or replaces an object's window
//   move NAME X Y W H                          the host moves an object itself
//   base=N | reg NAME [MODE]=N | clear=N | check=N | msg CODE=N
//   placed [A,B,...]                           the objects placed since the last "placed"
//   at NAME X,Y,W,H                            an object's rectangle in its parent
//   call NAME X,Y,W,H                          the last SetWindowPos call for NAME
//   queries NAME=N                             handle queries sent for NAME so far
//   arm move NAME | arm query NAME | fired     run the nested steps inside that call once
const Scenario Scenarios[] = {
    {"the 400 x 300 to 600 x 300 example",
     {"obj A 3 10 101 20", "obj B 5 50 20 20", "obj C 3 100 101 20", "base=1", "reg A SCALE=1", "reg B scale=1",
      "reg C MOVE=1", "placed", "size 600 300", "check=0", "placed A,B,C", "at A 4,10,152,20", "at B 8,50,30,20",
      "at C 4,100,101,20"}},
    {"returning to the baseline restores every object exactly",
     {"obj A 3 10 101 20", "obj C 7 33 41 17", "base=1", "reg A=1", "reg C MOVE=1", "size 600 300", "check=0",
      "size 517 263", "check=0", "size 400 300", "check=0", "placed A,C,A,C,A,C", "at A 3,10,101,20",
      "at C 7,33,41,17"}},
    {"shrinking below the baseline",
     {"size 800 300", "obj W2 10 10 2 20", "obj W3 11 40 3 20", "base=1", "reg W2=1", "reg W3=1", "size 200 300",
      "check=0", "at W2 2,10,0,20", "at W3 3,40,1,20"}},
    {"the single-precision factor decides a tie",
     {"size 220 300", "obj A 99 10 30 20", "base=1", "reg A=1", "size 530 300", "check=0", "at A 239,10,72,20"}},
    {"a zero baseline stores sizes but moves nothing",
     {"obj A 10 10 20 20", "min", "base=1", "restore", "reg A=1", "check=0", "check=1", "size 500 300", "check=0",
      "check=1", "placed", "at A 10,10,20,20", "base=1", "size 1000 300", "check=0", "placed A",
      "at A 20,10,40,20"}},
    {"a minimized host stores nothing",
     {"obj A 10 10 20 20", "base=1", "reg A=1", "min", "check=1", "restore", "check=1", "placed", "size 800 300",
      "check=0", "placed A", "at A 20,10,40,20"}},
    {"an unchanged size starts no pass",
     {"obj A 10 10 20 20", "base=1", "check=1", "reg A=1", "size 600 300", "check=0", "check=1", "placed A"}},
    {"no pass before any baseline",
     {"obj A 10 10 20 20", "reg A=1", "size 600 300", "check=1", "check=1", "placed", "base=1", "check=1",
      "size 800 300", "check=0", "placed A", "at A 13,10,27,20"}},
    {"a new baseline does not recapture",
     {"obj A 100 10 30 20", "reg A=1", "size 600 300", "base=1", "size 1200 300", "check=0", "at A 200,10,60,20"}},
    {"an object named later is captured in that pass and scaled at once",
     {"reg L=1", "queries L=1", "base=1", "size 500 300", "check=0", "placed", "queries L=2", "obj L 40 30 50 20",
      "size 800 300", "check=0", "placed L", "queries L=3", "at L 80,30,100,20", "size 600 300", "check=0",
      "queries L=3", "at L 60,30,75,20"}},
    {"two records for one name: the later rectangle remains",
     {"obj D 10 10 20 20", "reg D SCALE=1", "move D 30 40 20 20", "reg D MOVE=1", "base=1", "size 800 300",
      "check=0", "placed D,D", "at D 60,40,20,20"}},
    {"a failing SetWindowPos does not stop the pass",
     {"obj A 10 10 20 20", "obj B 10 40 20 20", "obj C 10 70 20 20", "base=1", "reg A=1", "reg B=1", "reg C=1",
      "destroy B", "size 800 300", "check=0", "placed A,B,C", "at A 20,10,40,20", "at C 20,70,40,20"}},
    {"a clear keeps the baseline",
     {"obj A 10 10 20 20", "obj B 10 40 20 20", "base=1", "reg A=1", "clear=1", "size 600 300", "check=0", "placed",
      "check=1", "reg B=1", "size 800 300", "check=0", "placed B", "at B 20,40,40,20", "at A 10,10,20,20"}},
    {"a child of a panel is placed in the panel",
     {"obj P 50 40 200 150", "obj N 10 20 30 40 P", "obj D 60 70 30 40", "base=1", "reg N=1", "reg D=1",
      "size 800 600", "check=0", "placed N,D", "at N 20,40,60,80", "at D 120,140,60,80", "at P 50,40,200,150"}},
    {"a captured record is never looked up again",
     {"obj A 10 10 20 20", "reg A=1", "base=1", "queries A=1", "size 800 300", "check=0", "placed A", "queries A=1",
      "replace A 15 15 25 25", "size 600 300", "check=0", "queries A=1", "placed A.old", "at A 15,15,25,25"}},
    {"a handle that names no window is retried and still handed to SetWindowPos",
     {"gone G", "reg G MOVE=1", "queries G=1", "base=1", "size 800 300", "check=0", "queries G=2", "call G 0,0,0,0",
      "placed G", "size 600 300", "check=0", "queries G=3", "placed G"}},

    // Nested calls from inside SetWindowPos during a pass.
    {"inside SetWindowPos: a size check with a changed size",
     {"obj A 10 10 20 20", "obj B 10 50 20 20", "base=1", "reg A=1", "reg B=1", "arm move A", "size 800 300",
      "check=0", "fired", "placed A,B", "at A 20,10,40,20", "at B 20,50,40,20", "check=1", "size 400 300", "check=0",
      "at B 10,50,20,20"},
     {"size 600 300", "check=0"}},
    {"inside SetWindowPos: a registration",
     {"obj A 10 10 20 20", "obj B 10 50 20 20", "obj N 10 90 20 20", "base=1", "reg A=1", "reg B=1", "arm move A",
      "size 800 300", "check=0", "fired", "placed A,B", "at N 10,90,20,20", "size 1200 300", "check=0",
      "placed A,N,B", "at N 30,90,60,20"},
     {"reg N=1"}},
    {"inside SetWindowPos: a clear",
     {"obj A 10 10 20 20", "obj B 10 50 20 20", "base=1", "reg A=1", "reg B=1", "arm move A", "size 800 300",
      "check=0", "fired", "placed A", "at B 10,50,20,20", "size 600 300", "check=0", "placed", "reg B=1",
      "size 800 300", "check=0", "placed B", "at B 20,50,40,20"},
     {"clear=1"}},
    {"inside SetWindowPos: a reset message",
     {"obj A 10 10 20 20", "obj B 10 50 20 20", "base=1", "reg A=1", "reg B=1", "arm move A", "size 800 300",
      "check=0", "fired", "placed A", "at B 10,50,20,20", "size 600 300", "check=1", "base=1", "reg B=1",
      "size 1200 300", "check=0", "placed B", "at B 20,50,40,20"},
     {"msg 2=0"}},
    {"inside SetWindowPos: a new baseline",
     {"obj A 10 10 20 20", "obj B 10 50 20 20", "base=1", "reg A=1", "reg B=1", "arm move A", "size 800 300",
      "check=0", "fired", "placed A,B", "at B 20,50,40,20", "check=1", "size 400 300", "check=0",
      "at B 5,50,10,20"},
     {"base=1"}},

    // The same from inside the host query of a record still uncaptured.
    {"inside the query: a size check with a changed size",
     {"reg A=1", "obj A 10 10 20 20", "obj B 10 50 20 20", "base=1", "reg B=1", "arm query A", "size 800 300",
      "check=0", "fired", "placed A,B", "at A 20,10,40,20", "at B 20,50,40,20", "check=1", "size 400 300", "check=0",
      "at A 10,10,20,20"},
     {"size 600 300", "check=0"}},
    {"inside the query: a registration",
     {"reg A=1", "obj A 10 10 20 20", "obj B 10 50 20 20", "obj N 10 90 20 20", "base=1", "reg B=1", "arm query A",
      "size 800 300", "check=0", "fired", "placed A,B", "at A 20,10,40,20", "at N 10,90,20,20", "size 1200 300",
      "check=0", "placed A,N,B", "at N 30,90,60,20"},
     {"reg N=1"}},
    {"inside the query: a clear",
     {"reg A=1", "obj A 10 10 20 20", "obj B 10 50 20 20", "base=1", "reg B=1", "arm query A", "size 800 300",
      "check=0", "fired", "placed", "at A 10,10,20,20", "at B 10,50,20,20", "reg B=1", "size 600 300", "check=0",
      "placed B", "at B 15,50,30,20"},
     {"clear=1"}},
    {"inside the query: a clear and a registration that may reuse the freed record",
     {"reg A=1", "obj A 10 10 20 20", "obj B 10 50 20 20", "obj Y 10 90 20 20", "base=1", "reg B=1",
      "arm query A", "size 800 300", "check=0", "fired", "placed", "at Y 10,90,20,20", "size 600 300", "check=0",
      "placed Y", "at Y 15,90,30,20"},
     {"clear=1", "reg Y=1"}},
    {"inside the query: a reset message",
     {"reg A=1", "obj A 10 10 20 20", "obj B 10 50 20 20", "base=1", "reg B=1", "arm query A", "size 800 300",
      "check=0", "fired", "placed", "at B 10,50,20,20", "size 600 300", "check=1", "base=1", "reg B=1",
      "size 1200 300", "check=0", "placed B", "at B 20,50,40,20"},
     {"msg 3=0"}},
    {"inside the query: a new baseline",
     {"reg A=1", "obj A 10 10 20 20", "obj B 10 50 20 20", "base=1", "reg B=1", "arm query A", "size 800 300",
      "check=0", "fired", "placed A,B", "at A 20,10,40,20", "at B 20,50,40,20", "check=1", "size 400 300", "check=0",
      "at B 5,50,10,20"},
     {"base=1"}},

    // While RegisterObject's own lookup waits for the host.
    {"inside a registration's query: a clear",
     {"obj P 10 10 20 20", "obj XX 10 40 20 20", "obj Z 10 70 20 20", "reg P=1", "arm query XX", "reg XX=1", "fired",
      "reg Z=1", "base=1", "size 800 300", "check=0", "placed Z"},
     {"clear=1"}},
    {"inside a registration's query: a reset message",
     {"obj P 10 10 20 20", "obj XX 10 40 20 20", "obj Z 10 70 20 20", "base=1", "reg P=1", "arm query XX",
      "reg XX=1", "fired", "reg Z=1", "size 800 300", "check=1", "base=1", "size 400 300", "check=0", "placed Z"},
     {"msg 1=0"}},
    {"inside a registration's query: another registration",
     {"obj P 10 10 20 20", "obj XX 10 40 20 20", "obj YY 50 60 70 80", "obj Z 10 70 20 20", "reg P=1",
      "arm query XX", "reg XX=1", "fired", "reg Z=1", "base=1", "size 800 300", "check=0", "placed P,XX,YY,Z",
      "at XX 20,40,40,20", "at YY 100,60,140,80"},
     {"reg YY=1"}},
    {"inside a registration's query: a clear and another registration",
     {"obj P 10 10 20 20", "obj XX 10 40 20 20", "obj YY 50 60 70 80", "obj Z 10 70 20 20", "reg P=1",
      "arm query XX", "reg XX=1", "fired", "reg Z=1", "base=1", "size 800 300", "check=0", "placed YY,Z",
      "at YY 100,60,140,80", "at XX 10,40,20,20"},
     {"clear=1", "reg YY=1"}},
};

// A host that has unmasked the trapping exceptions or chosen a rounding
// mode keeps its control words through every call into the plug-in.
struct HostControl {
    const char* name;
    bool traps;
    int rounding;
};

const HostControl HostControls[] = {
    {"x87 and SSE traps unmasked", true, 0},
    {"traps unmasked, rounding toward zero", true, 3},
    {"rounding toward zero", false, 3},
    {"rounding down", false, 1},
    {"rounding up", false, 2},
};

class Passes : public HostFixture, public ::testing::WithParamInterface<Binding> {
protected:
    void RunAll(const HostControl* control);

private:
    void Run(const Scenario& scenario);
    void Step(const std::string& line);
    int CallPlugin(int (*call)(const std::string&), const std::string& argument);

    std::string where_;
    const Scenario* scenario_ = nullptr;
    const HostControl* control_ = nullptr;
    bool armed_ = false;
};

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator)) parts.push_back(part);
    return parts;
}

std::string Join(const std::vector<std::string>& parts)
{
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : ",") + part;
    return text;
}

int CountQueries(const std::string& name)
{
    int count = 0;
    for (const QueryRecord& query : Host.queries)
        if (query.code == 7 && query.request == name) ++count;
    return count;
}

void Passes::RunAll(const HostControl* control)
{
    control_ = control;
    for (const Scenario& scenario : Scenarios) {
        TearDown();
        ASSERT_NO_FATAL_FAILURE(StartHost(GetParam()));
        Run(scenario);
    }
}

void Passes::Run(const Scenario& scenario)
{
    scenario_ = &scenario;
    armed_ = false;
    for (size_t i = 0; i < scenario.steps.size(); ++i) {
        where_ = std::string(scenario.name) + ", step " + std::to_string(i + 1) + " '" + scenario.steps[i] + "'" +
                 (control_ ? std::string(", ") + control_->name : std::string());
        Step(scenario.steps[i]);
    }
    EXPECT_FALSE(armed_) << scenario.name << ": the nested steps never ran";
    for (const Placement& placement : Placements)
        if (!placement.name.empty())
            EXPECT_TRUE(placement.insertAfter == nullptr && placement.flags == (SWP_NOZORDER | SWP_NOACTIVATE))
                << scenario.name << ": SetWindowPos for " << placement.name << " with insert-after "
                << placement.insertAfter << " and flags " << placement.flags;
}

// Each call into the plug-in runs under the host's control words, which
// must come back unchanged (apart from the sticky inexact flag).
int Passes::CallPlugin(int (*call)(const std::string&), const std::string& argument)
{
    if (!control_) return call(argument);
    FpControl outer = ReadFpControl();
    FpControl host = HostFpControl(control_->traps, control_->rounding);
    WriteFpControl(host);
    int result = call(argument);
    FpControl after = ReadFpControl();
    unsigned short x87Status = ReadX87Status();
    WriteFpControl(outer);
    EXPECT_EQ(host.x87, after.x87) << where_ << ": x87 control word";
    EXPECT_EQ(host.mxcsr, after.mxcsr & ~0x20u) << where_ << ": MXCSR beyond the inexact flag";
    EXPECT_EQ(0, x87Status & (X87Invalid | X87ZeroDivide | X87Overflow)) << where_ << ": x87 exception flags";
    return result;
}

void Passes::Step(const std::string& line)
{
    std::string command = line;
    int expected = 0;
    bool hasResult = false;
    size_t equals = line.rfind('=');
    if (equals != std::string::npos) {
        command = line.substr(0, equals);
        expected = std::stoi(line.substr(equals + 1));
        hasResult = true;
    }
    std::istringstream words(command);
    std::string op, name;
    words >> op;
    int result = 0;
    if (op == "size") {
        int width, height;
        words >> width >> height;
        ResizeHost(width, height);
    } else if (op == "min") {
        MinimizeHost();
    } else if (op == "restore") {
        RestoreHost();
    } else if (op == "obj") {
        int x, y, width, height;
        std::string parent;
        words >> name >> x >> y >> width >> height >> parent;
        HWND parentWindow = parent.empty() ? nullptr : FindHostObject(parent);
        EXPECT_TRUE(AddHostObject(name, L"Static", x, y, width, height, parentWindow) != nullptr) << where_;
    } else if (op == "gone") {
        words >> name;
        HWND window =
            CreateWindowExW(0, L"Static", L"gone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        DestroyWindow(window);
        Host.objects.push_back(HostObject{name, window});
    } else if (op == "destroy") {
        words >> name;
        EXPECT_TRUE(DestroyWindow(FindHostObject(name))) << where_;
    } else if (op == "replace") {
        int x, y, width, height;
        words >> name >> x >> y >> width >> height;
        for (HostObject& object : Host.objects)
            if (object.name == name) {
                DestroyWindow(object.window);
                object.name += ".old";
            }
        AddHostObject(name, L"Static", x, y, width, height);
    } else if (op == "move") {
        int x, y, width, height;
        words >> name >> x >> y >> width >> height;
        SetWindowPos(FindHostObject(name), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        Placements.clear();
    } else if (op == "base") {
        result = CallPlugin([](const std::string&) { return SetOriginalSize(); }, "");
    } else if (op == "reg") {
        std::string mode;
        words >> name >> mode;
        result = CallPlugin([](const std::string& text) {
            std::vector<std::string> parts = Split(text, '|');
            return Register(parts[0], parts.size() > 1 ? parts[1] : "");
        }, name + "|" + mode);
    } else if (op == "clear") {
        result = CallPlugin([](const std::string&) { return ClearObjects(); }, "");
    } else if (op == "check") {
        result = CallPlugin([](const std::string&) { return SizeCheck(); }, "");
    } else if (op == "msg") {
        std::string code;
        words >> code;
        result = CallPlugin([](const std::string& text) { return SendHostMessage(std::stoi(text)); }, code);
    } else if (op == "placed") {
        std::string names;
        words >> names;
        EXPECT_EQ(names, Join(PlacedNames())) << where_;
        for (const Placement& placement : Placements)
            if (!placement.name.empty())
                EXPECT_TRUE(placement.insertAfter == nullptr && placement.flags == (SWP_NOZORDER | SWP_NOACTIVATE))
                    << where_ << ": SetWindowPos for " << placement.name << " with insert-after "
                    << placement.insertAfter << " and flags " << placement.flags;
        Placements.clear();
    } else if (op == "at") {
        std::string rect;
        words >> name >> rect;
        HWND window = FindHostObject(name);
        EXPECT_TRUE(window != nullptr) << where_;
        if (window) EXPECT_EQ(rect, RectText(window)) << where_;
    } else if (op == "call") {
        std::string rect, seen = "no call";
        words >> name >> rect;
        for (const Placement& placement : Placements)
            if (placement.name == name)
                seen = RectText(placement.x, placement.y, placement.width, placement.height);
        EXPECT_EQ(rect, seen) << where_;
    } else if (op == "queries") {
        words >> name;
        EXPECT_EQ(expected, CountQueries(name)) << where_;
        hasResult = false;
    } else if (op == "arm") {
        std::string trigger;
        words >> trigger >> name;
        armed_ = true;
        // Records released in the nested steps stay readable as poison.
        PoisonWindow = AddHostObject("poison", L"Static", 0, 0, 5, 5);
        auto runNested = [this]() {
            armed_ = false;
            std::string outer = where_;
            PoisonReleases = true;
            for (const char* nested : scenario_->nested) {
                where_ = outer + ", nested '" + nested + "'";
                Step(nested);
            }
            PoisonReleases = false;
            where_ = outer;
        };
        if (trigger == "move") {
            HWND target = FindHostObject(name);
            Host.onObjectMoved = [this, target, runNested](HWND object) {
                if (armed_ && object == target) runNested();
            };
        } else {
            Host.insideQuery = [this, name, runNested](int code, const std::string& request) {
                if (armed_ && code == 7 && request == name) runNested();
            };
        }
    } else if (op == "fired") {
        EXPECT_FALSE(armed_) << where_ << ": the nested steps did not run";
    } else {
        ADD_FAILURE() << where_ << ": unknown step";
    }
    if (hasResult) EXPECT_EQ(expected, result) << where_;
}

TEST_P(Passes, Scenarios)
{
    RunAll(nullptr);
}

TEST_P(Passes, ScenariosUnderHostFloatingPointControl)
{
    for (const HostControl& control : HostControls) RunAll(&control);
}

INSTANTIATE_TEST_SUITE_P(Bindings, Passes, ::testing::Values(Binding::StaticLibrary, Binding::BuiltDll),
                         [](const ::testing::TestParamInfo<Binding>& info) { return BindingName(info.param); });

}  // namespace
