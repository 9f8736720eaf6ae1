// The exchange files of the helper programs and their code page texts.
#include "helpers/helper_exchange.h"

#include "platform/codepage.h"
#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

bool ReadExchangeLines(const std::string& path, std::vector<std::string>* lines, size_t limit)
{
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f)
        return false;
    lines->clear();
    std::string line;
    int c;
    while (lines->size() < limit && (c = std::fgetc(f)) != EOF) {
        if (c == '\n') {
            lines->push_back(line);
            line.clear();
        } else if (c != '\r' && line.size() < 4096) {
            line += static_cast<char>(c);
        }
    }
    if (!line.empty() && lines->size() < limit)
        lines->push_back(line);
    std::fclose(f);
    return true;
}

std::vector<long> LineNumbers(const std::string& line, size_t max)
{
    std::vector<long> numbers;
    const char* p = line.c_str();
    while (numbers.size() < max) {
        char* end = nullptr;
        errno = 0;
        long value = std::strtol(p, &end, 10);
        if (end == p || errno == ERANGE || (*end && *end != ' ' && *end != '\t' && *end != '|'))
            break;
        numbers.push_back(value);
        p = *end == '|' ? end + 1 : end;
    }
    return numbers;
}

bool ReadExchangeNumbers(const std::string& path, size_t count, std::vector<long>* numbers)
{
    std::vector<std::string> lines;
    if (!ReadExchangeLines(path, &lines) || lines.size() < 2)
        return false;
    *numbers = LineNumbers(lines[1], count);
    return numbers->size() >= count;
}

bool WriteReply(const std::string& path, const std::string& text)
{
    return ReplaceFileContents(path.c_str(), text.data(), text.size());
}
