#include "parser/editor/KVManageProfilesDlg.h"

#include "parser/res/Dialogs.h"
#include "parser/res/resource.h"
#include "platform/ui/MessageBox.h"

namespace {
constexpr int kNameColumn = 0;
constexpr int kSelectColumn = 1;
}  // namespace

KVManageProfilesDlg::KVManageProfilesDlg(const KVProfileArray* pProfiles, CWnd* pParent)
    : CDialog(DialogTemplateFor(IDD_MANAGE_PROFILES), pParent), m_pProfiles(pProfiles) {}

KVProfileArray& KVManageProfilesDlg::GetSelectedProfiles() {
    return m_arrSelected;
}

void KVManageProfilesDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, static_cast<int>(IDC_PROFILE_LIST), m_List);
}

BOOL KVManageProfilesDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetupList(&m_List);
    return TRUE;
}

void KVManageProfilesDlg::SetupList(CXListCtrl* pList) {
    pList->SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    pList->EnableToolTips(TRUE);

    CRect rect;
    pList->GetWindowRect(&rect);
    const int width = static_cast<int>(rect.Width()) - 2;
    const int nameWidth = 50 * width / 64;
    pList->InsertColumn(kNameColumn, L"Profile Name", LVCFMT_LEFT, nameWidth);
    pList->InsertColumn(kSelectColumn, L"Select", LVCFMT_LEFT, width - nameWidth - 2);

    // Image 0 is empty: the header offers no box that ticks every row.
    m_HeaderImages.Create(IDB_HEADER_CHECKS, 16, 3, RGB(255, 0, 255));
    CHeaderCtrl* header = pList->GetHeaderCtrl();
    header->SetImageList(&m_HeaderImages);
    for (int column = 0; column < header->GetItemCount(); ++column) {
        HDITEM item;
        item.mask = HDI_IMAGE | HDI_FORMAT;
        header->GetItem(column, &item);
        item.fmt |= HDF_IMAGE;
        item.iImage = 0;
        header->SetItem(column, &item);
    }

    LVCOLUMN format;
    format.mask = LVCF_FMT;
    format.fmt = LVCFMT_CENTER;
    pList->SetColumn(kNameColumn, &format);
    format.fmt = LVCFMT_LEFT;
    pList->SetColumn(kSelectColumn, &format);

    FillList(pList);
}

void KVManageProfilesDlg::FillList(CXListCtrl* pList) {
    if (m_pProfiles == nullptr) {
        return;
    }
    int row = 0;
    for (KVDriverOptionsProfile* profile : *m_pProfiles) {
        if (profile == nullptr) {
            continue;
        }
        const int index = pList->InsertItem(row, profile->GetProfileName());
        if (index < 0) {
            continue;
        }
        pList->SetCheckbox(index, kSelectColumn, 0);
        pList->SetItemData(index, reinterpret_cast<ULONG_PTR>(profile));
        ++row;
    }
}

void KVManageProfilesDlg::CollectSelectedProfiles() {
    m_arrSelected.clear();
    for (int row = 0; row < m_List.GetItemCount(); ++row) {
        auto* profile = reinterpret_cast<KVDriverOptionsProfile*>(m_List.GetItemData(row));
        if (m_List.GetCheckbox(row, kSelectColumn) == 1 && profile != nullptr) {
            m_arrSelected.push_back(profile);
        }
    }
}

void KVManageProfilesDlg::OnOK() {
    CollectSelectedProfiles();
    if (!m_arrSelected.empty() || m_pProfiles == nullptr || m_pProfiles->empty()) {
        EndDialog(IDOK);
        return;
    }
    AfxMessageBox(L"Please select a profile.", MB_OK | MB_ICONEXCLAMATION);
}
