// The pilot log viewer: shows a CSV file (its first line the column names)
// as a table. Fields are separated by ',' or ';', and may be quoted.
#include "helpers/CSVFileView/csv_fields.h"
#include "helpers/helper_exchange.h"
#include "platform/codepage.h"

#include <cstdio>

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 1;
    std::vector<std::string> lines;
    if (!ReadExchangeLines(argv[1], &lines, 20000) || lines.empty()) {
        std::fprintf(stderr, "CSVFileView: %s cannot be read\n", argv[1]);
        return 1;
    }
    std::vector<std::string> columns = SplitCsvFields(lines[0]);
    std::vector<std::string> args = {"--list", "--title=" + ToUtf8(argv[1]), "--width=900", "--height=500"};
    for (const std::string& column : columns)
        args.push_back("--column=" + ToUtf8(column));
    // The cells go on the viewer's input: a callsign such as "--display=:1"
    // is then shown as text, never taken as an option.
    std::vector<std::string> cells;
    for (size_t i = 1; i < lines.size(); i++) {
        if (lines[i].empty())
            continue;
        std::vector<std::string> fields = SplitCsvFields(lines[i]);
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
