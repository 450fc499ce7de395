#include "parser/editor/KorvanePrintDriverPropertiesDlg.h"

#include <cwchar>

#include "lib/util/KVLibUtility.h"
#include "parser/editor/CSplashScreenEx.h"
#include "parser/res/Dialogs.h"
#include "parser/res/resource.h"
#include "platform/ui/FileDialog.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UserInterface.h"

namespace {

const wchar_t* const kExcelFilter = L"Excel Files (*.xls)|*.xls|All Files (*.*)|*.*||";

}  // namespace

KorvanePrintDriverPropertiesDlg::KorvanePrintDriverPropertiesDlg(KVDriverOptionsMgr* pOptionsMgr,
                                                                 BOOL bSelectOutputFile, CWnd* pParent)
    : CDialog(DialogTemplateFor(IDD_PROPERTIES), pParent),
      m_pOptionsMgr(pOptionsMgr),
      m_bSelectOutputFile(bSelectOutputFile),
      m_hIcon(IDR_MAINFRAME) {}

bool KorvanePrintDriverPropertiesDlg::SameText(LPCTSTR a, LPCTSTR b) {
    if (a == nullptr || b == nullptr) {
        return a == b;
    }
    const long length = KVLibUtility::GetLongestStringLength(a, b, nullptr);
    return wcsncasecmp(a, b, static_cast<size_t>(length)) == 0;
}

CComboBox* KorvanePrintDriverPropertiesDlg::Combo(UINT nID) {
    return dynamic_cast<CComboBox*>(GetDlgItem(static_cast<int>(nID)));
}

CListBox* KorvanePrintDriverPropertiesDlg::SectionList() {
    return dynamic_cast<CListBox*>(GetDlgItem(static_cast<int>(IDC_SECTION_LIST)));
}

CEdit* KorvanePrintDriverPropertiesDlg::EditBox(UINT nID) {
    return dynamic_cast<CEdit*>(GetDlgItem(static_cast<int>(nID)));
}

void KorvanePrintDriverPropertiesDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, static_cast<int>(IDC_BTN_OPTIONS), m_btnOptions);
    DDX_Text(pDX, static_cast<int>(IDC_CUSTOM_FORMAT), m_strCustomFormat);
    DDX_Text(pDX, static_cast<int>(IDC_SECTION_KEYWORD), m_strSectionKeyword);
    DDX_Text(pDX, static_cast<int>(IDC_REMOVE_CELLS_DOWN), m_nRemoveCellsDown);
    DDX_Text(pDX, static_cast<int>(IDC_REMOVE_CELLS_LEFT), m_nRemoveCellsLeft);
    DDX_Text(pDX, static_cast<int>(IDC_REMOVE_CELLS_RIGHT), m_nRemoveCellsRight);
    DDX_Check(pDX, static_cast<int>(IDC_BOLD), m_bBold);
    DDX_Check(pDX, static_cast<int>(IDC_MOVE_TO_TOP_LEFT_CELL), m_bMoveToTopLeftCell);
    DDX_Check(pDX, static_cast<int>(IDC_REMOVE_EMPTY_COLUMNS), m_bRemoveEmptyColumns);
    DDX_Check(pDX, static_cast<int>(IDC_REMOVE_SECTIONS), m_bRemoveSections);
    DDX_Check(pDX, static_cast<int>(IDC_REMOVE_FORMATTING), m_bRemoveFormatting);
    DDX_Check(pDX, static_cast<int>(IDC_REMOVE_EMPTY_ROWS), m_bRemoveEmptyRows);
    DDX_Check(pDX, static_cast<int>(IDC_RESIZE_CELLS), m_bResizeCells);
    DDX_Text(pDX, static_cast<int>(IDC_FONT_SIZE), m_nFontSize);
    DDV_MinMaxInt(pDX, m_nFontSize, 1, 256);
    DDX_Check(pDX, static_cast<int>(IDC_UNDERLINE), m_bUnderline);
    DDX_Check(pDX, static_cast<int>(IDC_ITALICIZE), m_bItalicize);
    DDX_Text(pDX, static_cast<int>(IDC_REMOVE_CELLS_UP), m_nRemoveCellsUp);
    DDX_Text(pDX, static_cast<int>(IDC_DECIMAL_PLACES), m_nDecimalPlaces);
    DDV_MinMaxInt(pDX, m_nDecimalPlaces, 0, 20);
    DDX_Text(pDX, static_cast<int>(IDC_REPORT_IDENTIFIER), m_strReportIdentifier);
    DDX_FontPreviewCombo(pDX, static_cast<int>(IDC_DEFAULT_FONT), m_strFontName);
}

BOOL KorvanePrintDriverPropertiesDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    // The splash, until it has gone.
    {
        CSplashScreenEx splash;
        bool visible = false;
        if (splash.Create(this, nullptr, 1500,
                          CSplashScreenEx::CSS_FADEIN | CSplashScreenEx::CSS_FADEOUT |
                              CSplashScreenEx::CSS_SHADOW | CSplashScreenEx::CSS_CENTERSCREEN |
                              CSplashScreenEx::CSS_HIDEONCLICK) &&
            splash.SetBitmap(IDB_SPLASH, 255, 0, 255)) {
            splash.SetVisibleFlag(&visible);
            splash.Show();
            while (visible) {
                CSplashScreenEx::PumpMessages();
            }
        }
    }

    ExchangeProfile(nullptr, m_pOptionsMgr->GetDefaultExcelDriverOptions());

    // The About entry of the system menu has no place here: the desktop's
    // window menu belongs to the window manager.

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_cbxFont.SubclassDlgItem(IDC_DEFAULT_FONT, this);
    m_cbxFont.SetFontHeight(20, true);

    m_arrOptionControls = {IDC_REPORT_IDENTIFIER,
                           IDC_NUMBER_FORMAT,
                           IDC_DECIMAL_PLACES,
                           IDC_DATE_FORMAT,
                           IDC_CUSTOM_FORMAT,
                           IDC_RESIZE_CELLS,
                           IDC_REMOVE_EMPTY_ROWS,
                           IDC_REMOVE_EMPTY_COLUMNS,
                           IDC_MOVE_TO_TOP_LEFT_CELL,
                           IDC_REMOVE_FORMATTING,
                           IDC_REMOVE_SECTIONS,
                           IDC_DEFAULT_FONT,
                           IDC_FONT_SIZE,
                           IDC_BOLD,
                           IDC_UNDERLINE,
                           IDC_ITALICIZE,
                           IDC_SECTION_TYPE,
                           IDC_SECTION_KEYWORD,
                           IDC_REMOVE_CELLS_LEFT,
                           IDC_REMOVE_CELLS_RIGHT,
                           IDC_REMOVE_CELLS_UP,
                           IDC_REMOVE_CELLS_DOWN,
                           IDC_SECTION_LIST,
                           IDC_ADD_SECTION,
                           IDC_EDIT_SECTION,
                           IDC_REMOVE_SECTION};
    m_arrEnableControls.clear();
    for (UINT id : m_arrOptionControls) {
        if (id != IDC_CUSTOM_FORMAT) {
            m_arrEnableControls.push_back(id);
        }
    }

    FillFormatLists();
    FillProfileList();
    SelectProfile(m_pOptionsMgr->GetMRUProfile());
    RefreshControls();
    ToggleAdvancedOptions();
    RebuildOptionsMenu();
    return TRUE;
}

