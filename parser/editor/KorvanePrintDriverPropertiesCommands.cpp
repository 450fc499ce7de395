// The commands of the properties dialog that change lists rather than single
// settings: the remove-data anchors of the current profile, and the profiles
// of the options manager (the Options menu).
#include <vector>

#include "lib/util/KVLibUtility.h"
#include "parser/editor/KVManageProfilesDlg.h"
#include "parser/editor/KVNewProfileName.h"
#include "parser/editor/KorvanePrintDriverPropertiesDlg.h"
#include "parser/res/resource.h"
#include "platform/ui/FileDialog.h"
#include "platform/ui/MessageBox.h"

namespace {

const wchar_t* const kXmlFilter = L"XML Files (*.xml)|*.xml|All Files (*.*)|*.*||";
constexpr UINT kWarning = MB_OK | MB_ICONEXCLAMATION;
constexpr UINT kQuestion = MB_YESNO | MB_ICONEXCLAMATION;

}  // namespace

// Anchors

void KorvanePrintDriverPropertiesDlg::LoadAnchorToControls(KVExcelRemoveDataAnchor* pAnchor) {
    if (pAnchor == nullptr) {
        return;
    }
    if (pAnchor->GetAnchorType() != KVExcelRemoveDataAnchor::enAnchorNone) {
        Combo(IDC_SECTION_TYPE)->SetCurSel(static_cast<int>(pAnchor->GetAnchorType()) - 1);
    }
    m_strSectionKeyword = pAnchor->GetAnchorDescriptor();
    const CRect& area = pAnchor->GetAreaToRemove();
    m_nRemoveCellsLeft = static_cast<int>(area.left);
    m_nRemoveCellsUp = static_cast<int>(area.top);
    m_nRemoveCellsRight = static_cast<int>(area.right);
    m_nRemoveCellsDown = static_cast<int>(area.bottom);
}

void KorvanePrintDriverPropertiesDlg::SaveControlsToAnchor(KVExcelRemoveDataAnchor* pAnchor) {
    if (pAnchor == nullptr) {
        return;
    }
    const auto type =
        KVExcelRemoveDataAnchor::GetAnchorTypeFromIndex(Combo(IDC_SECTION_TYPE)->GetCurSel() + 1);
    if (type == KVExcelRemoveDataAnchor::enAnchorNone) {
        return;
    }
    wchar_t descriptor[1024] = {};
    CopyLPCTSTRToLPTSTR(m_strSectionKeyword.c_str(), descriptor, 1024);
    pAnchor->SetAnchorType(type);
    pAnchor->SetAnchorDescriptor(descriptor);
    pAnchor->SetAnchorIndex(SectionList()->GetCount());
    pAnchor->SetAreaToRemove(
        CRect(m_nRemoveCellsLeft, m_nRemoveCellsUp, m_nRemoveCellsRight, m_nRemoveCellsDown));
}

void KorvanePrintDriverPropertiesDlg::OnSectionListSelChange() {
    KVExcelRemoveDataAnchor* anchor = GetSelectedAnchor();
    ReadControls();
    LoadAnchorToControls(anchor);
    RefreshControls();
    CListBox* list = SectionList();
    for (int i = 0; anchor != nullptr && i < list->GetCount(); ++i) {
        if (GetAnchorAt(i) == anchor) {
            list->SetCurSel(i);
            break;
        }
    }
}

void KorvanePrintDriverPropertiesDlg::OnAddSection() {
    ReadControls();
    KVDriverOptionsExcel* profile = CurrentExcelProfile();
    if (m_bRemoveSections && profile != nullptr && !IsDefaultProfile(m_pCurrentProfile)) {
        CListBox* list = SectionList();
        bool listed = false;
        for (int i = 0; i < list->GetCount(); ++i) {
            CString text;
            list->GetText(i, text);
            listed = listed || SameText(text.c_str(), m_strSectionKeyword.c_str());
        }
        if (m_strSectionKeyword.empty()) {
            AfxMessageBox(L"Please enter an anchor keyword before adding a new anchor.", kWarning);
        } else if (listed) {
            AfxMessageBox(L"The anchor " + m_strSectionKeyword + L" already exists.", kWarning);
        } else if (Combo(IDC_SECTION_TYPE)->GetCurSel() != CB_ERR) {
            KVExcelRemoveDataAnchor* anchor = profile->CreateRemoveDataAnchor();
            const int index = list->AddString(m_strSectionKeyword.c_str());
            list->SetItemDataPtr(index, anchor);
            SaveControlsToAnchor(anchor);
            list->SetCurSel(index);
        }
    }
    RefreshControls();
}

void KorvanePrintDriverPropertiesDlg::OnEditSection() {
    ReadControls();
    KVExcelRemoveDataAnchor* anchor = GetSelectedAnchor();
    if (anchor == nullptr) {
        AfxMessageBox(L"Please select an anchor to edit.", kWarning);
    } else {
        SaveControlsToAnchor(anchor);
        CListBox* list = SectionList();
        const int selected = list->GetCurSel();
        list->DeleteString(static_cast<UINT>(selected));
        list->InsertString(selected, m_strSectionKeyword.c_str());
        list->SetItemDataPtr(selected, anchor);
    }
    RefreshControls();
}

