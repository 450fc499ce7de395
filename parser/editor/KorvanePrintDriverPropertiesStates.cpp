// Which controls the properties dialog enables, the values they are reset
// to, the Options menu and the two layouts.
#include "parser/editor/KorvanePrintDriverPropertiesDlg.h"
#include "parser/res/resource.h"

namespace {

// The two layouts, in dialog units: the profile row with its buttons, and
// the whole template. They stand for window sizes of 537 x 100 and 537 x 475
// pixels in the template's 8-point font; in dialog units they follow the
// font the dialog is shown in.
constexpr long kLayoutWidth = 355;
constexpr long kBasicHeight = 44;
constexpr long kAdvancedHeight = 275;

}  // namespace

void KorvanePrintDriverPropertiesDlg::UpdateControlStates() {
    RebuildOptionsMenu();
    KVDriverOptionsProfile* selected = GetSelectedProfile();
    KVDriverOptionsExcel* excel = nullptr;
    if (selected != nullptr && selected->GetDriverOptionType() == KVFileParserTypes::enFileParserExcel) {
        excel = dynamic_cast<KVDriverOptionsExcel*>(selected);
    }
    FillProfileList();
    RefillSectionList(excel, GetSelectedAnchor());

    CComboBox* sectionType = Combo(IDC_SECTION_TYPE);
    if (IsDefaultProfile(selected)) {
        for (UINT id : m_arrOptionControls) {
            GetDlgItem(static_cast<int>(id))->EnableWindow(FALSE);
        }
        m_strCustomFormat.clear();
        m_strFontName = L"Arial";
        m_nFontSize = 12;
        m_bBold = m_bUnderline = m_bItalicize = FALSE;
        SectionList()->ResetContent();
        m_strSectionKeyword.clear();
        m_nRemoveCellsLeft = m_nRemoveCellsRight = m_nRemoveCellsUp = m_nRemoveCellsDown = 0;
        sectionType->SetCurSel(-1);
        return;
    }

    bool general = false;
    bool decimals = false;
    bool font = false;
    bool sections = false;
    bool area = false;
    if (m_bShowAdvanced) {
        general = true;
        const int number = Combo(IDC_NUMBER_FORMAT)->GetCurSel();
        decimals = number != CB_ERR && number != 0;
        if (!decimals) {
            m_nDecimalPlaces = 0;
        }
        font = m_bRemoveFormatting != FALSE;
        if (!font) {
            m_strFontName = L"Arial";
            m_nFontSize = 12;
            m_bBold = m_bUnderline = m_bItalicize = FALSE;
        }
        sections = m_bRemoveSections != FALSE;
        if (!sections) {
            m_strSectionKeyword.clear();
            sectionType->SetCurSel(-1);
        }
        area = sections && KVExcelRemoveDataAnchor::GetAnchorTypeFromIndex(sectionType->GetCurSel() + 1) ==
                               KVExcelRemoveDataAnchor::enAnchorClearArea;
        if (!area) {
            m_nRemoveCellsLeft = m_nRemoveCellsRight = m_nRemoveCellsUp = m_nRemoveCellsDown = 0;
        }
    }

    const auto enable = [this](std::initializer_list<UINT> ids, bool on) {
        for (UINT id : ids) {
            GetDlgItem(static_cast<int>(id))->EnableWindow(on ? TRUE : FALSE);
        }
    };
    for (UINT id : m_arrOptionControls) {
        GetDlgItem(static_cast<int>(id))->EnableWindow(general ? TRUE : FALSE);
    }
    enable({IDC_DECIMAL_PLACES}, decimals);
    enable({IDC_DEFAULT_FONT, IDC_FONT_SIZE, IDC_BOLD, IDC_UNDERLINE, IDC_ITALICIZE}, font);
    enable({IDC_SECTION_LIST, IDC_ADD_SECTION, IDC_EDIT_SECTION, IDC_REMOVE_SECTION, IDC_SECTION_TYPE,
            IDC_SECTION_KEYWORD},
           sections);
    enable({IDC_REMOVE_CELLS_LEFT, IDC_REMOVE_CELLS_RIGHT, IDC_REMOVE_CELLS_UP, IDC_REMOVE_CELLS_DOWN}, area);
}

void KorvanePrintDriverPropertiesDlg::EnableOptionControls(BOOL bEnable) {
    for (UINT id : m_arrEnableControls) {
        GetDlgItem(static_cast<int>(id))->EnableWindow(bEnable);
    }
}

void KorvanePrintDriverPropertiesDlg::RebuildOptionsMenu() {
    while (m_btnOptions.GetItemCount() > 0) {
        m_btnOptions.DeleteItem(0);
    }
    m_btnOptions.AddItem(m_bShowAdvanced ? L"Hide Advanced Options..." : L"Show Advanced Options...");
    m_btnOptions.AddSeparator();
    m_btnOptions.AddItem(L"Add Profile...");
    m_btnOptions.AddItem(L"Delete Profile...");
    m_btnOptions.AddSeparator();
    m_btnOptions.AddItem(L"Export Profiles...");
    m_btnOptions.AddItem(L"Import Profiles...");
    m_btnOptions.EnableItem(OPTIONS_DELETE_PROFILE, IsDefaultProfile(GetSelectedProfile()) ? FALSE : TRUE);
}

void KorvanePrintDriverPropertiesDlg::ToggleAdvancedOptions() {
    m_bShowAdvanced = !m_bShowAdvanced;
    CRect size(0, 0, kLayoutWidth, m_bShowAdvanced ? kAdvancedHeight : kBasicHeight);
    MapDialogRect(&size);
    SetWindowPos(nullptr, 0, 0, static_cast<int>(size.Width()), static_cast<int>(size.Height()),
                 SWP_NOMOVE | SWP_NOZORDER);
    EnableOptionControls(FALSE);
}
