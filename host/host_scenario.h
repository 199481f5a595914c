// Scenarios: a text file of host steps, one a line, that the reference host
// replays against the plug-in. Parsing is pure: text in, steps or one error out.
#pragma once
#include <string>
#include <vector>

enum class StepKind {
    Window,    // window WIDTH HEIGHT
    Object,    // object NAME CLASS X Y WIDTH HEIGHT [TEXT]
    Action,    // action ACTION [PARAMETER...]
    Size,      // size WIDTH HEIGHT
    Minimize,  // minimize
    Restore,   // restore
    Message,   // message CODE
    Snapshot,  // snapshot NAME
    Edit,      // edit ACTION [PARAMETER...]
};

struct ScenarioStep {
    StepKind kind = StepKind::Window;
    int line = 0;
    std::string source;  // the line as written, comment and outer blanks removed
    std::string name;    // object, snapshot or action name
    std::string objectClass;  // "static", "button", "edit" or "listbox"
    std::string text;         // an object's caption; list box items separated by '|'
    int actionId = 0;
    std::vector<std::string> params;
    int x = 0, y = 0, width = 0, height = 0;  // an object's rectangle; width and height for window and size
    int code = 0;             // message code
};

// Words are separated by blanks. A word in double quotes may hold blanks, and
// two double quotes inside it stand for one; "" is the empty word. A '#' that
// starts a word outside quotes starts a comment.
bool SplitScenarioWords(const std::string& line, std::vector<std::string>* words, std::string* problem);

// On failure `error` reads "FILE:LINE: what is wrong" and `steps` is left empty.
bool ParseScenario(const std::string& text, const std::string& fileName, std::vector<ScenarioStep>* steps,
                   std::string* error);

// The action ids that the plug-in registers under these names; 0 for others.
int ActionIdOf(const std::string& actionName);

// The scenario that `demo` runs when none is given.
const char* DefaultScenarioText();
extern const char DefaultScenarioName[];
