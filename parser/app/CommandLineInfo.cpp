#include "parser/app/CommandLineInfo.h"

void CCommandLineInfo::ParseParam(const wchar_t* pszParam, bool bFlag, bool /*bLast*/) {
    if (!bFlag && m_strFileName.empty() && pszParam) {
        m_strFileName = pszParam;
    }
}

void ParseCommandLine(const std::vector<std::wstring>& args, CCommandLineInfo& info) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        const bool last = i + 1 == args.size();
        const bool flag =
            !arg.empty() && (arg[0] == L'-' || (arg[0] == L'/' && arg.find(L'/', 1) == std::wstring::npos));
        info.ParseParam(flag ? arg.c_str() + 1 : arg.c_str(), flag, last);
    }
}
