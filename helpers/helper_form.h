// The settings helpers' one form: fields that open with the current values
// (yad; zenity's form where yad is missing, with the value in the label),
// answers checked field by field, and a refusal the user reads instead of
// input that silently goes nowhere.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct FormField {
    enum Kind { Number, Choice, Check };
    std::string label;
    Kind kind = Number;
    long value = 0;
    long min = 0, max = 0;  // Number
    std::vector<std::pair<long, std::string>> choices;  // Choice: value and its text
};

// Whether every field's value can be taken; the reason shown to the user
// goes into *refusal. The check runs after the form's own field checks.
using FormCheck = bool (*)(const std::vector<FormField>& fields, std::string* refusal);

// Reads one answer into the fields: cells separated by '|' (or, without any
// '|', by blanks, as a scripted answer may give them); an empty cell keeps
// the field's value. False with *refusal when a cell cannot be taken; the
// fields then hold every cell that could.
bool ReadFormAnswer(const std::string& answer, std::vector<FormField>* fields, std::string* refusal);
// Says why an answer was refused: on the error stream, and in a message
// window when there is a display.
void ShowFormRefusal(const std::string& title, const std::string& refusal);

// Asks until the user gives an answer that can be taken or cancels. With a
// display a refused answer is shown as a message and the form opens again
// with what the user gave; headless (the scripted answer) the refusal goes
// to the error stream and the form ends. True with the fields' new values.
bool AskForm(const std::string& title, const std::string& text, std::vector<FormField>* fields,
             FormCheck check = nullptr);
