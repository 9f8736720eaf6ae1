// The fields of one line of a CSV file as the pilot-log viewer reads them:
// separated by ',' or ';' outside quotes, a doubled quote inside quotes
// standing for one.
#pragma once

#include <string>
#include <vector>

inline std::vector<std::string> SplitCsvFields(const std::string& line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); i++) {
        char c = line[i];
        if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"')
                fields.back() += line[++i];
            else
                quoted = !quoted;
        } else if ((c == ',' || c == ';') && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}
