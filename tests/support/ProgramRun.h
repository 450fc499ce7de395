// Running the programs the build made, as a user would from a shell, in
// folders of the test's own.
#pragma once

#include <string>
#include <vector>

struct ProgramResult {
    int status = -1;  // the exit status; 128 + the signal's number when one ended it
    std::string out;
    std::string err;
};

// Runs build/bin/<program> with `args`, standard input from /dev/null.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args);

// A fresh folder under the system's temporary folder, removed with all it holds.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "sw-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // A path inside the folder.
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void WriteTextFile(const std::string& path, const std::string& contents);
std::string ReadTextFile(const std::string& path);
std::vector<std::string> SplitLines(const std::string& text);
