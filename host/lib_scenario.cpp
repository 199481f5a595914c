#include <stdlib.h>

#include "host_scenario.h"

const char DefaultScenarioName[] = "default.scn";

const char* DefaultScenarioText()
{
    return R"(# The default demo: a small form, registered after the baseline is taken,
# then resized in every direction and brought back.
window 640 400
object Title        static  16  12 608  32 "Customer record"
object Picture      static  16  56 192 192 "Picture"
object "Name label" static 224  56  88  24 "Name:"
object Name         edit   320  56 304  24 "Ada Lovelace"
object Notes        listbox 224 92 400 156 "First visit|Second visit|Follow-up call|Invoice sent"
object Status       static  16 264 608  72 "OK and Cancel keep their size; everything else scales."
object OK           button 420 352  96  32
object Cancel       button 528 352  96  32

action Vantrel_SetOriginalSize
action Vantrel_RegisterObject Title        SCALE
action Vantrel_RegisterObject Picture      SCALE
action Vantrel_RegisterObject "Name label" SCALE
action Vantrel_RegisterObject Name         SCALE
action Vantrel_RegisterObject Notes        SCALE
action Vantrel_RegisterObject Status       SCALE
action Vantrel_RegisterObject OK           MOVE
action Vantrel_RegisterObject Cancel       MOVE
snapshot baseline

size 960 600
snapshot enlarged
size 1200 400
snapshot wide
size 400 560
snapshot narrow
size 320 200
snapshot shrunk
minimize
restore
snapshot restored
size 640 400
snapshot back-to-baseline

edit Vantrel_RegisterObject " Name " move
)";
}

namespace {

struct StepSyntax {
    const char* word;
    StepKind kind;
    const char* usage;
};

const StepSyntax Syntax[] = {
    {"window", StepKind::Window, "WIDTH HEIGHT"},
    {"object", StepKind::Object, "NAME CLASS X Y WIDTH HEIGHT [TEXT]"},
    {"action", StepKind::Action, "ACTION [PARAMETER...]"},
    {"size", StepKind::Size, "WIDTH HEIGHT"},
    {"minimize", StepKind::Minimize, ""},
    {"restore", StepKind::Restore, ""},
    {"message", StepKind::Message, "CODE"},
    {"snapshot", StepKind::Snapshot, "NAME"},
    {"edit", StepKind::Edit, "ACTION [PARAMETER...]"},
};

struct ActionSyntax {
    const char* name;
    int id;
    size_t paramCount;
    const char* usage;
};

const ActionSyntax Actions[] = {
    {"Vantrel_SetOriginalSize", 1, 0, "no parameters"},
    {"Vantrel_RegisterObject", 2, 2, "NAME MODE"},
    {"Vantrel_ClearRegisteredObjects", 3, 0, "no parameters"},
};

const char* const ObjectClasses[] = {"static", "button", "edit", "listbox"};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string Trimmed(const std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// Whole numbers within what a window can be; anything else is a typing error.
bool ReadNumber(const std::string& word, int* value)
{
    size_t i = (word.size() > 1 && word[0] == '-') ? 1 : 0;
    if (i == word.size() || word.size() - i > 6) return false;
    for (size_t k = i; k < word.size(); ++k)
        if (word[k] < '0' || word[k] > '9') return false;
    *value = atoi(word.c_str());
    return true;
}

bool IsSnapshotName(const std::string& name)
{
    if (name.empty()) return false;
    for (char c : name) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!ok) return false;
    }
    return true;
}

// Everything before a '#' that starts a word outside quotes.
std::string WithoutComment(const std::string& line)
{
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (line[i] == '#' && !quoted && (i == 0 || IsBlank(line[i - 1]))) return line.substr(0, i);
    }
    return line;
}

struct LineParser {
    std::vector<std::string> words;
    ScenarioStep step;
    std::string problem;

    bool Fail(const std::string& what)
    {
        problem = what;
        return false;
    }

    bool Usage(const StepSyntax& syntax)
    {
        if (!*syntax.usage) return Fail(std::string("'") + syntax.word + "' takes no arguments");
        return Fail(std::string("'") + syntax.word + "' takes " + syntax.usage);
    }

    bool Number(size_t index, int* value)
    {
        if (ReadNumber(words[index], value)) return true;
        return Fail("'" + words[index] + "' is not a whole number");
    }

    bool Size(const StepSyntax& syntax)
    {
        if (words.size() != 3) return Usage(syntax);
        if (!Number(1, &step.width) || !Number(2, &step.height)) return false;
        if (step.width < 1 || step.height < 1) return Fail("WIDTH and HEIGHT must be at least 1");
        return true;
    }

