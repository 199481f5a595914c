// The scenario parser: every step form it accepts, and every mistake it
// reports with the file, the line and what is wrong.
#include <gtest/gtest.h>

#include "host_scenario.h"

namespace {

struct GoodLine {
    const char* line;
    StepKind kind;
    const char* name;
    std::vector<std::string> params;
    int x, y, width, height, code;
    const char* objectClass;
    const char* text;
};

// Each line is parsed after "window 10 10" except the window step itself.
const GoodLine GoodLines[] = {
    {"window 640 400", StepKind::Window, "", {}, 0, 0, 640, 400, 0, "", ""},
    {"object Title static 16 12 608 32", StepKind::Object, "Title", {}, 16, 12, 608, 32, 0, "static", "Title"},
    {"object \"Picture panel\" static 1 2 3 4", StepKind::Object, "Picture panel", {}, 1, 2, 3, 4, 0, "static",
     "Picture panel"},
    {"object Name edit -5 -6 30 20 \"Ada \"\"the first\"\"\"", StepKind::Object, "Name", {}, -5, -6, 30, 20, 0,
     "edit", "Ada \"the first\""},
    {"object Notes listbox 1 2 3 4 \"a|b\"", StepKind::Object, "Notes", {}, 1, 2, 3, 4, 0, "listbox", "a|b"},
    {"object A#1 button 1 2 3 4", StepKind::Object, "A#1", {}, 1, 2, 3, 4, 0, "button", "A#1"},
    {"\tobject\tOK\tbutton\t1\t2\t3\t4\t# tabs separate words too", StepKind::Object, "OK", {}, 1, 2, 3, 4, 0,
     "button", "OK"},
    {"action Vantrel_SetOriginalSize", StepKind::Action, "Vantrel_SetOriginalSize", {}, 0, 0, 0, 0, 0, "", ""},
    {"action Vantrel_RegisterObject  Title  scale   # comment", StepKind::Action, "Vantrel_RegisterObject",
     {"Title", "scale"}, 0, 0, 0, 0, 0, "", ""},
    {"action Vantrel_RegisterObject \" Name label \" MOVE", StepKind::Action, "Vantrel_RegisterObject",
     {" Name label ", "MOVE"}, 0, 0, 0, 0, 0, "", ""},
    {"action Vantrel_RegisterObject \"\" \"\"", StepKind::Action, "Vantrel_RegisterObject", {"", ""}, 0, 0, 0, 0, 0,
     "", ""},
    {"action Vantrel_RegisterObject \"#1\" MOVE", StepKind::Action, "Vantrel_RegisterObject", {"#1", "MOVE"}, 0, 0,
     0, 0, 0, "", ""},
    {"action Vantrel_ClearRegisteredObjects", StepKind::Action, "Vantrel_ClearRegisteredObjects", {}, 0, 0, 0, 0, 0,
     "", ""},
    {"size 800 600", StepKind::Size, "", {}, 0, 0, 800, 600, 0, "", ""},
    {"minimize", StepKind::Minimize, "", {}, 0, 0, 0, 0, 0, "", ""},
    {"restore   ", StepKind::Restore, "", {}, 0, 0, 0, 0, 0, "", ""},
    {"message 5", StepKind::Message, "", {}, 0, 0, 0, 0, 5, "", ""},
    {"message -1", StepKind::Message, "", {}, 0, 0, 0, 0, -1, "", ""},
    {"snapshot 03-enlarged_a", StepKind::Snapshot, "03-enlarged_a", {}, 0, 0, 0, 0, 0, "", ""},
    {"edit Vantrel_RegisterObject \" Name \" move", StepKind::Edit, "Vantrel_RegisterObject", {" Name ", "move"}, 0,
     0, 0, 0, 0, "", ""},
};

TEST(ScenarioParser, ReadsEveryStepForm)
{
    for (const GoodLine& c : GoodLines) {
        bool isWindow = c.kind == StepKind::Window;
        std::string text = isWindow ? std::string(c.line) : std::string("window 10 10\n") + c.line;
        std::vector<ScenarioStep> steps;
        std::string error;
        ASSERT_TRUE(ParseScenario(text, "t.scn", &steps, &error)) << c.line << ": " << error;
        ASSERT_EQ(isWindow ? 1u : 2u, steps.size()) << c.line;
        const ScenarioStep& s = steps.back();
        EXPECT_EQ(static_cast<int>(c.kind), static_cast<int>(s.kind)) << c.line;
        EXPECT_EQ(isWindow ? 1 : 2, s.line) << c.line;
        EXPECT_EQ(c.name, s.name) << c.line;
        EXPECT_EQ(c.params, s.params) << c.line;
        EXPECT_EQ(c.x, s.x) << c.line;
        EXPECT_EQ(c.y, s.y) << c.line;
        EXPECT_EQ(c.width, s.width) << c.line;
        EXPECT_EQ(c.height, s.height) << c.line;
        EXPECT_EQ(c.code, s.code) << c.line;
        EXPECT_EQ(c.objectClass, s.objectClass) << c.line;
        EXPECT_EQ(c.text, s.text) << c.line;
        if (s.kind == StepKind::Action || s.kind == StepKind::Edit)
            EXPECT_EQ(ActionIdOf(c.name), s.actionId) << c.line;
    }
}

TEST(ScenarioParser, ActionIdsAreThePluginsIds)
{
    EXPECT_EQ(1, ActionIdOf("Vantrel_SetOriginalSize"));
    EXPECT_EQ(2, ActionIdOf("Vantrel_RegisterObject"));
    EXPECT_EQ(3, ActionIdOf("Vantrel_ClearRegisteredObjects"));
    EXPECT_EQ(0, ActionIdOf("vantrel_registerobject"));
}

TEST(ScenarioParser, SkipsCommentsAndBlankLinesButCountsThem)
{
    const std::string text = "# a form\r\n\r\nwindow 100 80 # main\r\n   \r\n\tsize 200 160\r\n# end";
    std::vector<ScenarioStep> steps;
    std::string error;
    ASSERT_TRUE(ParseScenario(text, "t.scn", &steps, &error)) << error;
    ASSERT_EQ(2u, steps.size());
    EXPECT_EQ(3, steps[0].line);
    EXPECT_EQ("window 100 80", steps[0].source);
    EXPECT_EQ(5, steps[1].line);
    EXPECT_EQ("size 200 160", steps[1].source);
    EXPECT_EQ(200, steps[1].width);
}

struct BadText {
    const char* text;
    const char* error;
};

const BadText BadTexts[] = {
    {"window 640 400\nregster 5", "demo.scn:2: unknown step 'regster'"},
    {"# start\n\nwindow 1 1\n\nWindow 2 2", "demo.scn:5: unknown step 'Window'"},
    {"window 640", "demo.scn:1: 'window' takes WIDTH HEIGHT"},
    {"window 640 400 1", "demo.scn:1: 'window' takes WIDTH HEIGHT"},
    {"window 0 400", "demo.scn:1: WIDTH and HEIGHT must be at least 1"},
    {"window 640 4OO", "demo.scn:1: '4OO' is not a whole number"},
    {"window 1234567 10", "demo.scn:1: '1234567' is not a whole number"},
    {"window 1 1\nsize 10 -", "demo.scn:2: '-' is not a whole number"},
    {"size 800 600", "demo.scn:1: 'size' needs a 'window' step before it"},
    {"\nobject A static 1 2 3 4\nwindow 5 5", "demo.scn:2: 'object' needs a 'window' step before it"},
    {"window 1 1\nwindow 2 2", "demo.scn:2: the main window was already made on line 1"},
    {"window 9 9\nobject A combo 1 2 3 4", "demo.scn:2: unknown class 'combo' (static, button, edit or listbox)"},
    {"window 9 9\nobject A static 1 2 3", "demo.scn:2: 'object' takes NAME CLASS X Y WIDTH HEIGHT [TEXT]"},
    {"window 9 9\nobject A static 1 2 3 4 text more", "demo.scn:2: 'object' takes NAME CLASS X Y WIDTH HEIGHT [TEXT]"},
    {"window 9 9\nobject \"\" static 1 2 3 4", "demo.scn:2: an object needs a NAME"},
    {"window 9 9\nobject A static 1 2 0 4", "demo.scn:2: WIDTH and HEIGHT must be at least 1"},
    {"window 9 9\nobject A static 1 y 3 4", "demo.scn:2: 'y' is not a whole number"},
    {"window 9 9\naction Vantrel_Foo", "demo.scn:2: unknown action 'Vantrel_Foo'"},
    {"window 9 9\naction", "demo.scn:2: 'action' takes ACTION [PARAMETER...]"},
    {"window 9 9\nedit", "demo.scn:2: 'edit' takes ACTION [PARAMETER...]"},
    {"window 9 9\naction Vantrel_RegisterObject Title", "demo.scn:2: 'Vantrel_RegisterObject' takes NAME MODE"},
    {"window 9 9\naction Vantrel_RegisterObject A B C", "demo.scn:2: 'Vantrel_RegisterObject' takes NAME MODE"},
    {"window 9 9\naction Vantrel_SetOriginalSize now", "demo.scn:2: 'Vantrel_SetOriginalSize' takes no parameters"},
    {"window 9 9\nedit Vantrel_ClearRegisteredObjects x",
     "demo.scn:2: 'Vantrel_ClearRegisteredObjects' takes no parameters"},
    {"window 9 9\nminimize now", "demo.scn:2: 'minimize' takes no arguments"},
    {"window 9 9\nmessage", "demo.scn:2: 'message' takes CODE"},
    {"window 9 9\nmessage five", "demo.scn:2: 'five' is not a whole number"},
    {"window 9 9\nsnapshot", "demo.scn:2: 'snapshot' takes NAME"},
    {"window 9 9\nsnapshot a/b", "demo.scn:2: snapshot name 'a/b' may hold only letters, digits, '-' and '_'"},
    {"window 9 9\nsnapshot \"two words\"",
     "demo.scn:2: snapshot name 'two words' may hold only letters, digits, '-' and '_'"},
    {"window 9 9\nobject \"Name label static 1 2 3 4", "demo.scn:2: a quote is not closed"},
    {"window 9 9\nobject \"A\"B static 1 2 3 4", "demo.scn:2: a closing quote must end its word"},
    {"window 9 9\nobject A\"B\" static 1 2 3 4", "demo.scn:2: a quote inside a word (quote the whole word)"},
    {"", "demo.scn: no steps (a scenario starts with 'window WIDTH HEIGHT')"},
    {"# only a comment\n\n", "demo.scn: no steps (a scenario starts with 'window WIDTH HEIGHT')"},
};

TEST(ScenarioParser, ReportsFileLineAndWhatIsWrong)
{
    for (const BadText& c : BadTexts) {
        std::vector<ScenarioStep> steps;
        std::string error;
        EXPECT_FALSE(ParseScenario(c.text, "demo.scn", &steps, &error)) << c.text;
        EXPECT_EQ(c.error, error) << c.text;
        EXPECT_TRUE(steps.empty()) << c.text;
    }
}

TEST(ScenarioParser, DefaultScenarioRegistersItsFormAfterTheBaseline)
{
    std::vector<ScenarioStep> steps;
    std::string error;
    ASSERT_TRUE(ParseScenario(DefaultScenarioText(), DefaultScenarioName, &steps, &error)) << error;
    int objects = 0, moves = 0, baselineAt = -1, firstRegisterAt = -1, snapshots = 0;
    bool minimized = false, restored = false;
    for (size_t i = 0; i < steps.size(); ++i) {
        const ScenarioStep& s = steps[i];
        if (s.kind == StepKind::Object) ++objects;
        if (s.kind == StepKind::Snapshot) ++snapshots;
        if (s.kind == StepKind::Minimize) minimized = true;
        if (s.kind == StepKind::Restore) restored = true;
        if (s.kind == StepKind::Action && s.actionId == 1 && baselineAt < 0) baselineAt = static_cast<int>(i);
        if (s.kind == StepKind::Action && s.actionId == 2) {
            if (firstRegisterAt < 0) firstRegisterAt = static_cast<int>(i);
            if (s.params[1] == "MOVE") ++moves;
        }
    }
    EXPECT_EQ(8, objects);
    EXPECT_EQ(2, moves);
    EXPECT_LT(baselineAt, firstRegisterAt);
    EXPECT_GE(baselineAt, 0);
    EXPECT_EQ(7, snapshots);
    EXPECT_TRUE(minimized && restored);
}

}  // namespace
