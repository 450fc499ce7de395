// Lists the profiles with a check box each; the ticked ones are exported.
#pragma once

#include "lib/manager/KVDriverOptionsMgr.h"
#include "parser/editor/CXListCtrl.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Gdi.h"

class KVManageProfilesDlg : public CDialog {
public:
    // pProfiles is read only and must outlive the dialog.
    explicit KVManageProfilesDlg(const KVProfileArray* pProfiles, CWnd* pParent = nullptr);

    // After OK: the ticked profiles in list order (borrowed pointers).
    virtual KVProfileArray& GetSelectedProfiles();

protected:
    virtual void SetupList(CXListCtrl* pList);
    virtual void FillList(CXListCtrl* pList);
    virtual void CollectSelectedProfiles();

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;

    const KVProfileArray* m_pProfiles;
    CXListCtrl m_List;
    CImageList m_HeaderImages;
    KVProfileArray m_arrSelected;
};
