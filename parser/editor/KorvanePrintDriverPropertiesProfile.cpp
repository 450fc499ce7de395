// Between the controls and a profile: what loading shows, what saving
// stores, and the number format built from its entry and decimal places.
#include "lib/options/KVDriverOptionsExcel.h"
#include "parser/editor/KorvanePrintDriverPropertiesDlg.h"
#include "parser/res/resource.h"

void KorvanePrintDriverPropertiesDlg::LoadProfileToControls(KVDriverOptionsProfile* pProfile) {
    auto* profile = dynamic_cast<KVDriverOptionsExcel*>(pProfile);
    if (profile == nullptr || pProfile->GetDriverOptionType() != KVFileParserTypes::enFileParserExcel) {
        return;
    }
    m_bMoveToTopLeftCell = profile->GetMoveToTopLeftCell();
    m_bRemoveEmptyColumns = profile->GetRemoveColumnsWithSpace();
    m_bRemoveSections = profile->GetRemoveDataSection();
    m_bRemoveFormatting = profile->GetRemoveFormattingOfCells();
    m_bRemoveEmptyRows = profile->GetRemoveRowsWithSpace();
    m_bResizeCells = profile->GetResizeCells();
    m_strFontName = profile->GetFontName();
    m_nFontSize = static_cast<int>(profile->GetFontSize());
    m_bBold = profile->GetFontBold();
    m_bUnderline = profile->GetFontUnderline();
    m_bItalicize = profile->GetFontItalicize();
    m_strReportIdentifier = profile->GetReportIdentifier();

    // Date format: the first entry carrying it; each entry passed on the way
    // sets the custom edit by whether the format is the custom one.
    CComboBox* date = Combo(IDC_DATE_FORMAT);
    CEdit* custom = EditBox(IDC_CUSTOM_FORMAT);
    const LPCTSTR format = profile->GetDateFormatW();
    bool found = false;
    for (int i = 0; i < date->GetCount(); ++i) {
        if (SameText(static_cast<LPCTSTR>(date->GetItemDataPtr(i)), format)) {
            date->SetCurSel(i);
            found = true;
            break;
        }
        if (SameText(format, KVDriverOptionsExcel::GetDateFormat_Custom())) {
            custom->SetReadOnly(FALSE);
            m_strCustomFormat = profile->GetCustomDateFormat();
        } else {
            custom->SetReadOnly(TRUE);
            m_strCustomFormat.clear();
        }
        custom->SetWindowText(m_strCustomFormat.c_str());
    }
    if (!found) {
        date->SetCurSel(0);
    }

    // Number format: the entry by the format's marks and the decimal places
    // from its part after the first ".".
    CComboBox* number = Combo(IDC_NUMBER_FORMAT);
    const CString numeric = profile->GetNumericFormat();
    m_nDecimalPlaces = 0;
    if (numeric.empty()) {
        number->SetCurSel(0);
    } else {
        const size_t dot = numeric.find(L'.');
        const auto places = [&](size_t count) {
            if (dot == CString::npos) {
                return 0;
            }
            CString part = numeric.substr(dot, count);
            std::erase(part, L'.');
            return static_cast<int>(part.size());
        };
        const wchar_t* name = L"General Number";
        if (numeric.find(L'%') != CString::npos) {
            name = L"Percentage";
            m_nDecimalPlaces = places(numeric.size() >= 2 ? numeric.size() - 2 : 0);
        } else if (numeric.find(L'$') != CString::npos) {
            name = L"Currency";
            m_nDecimalPlaces = places(CString::npos);
        } else {
            m_nDecimalPlaces = places(numeric.size() - 1);
        }
        number->SelectString(0, name);
    }

    RefillSectionList(profile, GetSelectedAnchor());
}

void KorvanePrintDriverPropertiesDlg::SaveControlsToProfile(KVDriverOptionsProfile* pProfile) {
    auto* profile = dynamic_cast<KVDriverOptionsExcel*>(pProfile);
    if (profile == nullptr || pProfile->GetDriverOptionType() != KVFileParserTypes::enFileParserExcel) {
        return;
    }
    profile->SetMoveToTopLeftCell(m_bMoveToTopLeftCell);
    profile->SetRemoveColumnsWithSpace(m_bRemoveEmptyColumns);
    profile->SetRemoveDataSection(m_bRemoveSections);
    profile->SetRemoveFormattingOfCells(m_bRemoveFormatting);
    profile->SetFontName(m_strFontName.c_str());
    profile->SetFontSize(m_nFontSize);
    profile->SetFontBold(m_bBold);
    profile->SetFontUnderline(m_bUnderline);
    profile->SetFontItalicize(m_bItalicize);
    profile->SetRemoveRowsWithSpace(m_bRemoveEmptyRows);
    profile->SetResizeCells(m_bResizeCells);
    profile->SetReportIdentifier(m_strReportIdentifier.c_str());

    CComboBox* date = Combo(IDC_DATE_FORMAT);
    const int dateIndex = date->GetCurSel();
    const LPCTSTR dateFormat =
        dateIndex == CB_ERR ? m_strEmpty.c_str() : static_cast<LPCTSTR>(date->GetItemDataPtr(dateIndex));
    profile->SetDateFormat(dateFormat, m_strCustomFormat.c_str());

    CComboBox* number = Combo(IDC_NUMBER_FORMAT);
    const int numberIndex = number->GetCurSel();
    const CString base = numberIndex == CB_ERR
                             ? CString()
                             : CString(static_cast<LPCTSTR>(number->GetItemDataPtr(numberIndex)));
    profile->SetNumericFormat(BuildNumberFormat(base).c_str());

    if (!profile->GetRemoveDataSection()) {
        // The list must not keep entries of anchors that are gone.
        if (pProfile == m_pCurrentProfile) {
            SectionList()->ResetContent();
        }
        profile->ClearAllDataAnchors();
    }
}

CString KorvanePrintDriverPropertiesDlg::BuildNumberFormat(const CString& strBaseFormat) {
    if (strBaseFormat.empty()) {
        return {};
    }
    CString decimals;
    if (m_nDecimalPlaces > 0) {
        decimals = L".0";
        for (int i = 1; i < m_nDecimalPlaces; ++i) {
            decimals += L"0";
        }
    }
    CString result;
    for (wchar_t ch : strBaseFormat) {
        if (ch == L'@') {
            result += decimals;
        } else {
            result += ch;
        }
    }
    return result;
}
