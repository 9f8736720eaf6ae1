// Language texts: the six text tables of the loaded language file
// ("../Languages/language_<code>.ini") and the list of language files present.
// Texts are code page 1252 bytes, numbered by their position in their section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct TooltipEntry {
    std::string text;
    uint32_t lineCount = 1;
};

struct LanguageListEntry {
    std::string code;
    std::string name;
};

// The sections in the order the loader recognises them in a file.
enum class LanguageSection { Tooltip, General, Note, Warning, Error, Edit };

// 0 when loaded; 1 when the file cannot be opened (the old texts stay).
int LoadLanguage(const char* code);
// Rebuilds the language list from the files in "../Languages"; returns its size.
int EnumerateLanguages();

void GetTooltipText(TooltipEntry* out, int number);
void CopyTooltipEntry(TooltipEntry* destination, const TooltipEntry* source);

// Text n of a section, "" when n is out of range. The pointer stays valid for
// the whole run (also across later loads), so any thread may keep it.
const char* GetGeneralText(int number);
const char* GetNoteText(int number);
const char* GetWarningText(int number);
const char* GetErrorText(int number);
const char* GetEditText(int number);
const char* GetLanguageText(LanguageSection section, int number);
int GetLanguageTextCount(LanguageSection section);

int GetLanguageCount();
const char* GetLanguageEntryCode(int index);
const char* GetLanguageEntryName(int index);

void ClearLanguageTexts();
// Turns each backslash-n pair into a line feed in place; returns the number of lines.
int ExpandLineBreaks(char* text);

// A language text is user-editable data, so it is never handed to printf
// unchecked. `conversions` lists what the caller passes ("%d %d", "%s", "" for
// nothing) and is checked by the compiler against the arguments; the text is
// checked at run time to consume exactly the same argument types in the same
// order. Returns true when out holds the formatted text; on a mismatch out
// holds the raw text (shown, never interpreted) and the result is false.
bool FormatLanguageText(char* out, size_t size, LanguageSection section, int number, const char* conversions, ...)
    __attribute__((format(printf, 5, 6)));
// The same check for any text: true when text consumes the same argument
// types as conversions ("%%" is no conversion; "*" widths, "%n" and
// positional arguments never match).
bool LanguageTextConversionsMatch(const char* text, const char* conversions);
