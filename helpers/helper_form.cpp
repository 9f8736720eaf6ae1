// The settings form of the helper programs: yad shows the current values,
// zenity's form is the fallback, and a refused answer is said, not dropped.
#include "helpers/helper_form.h"

#include "helpers/helper_exchange.h"
#include "platform/codepage.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

std::string Trim(const std::string& text)
{
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos)
        return "";
    return text.substr(start, text.find_last_not_of(" \t") - start + 1);
}

std::vector<std::string> SplitCells(const std::string& answer)
{
    std::vector<std::string> cells;
    if (answer.find('|') == std::string::npos) {
        std::istringstream words(answer);
        for (std::string word; words >> word;)
            cells.push_back(word);
        return cells;
    }
    size_t start = 0;
    for (size_t end; (end = answer.find('|', start)) != std::string::npos; start = end + 1)
        cells.push_back(Trim(answer.substr(start, end - start)));
    cells.push_back(Trim(answer.substr(start)));
    return cells;
}

// The whole cell, to its last byte: a NUL inside it ends no number early.
bool WholeNumber(const std::string& text, long* value)
{
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || errno == ERANGE || end != text.c_str() + text.size())
        return false;
    *value = v;
    return true;
}

// A cell as the refusal quotes it: bytes that cannot be shown become '?'.
std::string Shown(const std::string& cell)
{
    std::string shown = cell;
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return shown;
}

bool ReadCell(const std::string& cell, FormField* field, std::string* refusal)
{
    long number = 0;
    switch (field->kind) {
    case FormField::Check:
        if (cell == "TRUE" || cell == "1" || cell == "on")
            field->value = 1;
        else if (cell == "FALSE" || cell == "0" || cell == "off")
            field->value = 0;
        else
            break;
        return true;
    case FormField::Choice:
        for (const auto& [value, text] : field->choices)
            if (cell == text || (WholeNumber(cell, &number) && number == value)) {
                field->value = value;
                return true;
            }
        break;
    case FormField::Number:
        if (WholeNumber(cell, &number) && number >= field->min && number <= field->max) {
            field->value = number;
            return true;
        }
        *refusal = field->label + ": \"" + Shown(cell) + "\" is not a whole number from " + std::to_string(field->min) +
                   " to " + std::to_string(field->max) + ".";
        return false;
    }
    *refusal = field->label + ": \"" + Shown(cell) + "\" is not one of the choices.";
    return false;
}

const std::string* ChoiceText(const FormField& field)
{
    for (const auto& choice : field.choices)
        if (choice.first == field.value)
            return &choice.second;
    return field.choices.empty() ? nullptr : &field.choices.front().second;
}

// yad's form: every field opens with its value.
std::vector<std::string> YadArguments(const std::string& title, const std::string& text,
                                      const std::vector<FormField>& fields)
{
    std::vector<std::string> args = {"--form", "--title=" + ToUtf8(title), "--text=" + ToUtf8(text), "--separator=|",
                                     "--center"};
    std::vector<std::string> values;
    for (const FormField& field : fields) {
        std::string label = ToUtf8(field.label);
        if (field.kind == FormField::Number) {
            args.push_back("--field=" + label + ":NUM");
            values.push_back(std::to_string(field.value) + "!" + std::to_string(field.min) + ".." +
                             std::to_string(field.max) + "!1");
        } else if (field.kind == FormField::Check) {
            args.push_back("--field=" + label + ":CHK");
            values.push_back(field.value ? "TRUE" : "FALSE");
        } else {
            args.push_back("--field=" + label + ":CB");
            const std::string* shown = ChoiceText(field);
            std::string list;
            for (const auto& choice : field.choices)
                list += (list.empty() ? "" : "!") + std::string(&choice.second == shown ? "^" : "") +
                        ToUtf8(choice.second);
            values.push_back(list);
        }
    }
    // The values after "--" are never read as options.
    args.push_back("--");
    args.insert(args.end(), values.begin(), values.end());
    return args;
}

// zenity's form cannot fill a field: the value stands in the label, and a
// field left empty keeps it.
std::vector<std::string> ZenityArguments(const std::string& title, const std::string& text,
                                         const std::vector<FormField>& fields)
{
    std::vector<std::string> args = {"--forms", "--title=" + ToUtf8(title), "--text=" + ToUtf8(text),
                                     "--separator=|"};
    for (const FormField& field : fields) {
        std::string label = ToUtf8(field.label);
        if (field.kind == FormField::Number) {
            args.push_back("--add-entry=" + label + " (now " + std::to_string(field.value) + ")");
            continue;
        }
        std::string list;
        if (field.kind == FormField::Check) {
            list = field.value ? "on|off" : "off|on";
        } else {
            const std::string* shown = ChoiceText(field);
            list = shown ? ToUtf8(*shown) : "";
            for (const auto& choice : field.choices)
                if (&choice.second != shown)
                    list += "|" + ToUtf8(choice.second);
        }
        args.push_back("--add-combo=" + label);
        args.push_back("--combo-values=" + list);
    }
    return args;
}

// One showing of the form: Answered, Cancelled, or NotRun for the
// scripted answer.
AskResult ShowForm(const std::string& title, const std::string& text, const std::vector<FormField>& fields,
                   std::string* answer)
{
    AskResult result = RunDialogTool(DialogTool::Yad, YadArguments(title, text, fields), answer);
    if (result == AskResult::NotRun)
        result = RunDialogTool(DialogTool::Zenity, ZenityArguments(title, text, fields), answer);
    return result;
}

}  // namespace

void ShowFormRefusal(const std::string& title, const std::string& refusal)
{
    std::fprintf(stderr, "%s: %s\n", title.c_str(), refusal.c_str());
    std::string ignored;
    if (CanAskUser())
        RunDialogTool(DialogTool::Zenity,
                      {"--error", "--no-markup", "--title=" + ToUtf8(title), "--text=" + ToUtf8(refusal)}, &ignored);
}

bool ReadFormAnswer(const std::string& answer, std::vector<FormField>* fields, std::string* refusal)
{
    std::vector<std::string> cells = SplitCells(answer);
    for (size_t i = 0; i < fields->size() && i < cells.size(); i++)
        if (!cells[i].empty() && !ReadCell(cells[i], &(*fields)[i], refusal))
            return false;
    return true;
}

bool AskForm(const std::string& title, const std::string& text, std::vector<FormField>* fields, FormCheck check)
{
    std::vector<FormField> shown = *fields;
    for (;;) {
        std::string answer;
        AskResult result = ShowForm(title, text, shown, &answer);
        bool scripted = result == AskResult::NotRun;
        if (scripted) {
            const char* given = getenv("TVL_DIALOG_ANSWER");
            if (!given || !*given)
                return false;
            answer = given;
        } else if (result == AskResult::Cancelled) {
            return false;
        }
        std::vector<FormField> entered = shown;
        std::string refusal;
        if (ReadFormAnswer(answer, &entered, &refusal) && (!check || check(entered, &refusal))) {
            *fields = entered;
            return true;
        }
        ShowFormRefusal(title, refusal);
        if (scripted)
            return false;
        shown = entered;
    }
}
