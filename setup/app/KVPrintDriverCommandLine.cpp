#include "setup/app/KVPrintDriverCommandLine.h"

#include <algorithm>
#include <cwchar>

#include "lib/util/KVLibUtility.h"

bool IsSameSwitch(const std::wstring& typed, const wchar_t* name) {
    const long length = KVLibUtility::GetLongestStringLength(typed.c_str(), name, nullptr);
    return wcsncasecmp(typed.c_str(), name, static_cast<size_t>(length)) == 0;
}

void KVPrintDriverCommandLine::ParseParam(const wchar_t* pszParam, bool bFlag, bool bLast) {
    if (bFlag) {
        KVCommandLine::ParseParam(pszParam, bFlag, bLast);
        return;
    }
    const std::wstring name = m_szLastSwitch;
    const std::wstring value = pszParam != nullptr ? pszParam : L"";
    m_mapFlags[name] = value;
    OnParam(name, value);
    m_szLastSwitch[0] = L'\0';
    CCommandLineInfo::ParseParam(pszParam, bFlag, bLast);
}

void KVPrintDriverCommandLine::OnFlag(const std::wstring& name) {
    if (IsSameSwitch(name, L"?")) {
        m_nHelpMode = HelpSwitches;
    } else if (IsSameSwitch(name, L"ShowParams") || IsSameSwitch(name, L"sp") || IsSameSwitch(name, L"s")) {
        m_nHelpMode = HelpCurrentArgs;
    } else if (IsSameSwitch(name, L"install") || IsSameSwitch(name, L"i")) {
        m_nInstallActivity = ActivityInstall;
    } else if (IsSameSwitch(name, L"uninstall") || IsSameSwitch(name, L"u")) {
        m_nInstallActivity = ActivityUninstall;
    } else if (IsSameSwitch(name, L"WIN9598ME")) {
        m_nWindowsVersion = Version9598ME;
    } else if (IsSameSwitch(name, L"WINNT")) {
        m_nWindowsVersion = VersionNT;
    } else if (IsSameSwitch(name, L"Silent")) {
        m_nSilent = 1;
    } else if (IsSameSwitch(name, L"INSTALLDIR")) {
        // Its value comes with OnParam.
    } else {
        m_nHelpMode = HelpSwitches;
    }
}

void KVPrintDriverCommandLine::OnParam(const std::wstring& name, const std::wstring& value) {
    if (!IsSameSwitch(name, L"INSTALLDIR")) {
        return;
    }
    m_strInstallFolder = value;
    if (!m_strInstallFolder.empty() && m_strInstallFolder.back() != L'/') {
        // A quote left behind by the caller's quoting is not part of the folder.
        m_strInstallFolder.erase(std::remove(m_strInstallFolder.begin(), m_strInstallFolder.end(), L'"'),
                                 m_strInstallFolder.end());
        m_strInstallFolder += L'/';
    }
}

void ParseInstallerCommandLine(const std::vector<std::wstring>& args, KVPrintDriverCommandLine& info) {
    bool folderPending = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        const bool last = i + 1 == args.size();
        bool flag =
            !arg.empty() && (arg[0] == L'-' || (arg[0] == L'/' && arg.find(L'/', 1) == std::wstring::npos));
        if (folderPending && !arg.empty() && arg[0] == L'/') {
            flag = false;
        }
        info.ParseParam(flag ? arg.c_str() + 1 : arg.c_str(), flag, last);
        folderPending = flag && IsSameSwitch(arg.substr(1), L"INSTALLDIR");
    }
}
