// The profile editor: picks the profile a conversion uses, edits every
// setting of a profile, adds, deletes, imports and exports profiles and, when
// a conversion waits (select-output mode), asks for the workbook to write.
// Profiles change in memory only; OK stores them through the options manager.
#pragma once

#include <vector>

#include "lib/manager/KVDriverOptionsMgr.h"
#include "lib/options/KVDriverOptionsExcel.h"
#include "parser/editor/KVChoiceButton.h"
#include "parser/editor/KVFontPreviewCBX.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Dialog.h"

class KorvanePrintDriverPropertiesDlg : public CDialog {
public:
    // The positions of the Options menu.
    enum OptionsMenu {
        OPTIONS_ADVANCED = 0,
        OPTIONS_ADD_PROFILE = 2,
        OPTIONS_DELETE_PROFILE = 3,
        OPTIONS_EXPORT_PROFILES = 5,
        OPTIONS_IMPORT_PROFILES = 6,
    };

    // pOptionsMgr is borrowed and must outlive the dialog.
    KorvanePrintDriverPropertiesDlg(KVDriverOptionsMgr* pOptionsMgr, BOOL bSelectOutputFile,
                                    CWnd* pParent = nullptr);

    KVDriverOptionsMgr* m_pOptionsMgr;
    BOOL m_bSelectOutputFile;
    // After OK in select-output mode: the workbook to write.
    CString m_strOutputFile;

    // Virtual operations, in slot order.
    virtual void ReadControls();
    virtual void RefreshControls();
    virtual void UpdateControlStates();
    virtual void SwitchToSelectedProfile();
    virtual void FillProfileList();
    virtual void EnableOptionControls(BOOL bEnable);
    virtual void ExchangeProfile(KVDriverOptionsProfile* pOldProfile, KVDriverOptionsProfile* pNewProfile);
    virtual void SaveControlsToProfile(KVDriverOptionsProfile* pProfile);
    virtual void LoadProfileToControls(KVDriverOptionsProfile* pProfile);
    virtual void SaveControlsToAnchor(KVExcelRemoveDataAnchor* pAnchor);
    virtual void LoadAnchorToControls(KVExcelRemoveDataAnchor* pAnchor);
    virtual KVDriverOptionsProfile* GetSelectedProfile();
    virtual KVExcelRemoveDataAnchor* GetSelectedAnchor();
    virtual KVExcelRemoveDataAnchor* GetAnchorAt(int nIndex);
    virtual CString BuildNumberFormat(const CString& strBaseFormat);
    virtual int AddProfileToList(KVDriverOptionsProfile* pProfile);

    void SelectProfile(KVDriverOptionsProfile* pProfile);
    void ToggleAdvancedOptions();
    void RebuildOptionsMenu();

    KVDriverOptionsProfile* GetCurrentProfile() const { return m_pCurrentProfile; }
    BOOL IsAdvancedShown() const { return m_bShowAdvanced; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    // The framework's own OK command: ends the dialog, saving nothing.
    void OnOK() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    // Notifications.
    void OnBtnOk();
    void OnOptions();
    void OnDateFormatSelChange();
    void OnSectionListSelChange();

    // Section commands.
    void OnAddSection();
    void OnEditSection();
    void OnRemoveSection();

    // Profile commands of the Options menu.
    void OnAddProfile();
    void OnDeleteProfile();
    void OnExportProfiles();
    void OnImportProfiles();

    // Whole-text equality ignoring case, over the longer of the two lengths.
    static bool SameText(LPCTSTR a, LPCTSTR b);
    CComboBox* Combo(UINT nID);
    CListBox* SectionList();
    CEdit* EditBox(UINT nID);
    KVDriverOptionsExcel* CurrentExcelProfile() const;
    bool IsDefaultProfile(const KVDriverOptionsProfile* pProfile) const;
    void FillFormatLists();
    void RefillSectionList(KVDriverOptionsExcel* pProfile, KVExcelRemoveDataAnchor* pSelect);

    HICON m_hIcon;
    KVDriverOptionsProfile* m_pCurrentProfile = nullptr;
    BOOL m_bShowAdvanced = TRUE;
    bool m_bLastReadOk = true;
    const CString m_strEmpty;
    std::vector<UINT> m_arrOptionControls;
    std::vector<UINT> m_arrEnableControls;

    KVChoiceButton m_btnOptions;
    KVFontPreviewCBX m_cbxFont;

    // Bound values.
    CString m_strReportIdentifier;
    CString m_strCustomFormat;
    CString m_strSectionKeyword;
    CString m_strFontName;
    int m_bResizeCells = FALSE;
    int m_bRemoveEmptyRows = FALSE;
    int m_bRemoveEmptyColumns = FALSE;
    int m_bMoveToTopLeftCell = FALSE;
    int m_bRemoveFormatting = FALSE;
    int m_bBold = FALSE;
    int m_bUnderline = FALSE;
    int m_bItalicize = FALSE;
    int m_bRemoveSections = FALSE;
    int m_nDecimalPlaces = 0;
    int m_nFontSize = 12;
    int m_nRemoveCellsLeft = 0;
    int m_nRemoveCellsRight = 0;
    int m_nRemoveCellsUp = 0;
    int m_nRemoveCellsDown = 0;
};
