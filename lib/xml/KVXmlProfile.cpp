#include "lib/xml/KVXmlProfile.h"

#include <cwchar>
#include <string>

#include "lib/util/KVLibUtility.h"
#include "lib/util/KVText.h"
#include "lib/xml/KVProfileXmlFile.h"
#include "lib/xml/KVXmlNodeImpl.h"
#include "platform/base/TextCodec.h"

namespace kvlib::xml {

TiXmlElement* AppendElement(TiXmlNode* parent, const char* name) {
    auto* element = new TiXmlElement(name);
    parent->LinkEndChild(element);
    return element;
}

void AppendTextElement(TiXmlNode* parent, const char* name, const std::string& text) {
    TiXmlElement* element = AppendElement(parent, name);
    element->LinkEndChild(new TiXmlText(text.c_str()));
}

void AppendWideElement(TiXmlNode* parent, const char* name, const wchar_t* text) {
    const std::size_t length = text != nullptr ? std::wcslen(text) : 0;
    AppendTextElement(
        parent, name,
        sw::base::ToLocale(std::wstring_view(text, length), static_cast<std::size_t>(KV_TEXT_CAPACITY - 1)));
}

void AppendLongElement(TiXmlNode* parent, const char* name, long value) {
    AppendTextElement(parent, name, std::to_string(value));
}

void AppendFlagElement(TiXmlNode* parent, const char* name, long value) {
    AppendTextElement(parent, name, value == 1 ? "1" : "0");
}

}  // namespace kvlib::xml

using kvlib::xml::AppendFlagElement;
using kvlib::xml::AppendLongElement;
using kvlib::xml::AppendWideElement;
using F = KVProfileXmlFile;

// ---- Font -------------------------------------------------------------------

KVXmlFont::KVXmlFont() {
    SetFontName(L"Arial");
}

KVXmlFont::KVXmlFont(const KVXmlFont& other) = default;
KVXmlFont& KVXmlFont::operator=(const KVXmlFont& other) = default;
KVXmlFont::~KVXmlFont() = default;

void KVXmlFont::SetFontName(LPCTSTR name) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(name, m_sFontName, KV_TEXT_CAPACITY);
}

void KVXmlFont::OutputXml(KVXmlNode* element) const {
    TiXmlNode* parent = kvlib::xml::Node(element);
    if (parent == nullptr) {
        return;
    }
    AppendWideElement(parent, F::msc_pFontNameElementName, m_sFontName);
    AppendLongElement(parent, F::msc_pFontSizeElementName, m_lFontSize);
    AppendFlagElement(parent, F::msc_pFontBoldElementName, m_nBold);
    AppendFlagElement(parent, F::msc_pFontItalicizeElementName, m_nItalicize);
    AppendFlagElement(parent, F::msc_pFontUnderlineElementName, m_nUnderline);
    AppendFlagElement(parent, F::msc_pRemoveFormattingOfCellsElementName, m_nRemoveFormattingOfCells);
}

// ---- Anchor -----------------------------------------------------------------

KVXmlRemoveDataAnchor::KVXmlRemoveDataAnchor() = default;
KVXmlRemoveDataAnchor::KVXmlRemoveDataAnchor(const KVXmlRemoveDataAnchor& other) = default;
KVXmlRemoveDataAnchor& KVXmlRemoveDataAnchor::operator=(const KVXmlRemoveDataAnchor& other) = default;
KVXmlRemoveDataAnchor::~KVXmlRemoveDataAnchor() = default;

void KVXmlRemoveDataAnchor::SetAnchorDescriptor(LPCTSTR descriptor) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(descriptor, m_sAnchorDescriptor, KV_TEXT_CAPACITY);
}

void KVXmlRemoveDataAnchor::OutputXml(KVXmlNode* element) const {
    TiXmlNode* parent = kvlib::xml::Node(element);
    if (parent == nullptr) {
        return;
    }
    AppendWideElement(parent, F::msc_pAnchorDescriptorElementName, m_sAnchorDescriptor);
    AppendLongElement(parent, F::msc_pAnchorIndexElementName, m_lAnchorIndex);
    AppendLongElement(parent, F::msc_pAnchorTypeElementName, m_lAnchorType);
    AppendLongElement(parent, F::msc_pAnchorAreaBottomElementName, m_lAreaBottom);
    AppendLongElement(parent, F::msc_pAnchorAreaLeftElementName, m_lAreaLeft);
    AppendLongElement(parent, F::msc_pAnchorAreaRightElementName, m_lAreaRight);
    AppendLongElement(parent, F::msc_pAnchorAreaTopElementName, m_lAreaTop);
}

// ---- Profile ----------------------------------------------------------------

KVXmlProfile::KVXmlProfile() = default;

KVXmlProfile::KVXmlProfile(const KVXmlProfile& other) {
    CopyFields(other);
}

KVXmlProfile& KVXmlProfile::operator=(const KVXmlProfile& other) {
    if (this != &other) {
        CopyFields(other);
    }
    return *this;
}

KVXmlProfile::~KVXmlProfile() {
    ClearAnchorArray();
}

