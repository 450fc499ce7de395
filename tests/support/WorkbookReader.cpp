#include "tests/support/WorkbookReader.h"

#include <sys/wait.h>

#include <cstdio>
#include <sstream>
#include <vector>

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t')) {
        fields.push_back(field);
    }
    return fields;
}

}  // namespace

WorkbookText DumpWorkbook(const std::string& kind, const std::string& path) {
    WorkbookText dump;
    // The distribution's python3, which has the reader modules.
    const std::string command = "/usr/bin/python3 '" SW_SOURCE_DIR "/tests/support/dump_workbook.py' " +
                                kind + " '" + path + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        dump.text = "cannot run the reader";
        return dump;
    }
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        dump.text.append(buffer, n);
    }
    const int status = pclose(pipe);
    dump.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return dump;
}

WorkbookDump ReadWorkbook(const std::string& path) {
    WorkbookDump dump;
    const WorkbookText read = DumpWorkbook("cells", path);
    if (read.status != 0) {
        dump.error = read.text;
        return dump;
    }
    const std::string& output = read.text;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto f = SplitTabs(line);
        if (f.empty()) {
            continue;
        }
        if (f[0] == "sheets" && f.size() == 2) {
            dump.sheets = std::stoi(f[1]);
        } else if (f[0] == "dims" && f.size() == 3) {
            dump.rows = std::stoi(f[1]);
            dump.columns = std::stoi(f[2]);
        } else if (f[0] == "active" && f.size() == 3) {
            dump.active = std::make_pair(std::stoi(f[1]), std::stoi(f[2]));
        } else if (f[0] == "width" && f.size() == 3) {
            dump.widths[std::stoi(f[1])] = std::stoi(f[2]);
        } else if (f[0] == "cell" && f.size() >= 10) {
            WorkbookCell cell;
            cell.type = f[3];
            cell.font = f[4];
            cell.size = std::stoi(f[5]);
            cell.bold = std::stoi(f[6]);
            cell.italic = std::stoi(f[7]);
            cell.underline = std::stoi(f[8]);
            cell.format = f[9];
            cell.value = f.size() > 10 ? f[10] : "";
            dump.cells[{std::stoi(f[1]), std::stoi(f[2])}] = cell;
        }
    }
    dump.ok = true;
    return dump;
}
