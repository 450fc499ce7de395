// The two windows of the job flow that need a user: the profile editor and
// the save dialog. The program installs real ones when it has a display;
// without one the editor answers Cancel and the save dialog is cancelled.
#pragma once

#include <memory>
#include <string>

class KVDriverOptionsMgr;

class KVProfileEditorHost {
public:
    virtual ~KVProfileEditorHost() = default;
    // Runs the editor modally on `pOptionsMgr`. In select-output mode the
    // editor also names the output workbook. Returns IDOK or IDCANCEL.
    virtual int DoModal(KVDriverOptionsMgr* pOptionsMgr, bool bSelectOutputFile,
                        std::wstring& strOutputFile) = 0;
};

class KVSaveDialogHost {
public:
    virtual ~KVSaveDialogHost() = default;
    // Asks for the output workbook ("xls" default extension, overwrite
    // prompt, existing folder). True with the path when the user pressed OK.
    virtual bool AskOutputPath(std::wstring& strPath) = 0;
};

class KVHeadlessProfileEditor : public KVProfileEditorHost {
public:
    int DoModal(KVDriverOptionsMgr* pOptionsMgr, bool bSelectOutputFile,
                std::wstring& strOutputFile) override;
};

class KVHeadlessSaveDialog : public KVSaveDialogHost {
public:
    bool AskOutputPath(std::wstring& strPath) override;
};
