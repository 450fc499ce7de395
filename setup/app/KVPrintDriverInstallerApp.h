// The installer's application object: reads the command line, shows help
// when asked, runs the install or the uninstall, reports a failure, and
// brings the stored driver options up to date.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "lib/manager/KVDriverOptionsMgr.h"
#include "setup/app/KVPrintDriverCommandLine.h"

class KVPrintDriverInstallerApp {
public:
    KVPrintDriverInstallerApp() = default;
    KVPrintDriverInstallerApp(const KVPrintDriverInstallerApp&) = delete;
    KVPrintDriverInstallerApp& operator=(const KVPrintDriverInstallerApp&) = delete;

    // One run over the program's arguments (without the program name).
    // Returns the exit status: 0 on success, 1 when the activity failed.
    int InitInstance(const std::vector<std::wstring>& args);

    const KVPrintDriverCommandLine* GetCommandLine() const { return m_pCmdInfo.get(); }

private:
    bool RunActivity();
    void UpdateStoredOptions();

    std::unique_ptr<KVPrintDriverCommandLine> m_pCmdInfo;
    KVDriverOptions* m_pDriverOptions = nullptr;
    KVDriverOptionsMgr m_optionsMgr;
};
