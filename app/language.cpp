// Language texts: the loader of the language files, the six text tables, the
// language list and the checked formatter for texts that carry conversions.
#include "app/language.h"

#include "platform/log.h"
#include "navdata/text_lines.h"
#include "platform/files.h"
#include "platform/ini_sections.h"
#include "platform/profile.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <vector>

namespace {

constexpr int LineBufferSize = 1000;
constexpr int SectionCount = 6;
constexpr const char* SectionHeaders[SectionCount] = {"[Tooltip]", "[General]", "[Note]",
                                                      "[Warning]", "[Error]",   "[Edit]"};
constexpr const char* LanguagesFolder = "../Languages";

struct StoredTooltip {
    const char* text;
    uint32_t lineCount;
};

// One file's texts while it is being read, before it replaces the tables.
struct ParsedTexts {
    std::vector<std::string> texts[SectionCount];
    std::vector<uint32_t> tooltipLines;
};

// The tables are written by the GUI thread (display start, language command)
// and read by it and by the link threads that show a message. Every text ever
// loaded stays in TextPool, so a pointer handed out survives later loads;
// reloading a language finds its texts there again and adds nothing.
std::mutex TextLock;
std::unordered_set<std::string> TextPool;
std::vector<StoredTooltip> TooltipTable;
std::vector<const char*> TextTables[SectionCount];  // index 0 (Tooltip) unused
std::vector<const char*> LanguageCodes;
std::vector<const char*> LanguageNames;

const char* InternText(const std::string& text)
{
    return TextPool.insert(text).first->c_str();
}

bool ReadLine(char* line, FILE* file)
{
    return std::fgets(line, LineBufferSize, file) != nullptr;
}

// Reads the entries of one section into parsed->texts[section]. Stops at the
// next line holding both brackets and leaves that line in `line`, so the
// caller's header tests see it in the same pass; at the end of the file
// `line` is left empty.
void ReadLanguageSection(FILE* file, int section, char* line, ParsedTexts* parsed)
{
    while (ReadLine(line, file)) {
        if (std::strlen(line) < 3)
            continue;
        if (std::strchr(line, '[') && std::strchr(line, ']'))
            return;
        StripLineEnd(line);
        const int lines = ExpandLineBreaks(line);
        if (const char* equals = std::strchr(line, '=')) {
            parsed->texts[section].emplace_back(equals + 1);
            if (section == static_cast<int>(LanguageSection::Tooltip))
                parsed->tooltipLines.push_back(static_cast<uint32_t>(lines));
        }
        std::memset(line, 0, LineBufferSize);
    }
    line[0] = '\0';
}

void ParseLanguageFile(FILE* file, ParsedTexts* parsed)
{
    char line[LineBufferSize] = {};
    while (ReadLine(line, file)) {
        if (std::strlen(line) <= 2)
            continue;
        // Fixed order: a section is recognised only after those before it.
        for (int section = 0; section < SectionCount; ++section)
            if (std::strstr(line, SectionHeaders[section]))
                ReadLanguageSection(file, section, line, parsed);
    }
}

void InstallTexts(const ParsedTexts& parsed)
{
    std::lock_guard<std::mutex> lock(TextLock);
    TooltipTable.clear();
    const std::vector<std::string>& tips = parsed.texts[0];
    for (size_t i = 0; i < tips.size(); ++i)
        TooltipTable.push_back({InternText(tips[i]), parsed.tooltipLines[i]});
    for (int section = 1; section < SectionCount; ++section) {
        TextTables[section].clear();
        for (const std::string& text : parsed.texts[section])
            TextTables[section].push_back(InternText(text));
    }
}

// A code names a file in the Languages folder and nothing else.
bool IsValidLanguageCode(const char* code)
{
    if (!code || !*code || std::strlen(code) > 32)
        return false;
    return !std::strpbrk(code, "/\\:") && !std::strstr(code, "..");
}

bool EndsWithNoCase(const std::string& text, const char* suffix)
{
    const size_t n = std::strlen(suffix);
    return text.size() >= n && strncasecmp(text.c_str() + text.size() - n, suffix, n) == 0;
}

// The code of "language_<code>.ini": between the first "_" and the ".ini" after it.
bool LanguageCodeOfFile(const std::string& fileName, std::string* code)
{
    if (strncasecmp(fileName.c_str(), "language_", 9) != 0 || !EndsWithNoCase(fileName, ".ini"))
        return false;
    const size_t underscore = fileName.find('_');
    size_t dot = underscore + 1;
    while (dot < fileName.size() && strncasecmp(fileName.c_str() + dot, ".ini", 4) != 0)
        ++dot;
    *code = fileName.substr(underscore + 1, dot - underscore - 1);
    return !code->empty();
}

std::vector<std::string> ListLanguageFiles(const char* folder)
{
    std::vector<std::string> names;
    DIR* dir = opendir(folder);
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir)) {
        std::string code;
        if (LanguageCodeOfFile(entry->d_name, &code))
            names.emplace_back(entry->d_name);
    }
    closedir(dir);
    // The folder order of the file system is arbitrary; the menu should not be.
    std::sort(names.begin(), names.end());
    return names;
}