void KorvanePrintDriverPropertiesDlg::OnRemoveSection() {
    ReadControls();
    KVExcelRemoveDataAnchor* anchor = GetSelectedAnchor();
    KVDriverOptionsExcel* profile = CurrentExcelProfile();
    if (anchor == nullptr) {
        AfxMessageBox(L"Please select an anchor to remove.", kWarning);
    } else {
        SaveControlsToAnchor(anchor);
        if (AfxMessageBox(L"Are you sure you want to remove the " + m_strSectionKeyword + L" anchor?",
                          kQuestion) == IDYES) {
            CListBox* list = SectionList();
            const int selected = list->GetCurSel();
            // The anchor itself goes: by its keyword alone an earlier anchor
            // of the same keyword (possible after "Edit Section") would.
            for (long i = 0; profile != nullptr && i < profile->GetRemoveDataAnchorCount(); ++i) {
                if (profile->GetEditableRemoveDataAnchor(i) == anchor) {
                    profile->RemoveDataAnchor(i);
                    break;
                }
            }
            list->SetCurSel(-1);
            list->DeleteString(static_cast<UINT>(selected));
        }
    }
    RefreshControls();
}

// Profiles

void KorvanePrintDriverPropertiesDlg::OnAddProfile() {
    KVNewProfileName dialog(this);
    if (dialog.DoModal() != IDOK) {
        return;
    }
    const CString name = dialog.m_strProfileName;
    bool listed = false;
    CComboBox* combo = Combo(IDC_PROFILE_COMBO);
    for (int i = 0; i < combo->GetCount(); ++i) {
        CString text;
        combo->GetLBText(i, text);
        listed = listed || SameText(text.c_str(), name.c_str());
    }
    if (m_pOptionsMgr->DoesProfileExist(name.c_str()) || listed) {
        AfxMessageBox(L"Profile '" + name + L"' already exists.", kWarning);
        return;
    }
    auto* profile = dynamic_cast<KVDriverOptionsExcel*>(
        m_pOptionsMgr->CreateNewDriverOption(KVFileParserTypes::enFileParserExcel, name.c_str()));
    if (profile == nullptr) {
        return;
    }
    profile->SetProfileName(name.c_str());
    profile->SetReportIdentifier(name.c_str());
    const int index = AddProfileToList(profile);
    combo->SetCurSel(index);
    ExchangeProfile(m_pCurrentProfile, profile);
    m_pCurrentProfile = profile;
}

void KorvanePrintDriverPropertiesDlg::OnDeleteProfile() {
    KVDriverOptionsProfile* selected = GetSelectedProfile();
    if (selected == nullptr || IsDefaultProfile(selected)) {
        return;
    }
    const CString name = selected->GetProfileName();
    if (AfxMessageBox(L"Are you sure you want to remove the " + name + L" profile?", kQuestion) != IDYES) {
        return;
    }
    CComboBox* combo = Combo(IDC_PROFILE_COMBO);
    combo->DeleteString(static_cast<UINT>(combo->GetCurSel()));
    combo->SetCurSel(0);
    m_pOptionsMgr->RemoveProfile(selected);
    m_pCurrentProfile = m_pOptionsMgr->GetDefaultExcelDriverOptions();
    LoadProfileToControls(m_pCurrentProfile);
}

void KorvanePrintDriverPropertiesDlg::OnExportProfiles() {
    KVManageProfilesDlg manage(&m_pOptionsMgr->GetExcelProfileArray(), nullptr);
    if (manage.DoModal() != IDOK || manage.GetSelectedProfiles().empty()) {
        return;
    }
    CFileDialog dialog(FALSE, L"xml", nullptr, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST,
                       kXmlFilter, this);
    if (dialog.DoModal() != IDOK) {
        return;
    }
    if (m_pOptionsMgr->ExportProfiles(&manage.GetSelectedProfiles(), dialog.GetPathName().c_str())) {
        AfxMessageBox(L"Profiles exported.", kWarning);
    } else {
        AfxMessageBox(L"There was an error during the export process.", kWarning);
    }
}

void KorvanePrintDriverPropertiesDlg::OnImportProfiles() {
    CFileDialog dialog(TRUE, L"xml", nullptr, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST,
                       kXmlFilter, this);
    if (dialog.DoModal() != IDOK) {
        return;
    }
    // A copy: the manager's list of the import is its own to dispose of.
    const std::vector<KVDriverOptionsProfile*> imported =
        m_pOptionsMgr->ImportProfiles(dialog.GetPathName().c_str());
    bool changed = false;
    for (KVDriverOptionsProfile* source : imported) {
        CString name = source->GetProfileName();
        if (m_pOptionsMgr->DoesProfileExist(name.c_str())) {
            if (KVDriverOptionsProfile* existing = m_pOptionsMgr->GetExcelProfile(name.c_str())) {
                if (AfxMessageBox(
                        L"The profile '" + name + L"' already exists.  Replace the existing profile?",
                        kQuestion) == IDYES) {
                    if (existing == m_pCurrentProfile) {
                        SectionList()->ResetContent();  // its anchors are about to be replaced
                    }
                    existing->CopyFrom(*source);
                    changed = true;
                }
                continue;
            }
            // Only the built-in default profile has a name the list does not
            // hold. It cannot be replaced (it is made anew at every start), so
            // the imported settings are kept under a name of their own.
            const CString kept = m_pOptionsMgr->GetFreeProfileName(name.c_str());
            CString message = L"The profile '" + name;
            message += L"' is built in and cannot be replaced.  The imported profile is added as '";
            message += kept;
            message += L"'.";
            AfxMessageBox(message, kWarning);
            name = kept;
        }
        KVDriverOptionsProfile* profile =
            m_pOptionsMgr->CreateNewDriverOption(source->GetDriverOptionType(), name.c_str());
        if (profile == nullptr) {
            continue;
        }
        profile->CopyFrom(*source);
        profile->SetProfileName(name.c_str());
        AddProfileToList(profile);
        changed = true;
    }
    if (changed) {
        AfxMessageBox(L"Profiles imported.", kWarning);
        LoadProfileToControls(m_pCurrentProfile);
    }
}
