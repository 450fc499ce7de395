#include "parser/editor/KVFontPreviewCBX.h"

#include <algorithm>

#include "parser/res/resource.h"

KVFontPreviewCBX::KVFontPreviewCBX() : m_clrSample(GetSysColor(COLOR_WINDOWTEXT)) {}

KVFontPreviewCBX::~KVFontPreviewCBX() = default;

void KVFontPreviewCBX::Init() {
    m_imgTrueType.DeleteImageList();
    m_imgTrueType.Create(IDB_TRUETYPE, 15, 1, RGB(255, 255, 255));
    ResetContent();
    m_fonts.clear();
    EnumFontFamilies([this](const CString& face, DWORD fontType) {
        const int index = AddString(face.c_str());
        if (index >= 0) {
            SetItemData(index, fontType);
            auto font = std::make_unique<CFont>();
            if (font->CreateFont(m_nFontHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                 DEFAULT_QUALITY, 0, face.c_str())) {
                m_fonts[face] = std::move(font);
            }
        }
        return true;
    });
    SetCurSel(0);
}

void KVFontPreviewCBX::SetFontHeight(int nHeight, bool bRefill) {
    if (nHeight == m_nFontHeight) {
        return;
    }
    m_nFontHeight = nHeight;
    if (bRefill) {
        Init();
    }
}

void KVFontPreviewCBX::MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) {
    CString face;
    GetLBText(static_cast<int>(lpMeasureItemStruct->itemID), face);
    CFont font;
    if (!font.CreateFont(m_nFontHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                         ANTIALIASED_QUALITY, 0, face.c_str())) {
        return;
    }
    CClientDC dc(this);
    CFont* previous = dc.SelectObject(&font);
    TEXTMETRIC metrics;
    dc.GetTextMetrics(&metrics);
    lpMeasureItemStruct->itemHeight = static_cast<UINT>(metrics.tmHeight + 4);
    m_nWidestSample = std::max(m_nWidestSample, static_cast<int>(dc.GetTextExtent(m_strSample).cx));
    dc.SelectObject(CFont::GetDefaultGuiFont());
    m_nWidestName = std::max(m_nWidestName, static_cast<int>(dc.GetTextExtent(face).cx));
    dc.SelectObject(previous);
    font.DeleteObject();
}

void KVFontPreviewCBX::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    CDC* pDC = CDC::FromHandle(lpDrawItemStruct->hDC);
    CRect rect = lpDrawItemStruct->rcItem;
    if ((lpDrawItemStruct->itemState & ODS_FOCUS) != 0) {
        pDC->DrawFocusRect(&rect);
    }
    if (lpDrawItemStruct->itemID == static_cast<UINT>(-1)) {
        return;
    }
    const int item = static_cast<int>(lpDrawItemStruct->itemID);
    CString face;
    GetLBText(item, face);
    const DWORD fontType = static_cast<DWORD>(lpDrawItemStruct->itemData);

    COLORREF nameColour = pDC->GetTextColor();
    COLORREF sampleColour = m_clrSample;
    if ((lpDrawItemStruct->itemState & ODS_SELECTED) != 0) {
        pDC->FillSolidRect(&rect, GetSysColor(COLOR_HIGHLIGHT));
        nameColour = sampleColour = GetSysColor(COLOR_HIGHLIGHTTEXT);
    } else {
        pDC->FillSolidRect(&rect, pDC->GetBkColor());
    }
    pDC->SetBkMode(TRANSPARENT);

    if ((fontType & TRUETYPE_FONTTYPE) != 0) {
        m_imgTrueType.Draw(pDC, 0, CPoint(rect.left + 5, rect.top + 4), ILD_TRANSPARENT);
    }
    const long textLeft = rect.left + 15;

    CFont* previous = pDC->SelectObject(GetFont());
    const CSize name = pDC->GetTextExtent(face);
    pDC->SetTextColor(nameColour);
    pDC->TextOut(static_cast<int>(textLeft + 10), static_cast<int>(rect.top + (rect.Height() - name.cy) / 2),
                 face);

    const auto cached = m_fonts.find(face);
    if (m_style == NAME_THEN_SAMPLE && cached != m_fonts.end()) {
        // In the open list the samples line up after the widest name.
        const long width = (lpDrawItemStruct->itemState & ODS_COMBOBOXEDIT) != 0 ? name.cx : m_nWidestName;
        pDC->SelectObject(cached->second.get());
        const CSize sample = pDC->GetTextExtent(m_strSample);
        pDC->SetTextColor(sampleColour);
        pDC->TextOut(static_cast<int>(textLeft + 20 + width),
                     static_cast<int>(rect.top + (rect.Height() - sample.cy) / 2), m_strSample);
    }
    pDC->SelectObject(previous);
}

void KVFontPreviewCBX::OnDropDown() {
    SetDroppedWidth(static_cast<UINT>(GetSystemMetrics(SM_CXVSCROLL) + m_nWidestSample + m_nWidestName + 35));
}

void DDX_FontPreviewCombo(CDataExchange* pDX, int nIDC, CString& faceName) {
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    auto* combo = dynamic_cast<CComboBox*>(CWnd::FromHandle(hWnd));
    if (combo == nullptr) {
        return;
    }
    if (pDX->m_bSaveAndValidate) {
        const int selected = combo->GetCurSel();
        if (selected == CB_ERR) {
            faceName.clear();
        } else {
            combo->GetLBText(selected, faceName);
        }
        return;
    }
    int index = combo->FindString(-1, faceName.c_str());
    if (index == CB_ERR) {
        index = 0;
    }
    combo->SetCurSel(index);
}