void KorvanePrintDriverPropertiesDlg::FillFormatLists() {
    CComboBox* date = Combo(IDC_DATE_FORMAT);
    const struct {
        const wchar_t* text;
        LPCTSTR format;
    } dates[] = {
        {L"None", m_strEmpty.c_str()},
        {L"dddd, mmmm dd, yyyy (Saturday, January 1, 2005)",
         KVDriverOptionsExcel::GetDateFormat_dddd_mmmm_dd_yyyy()},
        {L"m/d/yyyy (1/1/2005)", KVDriverOptionsExcel::GetDateFormat_m_d_yyyy()},
        {L"m/d/yy (1/1/05)", KVDriverOptionsExcel::GetDateFormat_m_d_yy()},
        {L"mm/dd/yyyy (01/01/2005)", KVDriverOptionsExcel::GetDateFormat_mm_dd_yyyy()},
        {L"d-mmm-yy (1-Jan-05)", KVDriverOptionsExcel::GetDateFormat_d_mmm_yy()},
        {L"yyyy-mm-dd;@ (2005-01-01", KVDriverOptionsExcel::GetDateFormat_yyyy_mm_dd()},
        {L"Custom", KVDriverOptionsExcel::GetDateFormat_Custom()},
    };
    for (const auto& entry : dates) {
        const int index = date->AddString(entry.text);
        date->SetItemDataPtr(index, const_cast<wchar_t*>(entry.format));
    }

    CComboBox* number = Combo(IDC_NUMBER_FORMAT);
    const struct {
        const wchar_t* text;
        LPCTSTR format;
    } numbers[] = {
        {L"None", m_strEmpty.c_str()},
        {L"General Number", KVDriverOptionsExcel::GetNumberFormat_General()},
        {L"Percentage", KVDriverOptionsExcel::GetNumberFormat_Percentage()},
        {L"Currency", KVDriverOptionsExcel::GetNumberFormat_Currency()},
    };
    for (const auto& entry : numbers) {
        const int index = number->AddString(entry.text);
        number->SetItemDataPtr(index, const_cast<wchar_t*>(entry.format));
    }

    CComboBox* type = Combo(IDC_SECTION_TYPE);
    for (const wchar_t* text :
         {L"Clear Cell", L"Remove Row", L"Remove Column", L"Remove Row And Column", L"Clear Area"}) {
        type->AddString(text);
    }
}

// Reading and refreshing

void KorvanePrintDriverPropertiesDlg::ReadControls() {
    m_bLastReadOk = UpdateData(TRUE) != FALSE;
    SwitchToSelectedProfile();
}

void KorvanePrintDriverPropertiesDlg::RefreshControls() {
    UpdateControlStates();
    UpdateData(FALSE);
}

void KorvanePrintDriverPropertiesDlg::SwitchToSelectedProfile() {
    KVDriverOptionsProfile* selected = GetSelectedProfile();
    if (selected == nullptr) {
        return;
    }
    ExchangeProfile(m_pCurrentProfile, selected);
    m_pCurrentProfile = selected;
}

void KorvanePrintDriverPropertiesDlg::ExchangeProfile(KVDriverOptionsProfile* pOldProfile,
                                                      KVDriverOptionsProfile* pNewProfile) {
    if (pOldProfile != nullptr) {
        SaveControlsToProfile(pOldProfile);
    }
    if (pNewProfile != nullptr) {
        LoadProfileToControls(pNewProfile);
    }
}

// The profile list

void KorvanePrintDriverPropertiesDlg::FillProfileList() {
    CComboBox* combo = Combo(IDC_PROFILE_COMBO);
    KVDriverOptionsProfile* remembered = GetSelectedProfile();
    combo->ResetContent();
    const int first = combo->AddString(L"Default");
    combo->SetItemDataPtr(first, m_pOptionsMgr->GetDefaultExcelDriverOptions());
    for (long i = 0; i < m_pOptionsMgr->GetExcelProfileCount(); ++i) {
        AddProfileToList(m_pOptionsMgr->GetExcelProfile(i));
    }
    int select = 0;
    for (int i = 0; i < combo->GetCount(); ++i) {
        if (combo->GetItemDataPtr(i) == remembered) {
            select = i;
            break;
        }
    }
    combo->SetCurSel(select);
}