void KVXmlProfile::CopyFields(const KVXmlProfile& other) {
    // Copy the anchors first, so a failed allocation leaves this record whole.
    std::vector<KVXmlRemoveDataAnchor*> anchors;
    try {
        for (const KVXmlRemoveDataAnchor* anchor : other.m_arrAnchors) {
            anchors.push_back(new KVXmlRemoveDataAnchor(*anchor));
        }
    } catch (...) {
        for (KVXmlRemoveDataAnchor* anchor : anchors) {
            delete anchor;
        }
        throw;
    }
    ClearAnchorArray();
    m_arrAnchors = std::move(anchors);
    m_font = other.m_font;
    m_lProfileType = other.m_lProfileType;
    KVLibUtility::CopyLPCTSTRToLPTSTR(other.m_sDateFormat, m_sDateFormat, KV_TEXT_CAPACITY);
    KVLibUtility::CopyLPCTSTRToLPTSTR(other.m_sCustomDateFormat, m_sCustomDateFormat, KV_TEXT_CAPACITY);
    KVLibUtility::CopyLPCTSTRToLPTSTR(other.m_sNumericFormat, m_sNumericFormat, KV_TEXT_CAPACITY);
    KVLibUtility::CopyLPCTSTRToLPTSTR(other.m_sProfileName, m_sProfileName, KV_TEXT_CAPACITY);
    KVLibUtility::CopyLPCTSTRToLPTSTR(other.m_sReportIdentifier, m_sReportIdentifier, KV_TEXT_CAPACITY);
    m_nMoveToTopLeftCell = other.m_nMoveToTopLeftCell;
    m_nRemoveColumnsWithSpace = other.m_nRemoveColumnsWithSpace;
    m_nRemoveDataSection = other.m_nRemoveDataSection;
    m_nRemoveRowsWithSpace = other.m_nRemoveRowsWithSpace;
    m_nResizeCells = other.m_nResizeCells;
}

KVXmlRemoveDataAnchor* KVXmlProfile::GetAnchor(long index) const {
    if (index < 0 || index >= GetAnchorCount()) {
        return nullptr;
    }
    return m_arrAnchors[static_cast<std::size_t>(index)];
}

void KVXmlProfile::AddAnchor(KVXmlRemoveDataAnchor* anchor) {
    if (anchor == nullptr) {
        return;
    }
    try {
        m_arrAnchors.push_back(anchor);
    } catch (...) {
        delete anchor;
        throw;
    }
}

void KVXmlProfile::ClearAnchorArray() {
    for (auto it = m_arrAnchors.rbegin(); it != m_arrAnchors.rend(); ++it) {
        delete *it;
    }
    m_arrAnchors.clear();
}

void KVXmlProfile::SetDateFormat(LPCTSTR format, LPCTSTR customFormat) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(format, m_sDateFormat, KV_TEXT_CAPACITY);
    if (customFormat != nullptr && customFormat[0] != L'\0') {
        KVLibUtility::CopyLPCTSTRToLPTSTR(customFormat, m_sCustomDateFormat, KV_TEXT_CAPACITY);
    } else {
        m_sCustomDateFormat[0] = L'\0';
    }
}

void KVXmlProfile::SetNumericFormat(LPCTSTR format) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(format, m_sNumericFormat, KV_TEXT_CAPACITY);
}

void KVXmlProfile::SetProfileName(LPCTSTR name) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(name, m_sProfileName, KV_TEXT_CAPACITY);
}

void KVXmlProfile::SetReportIdentifier(LPCTSTR identifier) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(identifier, m_sReportIdentifier, KV_TEXT_CAPACITY);
}

void KVXmlProfile::OutputXml(KVXmlNode* element) const {
    TiXmlNode* parent = kvlib::xml::Node(element);
    if (parent == nullptr) {
        return;
    }
    AppendLongElement(parent, F::msc_pProfileTypeElementName, m_lProfileType);
    AppendWideElement(parent, F::msc_pDateFormatElementName, m_sDateFormat);
    AppendWideElement(parent, F::msc_pCustomDateFormatElementName, m_sCustomDateFormat);
    AppendFlagElement(parent, F::msc_pMoveToTopLeftCellElementName, m_nMoveToTopLeftCell);
    AppendWideElement(parent, F::msc_pNumericFormatElementName, m_sNumericFormat);
    AppendWideElement(parent, F::msc_pProfileNameElementName, m_sProfileName);
    AppendWideElement(parent, F::msc_pReportIdentifierElementName, m_sReportIdentifier);
    AppendFlagElement(parent, F::msc_pRemoveColumnsWithSpaceElementName, m_nRemoveColumnsWithSpace);
    AppendFlagElement(parent, F::msc_pRemoveDataSectionElementName, m_nRemoveDataSection);
    AppendFlagElement(parent, F::msc_pRemoveRowsWithSpaceElementName, m_nRemoveRowsWithSpace);
    AppendFlagElement(parent, F::msc_pResizeCellsElementName, m_nResizeCells);
    m_font.OutputXml(kvlib::xml::Handle(kvlib::xml::AppendElement(parent, F::msc_pFontElementName)));
    TiXmlElement* anchors = kvlib::xml::AppendElement(parent, F::msc_pRemoveDataAnchorsElementName);
    for (const KVXmlRemoveDataAnchor* anchor : m_arrAnchors) {
        anchor->OutputXml(
            kvlib::xml::Handle(kvlib::xml::AppendElement(anchors, F::msc_pRemoveDataAnchorElementName)));
    }
}
