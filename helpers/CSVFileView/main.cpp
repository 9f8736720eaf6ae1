// The pilot log viewer: shows a CSV file (its first line the column names)
// as a table. Fields are separated by ',' or ';', and may be quoted.
#include "helpers/helper_exchange.h"

#include <cstdio>

#include <string>
#include <vector>

namespace {

std::vector<std::string> SplitFields(const std::string& line)
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

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 1;
    std::vector<std::string> lines;
    if (!ReadExchangeLines(argv[1], &lines, 20000) || lines.empty()) {
        std::fprintf(stderr, "CSVFileView: %s cannot be read\n", argv[1]);
        return 1;
    }
    std::vector<std::string> columns = SplitFields(lines[0]);
    std::vector<std::string> args = {"--list", "--title=" + ToUtf8(argv[1]), "--width=900", "--height=500"};
    for (const std::string& column : columns)
        args.push_back("--column=" + ToUtf8(column));
    // The cells go on the viewer's input: a callsign such as "--display=:1"
    // is then shown as text, never taken as an option.
    std::vector<std::string> cells;
    for (size_t i = 1; i < lines.size(); i++) {
        if (lines[i].empty())
            continue;
        std::vector<std::string> fields = SplitFields(lines[i]);
        fields.resize(columns.size());
        for (const std::string& field : fields)
            cells.push_back(ToUtf8(field));
    }
    std::printf("%zu rows\n", lines.size() - 1);
    if (!CanAskUser())
        return 0;
    std::string answer;
    AskUser(args, &answer, cells);
    return 0;
}