int KorvanePrintDriverPropertiesDlg::AddProfileToList(KVDriverOptionsProfile* pProfile) {
    if (pProfile == nullptr || pProfile->GetProfileName()[0] == L'\0') {
        return -1;
    }
    CComboBox* combo = Combo(IDC_PROFILE_COMBO);
    const int index = combo->AddString(pProfile->GetProfileName());
    combo->SetItemDataPtr(index, pProfile);
    return index;
}

void KorvanePrintDriverPropertiesDlg::SelectProfile(KVDriverOptionsProfile* pProfile) {
    if (pProfile == nullptr) {
        return;
    }
    LoadProfileToControls(pProfile);
    m_pCurrentProfile = pProfile;
    CComboBox* combo = Combo(IDC_PROFILE_COMBO);
    for (int i = 0; i < combo->GetCount(); ++i) {
        if (combo->GetItemDataPtr(i) == pProfile) {
            combo->SetCurSel(i);
            break;
        }
    }
}

KVDriverOptionsProfile* KorvanePrintDriverPropertiesDlg::GetSelectedProfile() {
    CComboBox* combo = Combo(IDC_PROFILE_COMBO);
    const int selected = combo == nullptr ? CB_ERR : combo->GetCurSel();
    return selected == CB_ERR ? nullptr
                              : static_cast<KVDriverOptionsProfile*>(combo->GetItemDataPtr(selected));
}

KVExcelRemoveDataAnchor* KorvanePrintDriverPropertiesDlg::GetSelectedAnchor() {
    CListBox* list = SectionList();
    const int selected = list == nullptr ? LB_ERR : list->GetCurSel();
    return selected == LB_ERR ? nullptr : GetAnchorAt(selected);
}

KVExcelRemoveDataAnchor* KorvanePrintDriverPropertiesDlg::GetAnchorAt(int nIndex) {
    CListBox* list = SectionList();
    if (list == nullptr || nIndex < 0 || nIndex >= list->GetCount()) {
        return nullptr;
    }
    return static_cast<KVExcelRemoveDataAnchor*>(list->GetItemDataPtr(nIndex));
}

bool KorvanePrintDriverPropertiesDlg::IsDefaultProfile(const KVDriverOptionsProfile* pProfile) const {
    return pProfile != nullptr && pProfile == m_pOptionsMgr->GetDefaultExcelDriverOptions();
}

KVDriverOptionsExcel* KorvanePrintDriverPropertiesDlg::CurrentExcelProfile() const {
    if (m_pCurrentProfile == nullptr ||
        m_pCurrentProfile->GetDriverOptionType() != KVFileParserTypes::enFileParserExcel) {
        return nullptr;
    }
    return dynamic_cast<KVDriverOptionsExcel*>(m_pCurrentProfile);
}

void KorvanePrintDriverPropertiesDlg::RefillSectionList(KVDriverOptionsExcel* pProfile,
                                                        KVExcelRemoveDataAnchor* pSelect) {
    CListBox* list = SectionList();
    list->ResetContent();
    if (pProfile != nullptr) {
        for (long i = 0; i < pProfile->GetRemoveDataAnchorCount(); ++i) {
            KVExcelRemoveDataAnchor* anchor = pProfile->GetEditableRemoveDataAnchor(i);
            const int index = list->AddString(anchor->GetAnchorDescriptor());
            list->SetItemDataPtr(index, anchor);
        }
    }
    list->SetCurSel(-1);
    for (int i = 0; pSelect != nullptr && i < list->GetCount(); ++i) {
        if (GetAnchorAt(i) == pSelect) {
            list->SetCurSel(i);
            break;
        }
    }
}

// Notifications

BOOL KorvanePrintDriverPropertiesDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const UINT id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    switch (id) {
        case IDC_PROFILE_COMBO:
            if (code == CBN_SETFOCUS) {
                ReadControls();
                return TRUE;
            }
            if (code == CBN_SELCHANGE) {
                ReadControls();
                RefreshControls();
                return TRUE;
            }
            break;
        case IDC_NUMBER_FORMAT:
        case IDC_SECTION_TYPE:
            if (code == CBN_SELCHANGE) {
                ReadControls();
                RefreshControls();
                return TRUE;
            }
            break;
        case IDC_REMOVE_FORMATTING:
        case IDC_REMOVE_SECTIONS:
            if (code == BN_CLICKED) {
                ReadControls();
                RefreshControls();
                return TRUE;
            }
            break;
        case IDC_DATE_FORMAT:
            if (code == CBN_SELCHANGE) {
                OnDateFormatSelChange();
                return TRUE;
            }
            break;
        case IDC_SECTION_LIST:
            if (code == LBN_SELCHANGE) {
                OnSectionListSelChange();
                return TRUE;
            }
            break;
        case IDC_ADD_SECTION:
        case IDC_EDIT_SECTION:
        case IDC_REMOVE_SECTION:
        case IDC_BTN_OK:
        case IDC_BTN_OPTIONS:
            if (code != BN_CLICKED) {
                break;
            }
            if (id == IDC_ADD_SECTION) {
                OnAddSection();
            } else if (id == IDC_EDIT_SECTION) {
                OnEditSection();
            } else if (id == IDC_REMOVE_SECTION) {
                OnRemoveSection();
            } else if (id == IDC_BTN_OK) {
                OnBtnOk();
            } else {
                OnOptions();
            }
            return TRUE;
        default:
            break;
    }
    return CDialog::OnCommand(wParam, lParam);
}

void KorvanePrintDriverPropertiesDlg::OnDateFormatSelChange() {
    ReadControls();
    CComboBox* date = Combo(IDC_DATE_FORMAT);
    CEdit* custom = EditBox(IDC_CUSTOM_FORMAT);
    const int selected = date->GetCurSel();
    if (selected != CB_ERR && SameText(static_cast<LPCTSTR>(date->GetItemDataPtr(selected)),
                                       KVDriverOptionsExcel::GetDateFormat_Custom())) {
        custom->SetReadOnly(FALSE);
    } else {
        custom->SetReadOnly(TRUE);
        m_strCustomFormat.clear();
        custom->SetWindowText(L"");
    }
    RefreshControls();
}

void KorvanePrintDriverPropertiesDlg::OnOK() {
    EndDialog(IDOK);
}

void KorvanePrintDriverPropertiesDlg::OnBtnOk() {
    ReadControls();
    // A value that failed its check has been shown to the user; the dialog
    // stays open for it to be mended rather than storing what came before.
    if (!m_bLastReadOk || m_nFontSize < 1 || m_nFontSize > 256) {
        return;
    }
    SaveControlsToProfile(m_pCurrentProfile);
    m_strOutputFile.clear();
    KVDriverOptionsExcel* profile = CurrentExcelProfile();
    if (!m_bSelectOutputFile || profile == nullptr) {
        m_pOptionsMgr->SaveSettings(m_pCurrentProfile);
        EndDialog(IDOK);
        return;
    }
    CFileDialog dialog(FALSE, L"xls", profile->GetLastFileOpened(),
                       OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST, kExcelFilter, this);
    if (dialog.DoModal() != IDOK) {
        return;
    }
    m_strOutputFile = dialog.GetPathName();
    profile->SetLastFileOpened(m_strOutputFile.c_str());
    m_pOptionsMgr->SaveSettings(m_pCurrentProfile);
    EndDialog(IDOK);
}

void KorvanePrintDriverPropertiesDlg::OnOptions() {
    ReadControls();
    switch (m_btnOptions.GetCurrentChoice()) {
        case OPTIONS_ADVANCED:
            ToggleAdvancedOptions();
            break;
        case OPTIONS_ADD_PROFILE:
            OnAddProfile();
            break;
        case OPTIONS_DELETE_PROFILE:
            OnDeleteProfile();
            break;
        case OPTIONS_EXPORT_PROFILES:
            OnExportProfiles();
            break;
        case OPTIONS_IMPORT_PROFILES:
            OnImportProfiles();
            break;
        default:
            break;
    }
    RebuildOptionsMenu();
    RefreshControls();
}
