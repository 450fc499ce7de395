// The installer's command line: the install folder, what to show or do, for
// which system, and whether silently.
#pragma once

#include <string>
#include <vector>

#include "parser/app/KVCommandLine.h"

class KVPrintDriverCommandLine : public KVCommandLine {
public:
    enum HelpMode { HelpNone = 0, HelpSwitches = 1, HelpCurrentArgs = 2 };
    enum InstallActivity { ActivityNone = 0, ActivityInstall = 1, ActivityUninstall = 2 };
    enum WindowsVersion { VersionNone = 0, Version9598ME = 1, VersionNT = 2 };

    // A value is stored under its switch name exactly as typed.
    void ParseParam(const wchar_t* pszParam, bool bFlag, bool bLast) override;
    void OnFlag(const std::wstring& name) override;
    void OnParam(const std::wstring& name, const std::wstring& value) override;

    virtual const std::wstring& GetInstallFolder() const { return m_strInstallFolder; }
    virtual int GetHelpMode() const { return m_nHelpMode; }
    virtual int GetInstallActivity() const { return m_nInstallActivity; }
    virtual int GetWindowsVersion() const { return m_nWindowsVersion; }
    virtual int GetSilent() const { return m_nSilent; }

private:
    std::wstring m_strInstallFolder;
    int m_nHelpMode = HelpNone;
    int m_nInstallActivity = ActivityNone;
    int m_nWindowsVersion = VersionNone;
    int m_nSilent = 0;
};

// True when two switch names are the same, ignoring case, over the whole of
// both.
bool IsSameSwitch(const std::wstring& typed, const wchar_t* name);

// Walks the program's arguments as the framework does ("-x" and "/x" are
// switches), except that the argument after INSTALLDIR is always its value,
// so that a folder such as "/opt" is not taken for a switch.
void ParseInstallerCommandLine(const std::vector<std::wstring>& args, KVPrintDriverCommandLine& info);
