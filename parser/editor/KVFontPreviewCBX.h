// The "Default Font:" box: every installed font family, each name followed
// by a sample drawn in that face.
#pragma once

#include <map>
#include <memory>

#include "platform/ui/Controls.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Gdi.h"

class KVFontPreviewCBX : public CComboBox {
public:
    enum PreviewStyle { NAME_THEN_SAMPLE };

    KVFontPreviewCBX();
    ~KVFontPreviewCBX() override;

    // Refills the list from the font database, caching a font of each face,
    // and selects the first entry.
    void Init();
    // A new preview height; refills the list when refill is true. The same
    // height as before changes nothing.
    void SetFontHeight(int nHeight, bool bRefill);
    int GetFontHeight() const { return m_nFontHeight; }
    const CString& GetSampleText() const { return m_strSample; }
    int GetWidestName() const { return m_nWidestName; }
    int GetWidestSample() const { return m_nWidestSample; }
    bool IsFontCached(const CString& face) const { return m_fonts.count(face) != 0; }

protected:
    void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) override;
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    void OnDropDown() override;

private:
    CString m_strSample = L"abcdeABCDE";
    COLORREF m_clrSample;
    CImageList m_imgTrueType;
    std::map<CString, std::unique_ptr<CFont>> m_fonts;
    PreviewStyle m_style = NAME_THEN_SAMPLE;
    int m_nFontHeight = 16;
    int m_nWidestName = 0;
    int m_nWidestSample = 0;
};

// Reading stores the selected face (empty with no selection); writing
// selects the first face beginning with `faceName` ignoring case, or the
// first face of the list.
void DDX_FontPreviewCombo(CDataExchange* pDX, int nIDC, CString& faceName);
