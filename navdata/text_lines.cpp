// Lines and code page 1252 texts.
#include "navdata/text_lines.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstring>

bool ReadTextLine(FILE* f, std::string* line)
{
    line->clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(f)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        line->push_back(static_cast<char>(c));
    }
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    return any;
}

void StripLineEnd(char* line)
{
    size_t length = std::strlen(line);
    if (length > 0 && line[length - 1] == '\n')
        line[--length] = '\0';
    if (length > 0 && line[length - 1] == '\r')
        line[--length] = '\0';
}

void UnderscoresToBlanks(char* text)
{
    for (; *text; ++text)
        if (*text == '_')
            *text = ' ';
}

void BlanksToUnderscores(char* text)
{
    for (; *text; ++text)
        if (*text == ' ' || *text == '\t')
            *text = '_';
}

void CopyText(char* out, size_t size, const char* text)
{
    if (size == 0)
        return;
    size_t n = text ? strnlen(text, size - 1) : 0;
    std::memcpy(out, text, n);
    out[n] = '\0';
}

bool FormatText(char* out, size_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(out, size, format, args);
    va_end(args);
    bool fits = n >= 0 && static_cast<size_t>(n) < size;
    if (!fits && size > 0)
        out[0] = '\0';
    return fits;
}

std::string_view TakeWord(std::string_view* rest)
{
    size_t start = rest->find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        *rest = {};
        return {};
    }
    size_t end = rest->find_first_of(" \t", start);
    if (end == std::string_view::npos)
        end = rest->size();
    std::string_view word = rest->substr(start, end - start);
    rest->remove_prefix(end);
    return word;
}

template <class T>
static bool ParseWhole(std::string_view word, T* out)
{
    if (!word.empty() && word.front() == '+')
        word.remove_prefix(1);
    auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), *out);
    return !word.empty() && error == std::errc() && end == word.data() + word.size();
}

bool ParseNumber(std::string_view word, double* out) { return ParseWhole(word, out) && std::isfinite(*out); }
bool ParseNumber(std::string_view word, int* out) { return ParseWhole(word, out); }