    bool Object(const StepSyntax& syntax)
    {
        if (words.size() != 7 && words.size() != 8) return Usage(syntax);
        step.name = words[1];
        if (step.name.empty()) return Fail("an object needs a NAME");
        step.objectClass = words[2];
        bool known = false;
        for (const char* c : ObjectClasses) known = known || step.objectClass == c;
        if (!known) return Fail("unknown class '" + step.objectClass + "' (static, button, edit or listbox)");
        if (!Number(3, &step.x) || !Number(4, &step.y) || !Number(5, &step.width) || !Number(6, &step.height))
            return false;
        if (step.width < 1 || step.height < 1) return Fail("WIDTH and HEIGHT must be at least 1");
        step.text = words.size() == 8 ? words[7] : step.name;
        return true;
    }

    bool Action()
    {
        if (words.size() < 2) return Fail(std::string("'") + words[0] + "' takes ACTION [PARAMETER...]");
        step.name = words[1];
        for (const ActionSyntax& a : Actions) {
            if (step.name != a.name) continue;
            step.actionId = a.id;
            step.params.assign(words.begin() + 2, words.end());
            if (step.params.size() != a.paramCount) return Fail("'" + step.name + "' takes " + a.usage);
            return true;
        }
        return Fail("unknown action '" + step.name + "'");
    }

    bool Parse()
    {
        for (const StepSyntax& syntax : Syntax) {
            if (words[0] != syntax.word) continue;
            step.kind = syntax.kind;
            switch (syntax.kind) {
            case StepKind::Window:
            case StepKind::Size: return Size(syntax);
            case StepKind::Object: return Object(syntax);
            case StepKind::Action:
            case StepKind::Edit: return Action();
            case StepKind::Minimize:
            case StepKind::Restore: return words.size() == 1 ? true : Usage(syntax);
            case StepKind::Message:
                if (words.size() != 2) return Usage(syntax);
                return Number(1, &step.code);
            case StepKind::Snapshot:
                if (words.size() != 2) return Usage(syntax);
                step.name = words[1];
                if (!IsSnapshotName(step.name))
                    return Fail("snapshot name '" + step.name + "' may hold only letters, digits, '-' and '_'");
                return true;
            }
        }
        return Fail("unknown step '" + words[0] + "'");
    }
};

}  // namespace

int ActionIdOf(const std::string& actionName)
{
    for (const ActionSyntax& a : Actions)
        if (actionName == a.name) return a.id;
    return 0;
}

bool SplitScenarioWords(const std::string& line, std::vector<std::string>* words, std::string* problem)
{
    words->clear();
    const std::string text = WithoutComment(line);
    size_t i = 0;
    while (true) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        if (i == text.size()) return true;
        std::string word;
        if (text[i] == '"') {
            ++i;
            while (true) {
                if (i == text.size()) {
                    *problem = "a quote is not closed";
                    return false;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        word += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                word += text[i++];
            }
            if (i < text.size() && !IsBlank(text[i])) {
                *problem = "a closing quote must end its word";
                return false;
            }
        } else {
            while (i < text.size() && !IsBlank(text[i])) {
                if (text[i] == '"') {
                    *problem = "a quote inside a word (quote the whole word)";
                    return false;
                }
                word += text[i++];
            }
        }
        words->push_back(word);
    }
}

bool ParseScenario(const std::string& text, const std::string& fileName, std::vector<ScenarioStep>* steps,
                   std::string* error)
{
    steps->clear();
    std::vector<ScenarioStep> parsed;
    int windowLine = 0;
    size_t start = 0;
    for (int lineNumber = 1; start <= text.size(); ++lineNumber) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;

        LineParser parser;
        parser.step = ScenarioStep();
        parser.step.line = lineNumber;
        bool ok = SplitScenarioWords(line, &parser.words, &parser.problem);
        if (ok && parser.words.empty()) continue;
        if (ok) ok = parser.Parse();
        if (ok && parser.step.kind == StepKind::Window && windowLine)
            ok = parser.Fail("the main window was already made on line " + std::to_string(windowLine));
        if (ok && parser.step.kind != StepKind::Window && !windowLine)
            ok = parser.Fail("'" + parser.words[0] + "' needs a 'window' step before it");
        if (!ok) {
            *error = fileName + ":" + std::to_string(lineNumber) + ": " + parser.problem;
            return false;
        }
        if (parser.step.kind == StepKind::Window) windowLine = lineNumber;
        parser.step.source = Trimmed(WithoutComment(line));
        parsed.push_back(parser.step);
    }
    if (parsed.empty()) {
        *error = fileName + ": no steps (a scenario starts with 'window WIDTH HEIGHT')";
        return false;
    }
    *steps = parsed;
    return true;
}
