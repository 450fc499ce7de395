// The framework's command-line object and the walk over the arguments that
// feeds it, as the application object's ParseCommandLine does.
#pragma once

#include <string>
#include <vector>

class CCommandLineInfo {
public:
    virtual ~CCommandLineInfo() = default;
    // One argument: a switch name without its "-" or "/" (bFlag true), or a
    // value. bLast is true for the last argument.
    virtual void ParseParam(const wchar_t* pszParam, bool bFlag, bool bLast);

    // The shell command the framework derives from the arguments; kept for
    // completeness, never used by the programs.
    std::wstring m_strFileName;
};

// Walks `args` (without the program name) and hands each to `info`. An
// argument that begins with "-" is a switch. So is one that begins with "/"
// and holds no other "/": on this system "/print" is a switch but
// "/tmp/job.grp" is a path.
void ParseCommandLine(const std::vector<std::wstring>& args, CCommandLineInfo& info);