const char* TextAt(const std::vector<const char*>& table, int number)
{
    if (number < 0 || static_cast<size_t>(number) >= table.size())
        return "";
    return table[static_cast<size_t>(number)];
}

// Appends one key per argument a printf format consumes ("i" int, "li" long,
// "f" double, "s" string, ...); false for a conversion we never accept.
bool ParseConversions(const char* text, std::string* keys)
{
    for (const char* p = text; *p; ++p) {
        if (*p != '%')
            continue;
        if (*++p == '%')
            continue;
        while (*p && std::strchr("-+ #0'", *p))
            ++p;
        while (std::isdigit(static_cast<unsigned char>(*p)))
            ++p;
        if (*p == '$' || *p == '*')
            return false;
        if (*p == '.') {
            ++p;
            if (*p == '*')
                return false;
            while (std::isdigit(static_cast<unsigned char>(*p)))
                ++p;
        }
        std::string length;
        while (*p && std::strchr("hlLzjt", *p))
            length += *p++;
        if (length == "h" || length == "hh")
            length.clear();  // promoted to int like any small integer
        const char c = *p;
        if (!c)
            return false;
        if (std::strchr("diouxXc", c)) {
            if (c == 'c' && !length.empty())
                return false;
            keys->append(length + "i,");
        } else if (std::strchr("eEfFgGaA", c)) {
            if (length == "l")
                length.clear();  // "%lf" prints a double as "%f" does
            keys->append(length + "f,");
        } else if ((c == 's' || c == 'p') && length.empty()) {
            keys->push_back(c);
            keys->push_back(',');
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int ExpandLineBreaks(char* text)
{
    int lines = 1;
    if (!text)
        return lines;
    char* to = text;
    for (const char* from = text; *from; ++from) {
        if (from[0] == '\\' && from[1] == 'n') {
            *to++ = '\n';
            ++from;
            ++lines;
        } else {
            *to++ = *from;
        }
    }
    *to = '\0';
    return lines;
}

int LoadLanguage(const char* code)
{
    if (!IsValidLanguageCode(code))
        return 1;
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "%s/language_%s.ini", LanguagesFolder, code);
    FILE* file = OpenFile(path, "r");
    if (!file)
        return 1;
    ParsedTexts parsed;
    ParseLanguageFile(file, &parsed);
    std::fclose(file);
    InstallTexts(parsed);
    return 0;
}

int EnumerateLanguages()
{
    char folder[MAX_PATH];
    const bool found = ResolvePath(LanguagesFolder, folder, sizeof folder);
    std::vector<std::string> files;
    if (found)
        files = ListLanguageFiles(folder);
    std::vector<LanguageListEntry> entries;
    for (const std::string& fileName : files) {
        LanguageListEntry entry;
        LanguageCodeOfFile(fileName, &entry.code);
        const std::string path = std::string(folder) + "/" + fileName;
        char name[49] = {};
        GetPrivateProfileStringA(LanguageNoteSection, "Language1", "", name, sizeof name, path.c_str());
        entry.name = name;
        entries.push_back(entry);
    }
    std::lock_guard<std::mutex> lock(TextLock);
    LanguageCodes.clear();
    LanguageNames.clear();
    for (const LanguageListEntry& entry : entries) {
        LanguageCodes.push_back(InternText(entry.code));
        LanguageNames.push_back(InternText(entry.name));
    }
    return static_cast<int>(LanguageCodes.size());
}

void GetTooltipText(TooltipEntry* out, int number)
{
    if (!out)
        return;
    std::lock_guard<std::mutex> lock(TextLock);
    if (number < 0 || static_cast<size_t>(number) >= TooltipTable.size()) {
        out->text.clear();
        out->lineCount = 1;
        return;
    }
    out->text = TooltipTable[static_cast<size_t>(number)].text;
    out->lineCount = TooltipTable[static_cast<size_t>(number)].lineCount;
}

void CopyTooltipEntry(TooltipEntry* destination, const TooltipEntry* source)
{
    if (!destination || !source || destination == source)
        return;
    destination->text = source->text;
    destination->lineCount = source->lineCount;
}

const char* GetLanguageText(LanguageSection section, int number)
{
    std::lock_guard<std::mutex> lock(TextLock);
    if (section == LanguageSection::Tooltip) {
        if (number < 0 || static_cast<size_t>(number) >= TooltipTable.size())
            return "";
        return TooltipTable[static_cast<size_t>(number)].text;
    }
    return TextAt(TextTables[static_cast<int>(section)], number);
}

int GetLanguageTextCount(LanguageSection section)
{
    std::lock_guard<std::mutex> lock(TextLock);
    if (section == LanguageSection::Tooltip)
        return static_cast<int>(TooltipTable.size());
    return static_cast<int>(TextTables[static_cast<int>(section)].size());
}

const char* GetGeneralText(int number) { return GetLanguageText(LanguageSection::General, number); }
const char* GetNoteText(int number) { return GetLanguageText(LanguageSection::Note, number); }
const char* GetWarningText(int number) { return GetLanguageText(LanguageSection::Warning, number); }
const char* GetErrorText(int number) { return GetLanguageText(LanguageSection::Error, number); }
const char* GetEditText(int number) { return GetLanguageText(LanguageSection::Edit, number); }

int GetLanguageCount()
{
    std::lock_guard<std::mutex> lock(TextLock);
    return static_cast<int>(LanguageCodes.size());
}

const char* GetLanguageEntryCode(int index)
{
    std::lock_guard<std::mutex> lock(TextLock);
    return TextAt(LanguageCodes, index);
}

const char* GetLanguageEntryName(int index)
{
    std::lock_guard<std::mutex> lock(TextLock);
    return TextAt(LanguageNames, index);
}

void ClearLanguageTexts()
{
    std::lock_guard<std::mutex> lock(TextLock);
    TooltipTable.clear();
    for (std::vector<const char*>& table : TextTables)
        table.clear();
}

bool LanguageTextConversionsMatch(const char* text, const char* conversions)
{
    std::string have;
    std::string want;
    if (!text || !conversions || !ParseConversions(text, &have) || !ParseConversions(conversions, &want))
        return false;
    return have == want;
}

bool FormatLanguageText(char* out, size_t size, LanguageSection section, int number, const char* conversions, ...)
{
    if (!out || size == 0)
        return false;
    const char* text = GetLanguageText(section, number);
    if (!LanguageTextConversionsMatch(text, conversions)) {
        // An edited language file must not crash the program; show the text as it stands.
        WriteLogF("Language text %s %d does not take \"%s\"", SectionHeaders[static_cast<int>(section)], number,
                  conversions);
        std::snprintf(out, size, "%s", text);
        return false;
    }
    va_list args;
    va_start(args, conversions);
    std::vsnprintf(out, size, text, args);
    va_end(args);
    return true;
}
