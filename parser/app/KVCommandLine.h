// Command-line object that remembers every switch and the value that follows
// it, and lets a derived class act on them.
#pragma once

#include <map>
#include <string>

#include "parser/app/CommandLineInfo.h"

class KVCommandLine : public CCommandLineInfo {
public:
    static constexpr size_t msc_nMaxSwitch = 260;

    KVCommandLine();
    ~KVCommandLine() override = default;

    void ParseParam(const wchar_t* pszParam, bool bFlag, bool bLast) override;
    // One message box listing every stored switch name and value.
    virtual void ShowParams();
    virtual bool HasFlag(const std::wstring& name);
    virtual bool GetParam(const std::wstring& name, std::wstring& value);
    virtual void OnFlag(const std::wstring& name) = 0;
    virtual void OnParam(const std::wstring& name, const std::wstring& value) = 0;

protected:
    std::map<std::wstring, std::wstring> m_mapFlags;
    wchar_t m_szLastSwitch[msc_nMaxSwitch];
};
