#include "lib/options/KVDriverOptionsExcel.h"

#include <cwchar>
#include <exception>
#include <string>

#include "lib/registry/KVTRegistryValue.h"
#include "lib/util/KVLibUtility.h"
#include "lib/util/KVText.h"
#include "lib/xml/KVXmlProfile.h"

const wchar_t* const KVDriverOptionsExcel::msc_sDateFormat_Custom = L"Custom";
const wchar_t* const KVDriverOptionsExcel::msc_sDateFormat_m_d_yyyy = L"m/d/yyyy";
const wchar_t* const KVDriverOptionsExcel::msc_sDateFormat_m_d_yy = L"m/d/yy";
const wchar_t* const KVDriverOptionsExcel::msc_sDateFormat_dddd_mmmm_dd_yyyy = L"dddd, mmmm dd, yyyy";
const wchar_t* const KVDriverOptionsExcel::msc_sDateFormat_mm_dd_yyyy = L"mm/dd/yyyy";
const wchar_t* const KVDriverOptionsExcel::msc_sDateFormat_d_mmm_yy = L"d-mmm-yy";
const wchar_t* const KVDriverOptionsExcel::msc_sDateFormat_yyyy_mm_dd = L"yyyy-mm-dd;@";
const wchar_t* const KVDriverOptionsExcel::msc_sNumberFormat_General = L"0@";
const wchar_t* const KVDriverOptionsExcel::msc_sNumberFormat_Percentage = L"0@%";
const wchar_t* const KVDriverOptionsExcel::msc_sNumberFormat_Currency = L"$#,##0@";
wchar_t KVDriverOptionsExcel::msc_sEmptyString[KV_TEXT_CAPACITY] = {};

namespace {

using Text = KVTRegistry_string<CString>;
using Int = KVTRegistry_int<int>;
using Flag = KVTRegistry_BOOL<int>;

// Value names of one profile, relative to its key, in writing order.
const wchar_t* const kOutputFolder = L"OutputFolder";
const wchar_t* const kLastFileOpened = L"LastFileOpened";
const wchar_t* const kMoveToTopLeftCell = L"MoveToTopLeftCell";
const wchar_t* const kResizeCells = L"ResizeCells";
const wchar_t* const kRemoveFormattingOfCells = L"Font\\RemoveFormattingOfCells";
const wchar_t* const kFontName = L"Font\\FontName";
const wchar_t* const kFontSize = L"Font\\FontSize";
const wchar_t* const kFontBold = L"Font\\FontBold";
const wchar_t* const kFontUnderline = L"Font\\FontUnderline";
const wchar_t* const kFontItalicize = L"Font\\FontItalicize";
const wchar_t* const kRemoveDataSection = L"RemoveDataSection";
const wchar_t* const kRemoveRowsWithSpace = L"RemoveRowsWithSpace";
const wchar_t* const kRemoveColumnsWithSpace = L"RemoveColumnsWithSpace";
const wchar_t* const kDateFormat = L"DateFormat";
const wchar_t* const kNumericFormat = L"NumericFormat";
const wchar_t* const kReportIdentifier = L"ReportIdentifier";
const wchar_t* const kCustomDateFormat = L"CustomDateFormat";
const wchar_t* const kAnchorsKey = L"RemoveDataSectionAnchors\\";
const wchar_t* const kRemoveDataAnchors = L"RemoveDataAnchors";

const wchar_t* const kAnchorType = L"AnchorType";
const wchar_t* const kAnchorDescriptor = L"AnchorDescriptor";
const wchar_t* const kAnchorIndex = L"AnchorIndex";
const wchar_t* const kAreaLeft = L"AreaLeft";
const wchar_t* const kAreaTop = L"AreaTop";
const wchar_t* const kAreaRight = L"AreaRight";
const wchar_t* const kAreaBottom = L"AreaBottom";

CString AnchorKey(const CString& profileKey, long n) {
    return profileKey + kAnchorsKey + std::to_wstring(n) + L"\\";
}

bool Exists(const CString& path) {
    return KVTRegistryValue(path.c_str(), HKEY_CURRENT_USER).DoesKeyExist();
}

}  // namespace

KVDriverOptionsExcel::KVDriverOptionsExcel() {
    std::wmemset(msc_sEmptyString, L'\0', KV_TEXT_CAPACITY);
    SetFontName(L"Arial");
    KVLibUtility::CopyLPCTSTRToLPTSTR(msc_sDateFormat_m_d_yyyy, m_sDateFormat, KV_TEXT_CAPACITY);
}

KVDriverOptionsExcel::KVDriverOptionsExcel(const KVDriverOptionsExcel& other) : KVDriverOptionsExcel() {
    KVDriverOptionsExcel::InternalCopy(other);
}

KVDriverOptionsExcel& KVDriverOptionsExcel::operator=(const KVDriverOptionsExcel& other) {
    if (this != &other) {
        InternalCopy(other);
    }
    return *this;
}

KVDriverOptionsExcel::~KVDriverOptionsExcel() {
    KVDriverOptionsExcel::ClearAllDataAnchors();
}

KVFileParserTypes::enFileParserType KVDriverOptionsExcel::GetDriverOptionType() const {
    return KVFileParserTypes::enFileParserExcel;
}

KVDriverOptionsProfile* KVDriverOptionsExcel::Clone() const {
    return new KVDriverOptionsExcel(*this);
}

void KVDriverOptionsExcel::LoadDefaultValues() {
    KVDriverOptionsProfile::LoadDefaultValues();
    SetDefaultOutputFolder(GetInstallFolder());
    SetLastFileOpened(L"*.xls");
    SetMoveToTopLeftCell(1);
    SetResizeCells(1);
    SetRemoveFormattingOfCells(0);
    SetFontName(L"Arial");
    SetFontSize(12);
    SetFontBold(0);
    SetFontUnderline(0);
    SetFontItalicize(0);
    SetRemoveDataSection(0);
    SetRemoveRowsWithSpace(1);
    SetRemoveColumnsWithSpace(1);
    KVLibUtility::CopyLPCTSTRToLPTSTR(msc_sDateFormat_m_d_yyyy, m_sDateFormat, KV_TEXT_CAPACITY);
    SetNumericFormat(L"");
    SetReportIdentifier(L"");
}

void KVDriverOptionsExcel::InternalCopy(const KVDriverOptions& source) {
    KVDriverOptionsProfile::InternalCopy(source);
    const auto* excel = dynamic_cast<const KVDriverOptionsExcel*>(&source);
    if (excel == nullptr || excel == this) {
        return;
    }
    // Clone the anchors before touching anything, so a failed allocation
    // leaves this profile as it was.
    std::vector<KVExcelRemoveDataAnchor*> anchors;
    try {
        anchors.reserve(excel->m_arrRemoveDataAnchors.size());
        for (const KVExcelRemoveDataAnchor* anchor : excel->m_arrRemoveDataAnchors) {
            anchors.push_back(anchor->Clone());
        }
    } catch (...) {
        for (KVExcelRemoveDataAnchor* anchor : anchors) {
            delete anchor;
        }
        throw;
    }
    SetDefaultOutputFolder(excel->m_sDefaultOutputFolder);
    SetLastFileOpened(excel->m_sLastFileOpened);
    m_bMoveToTopLeftCell = excel->m_bMoveToTopLeftCell;
    m_bResizeCells = excel->m_bResizeCells;
    m_bRemoveFormattingOfCells = excel->m_bRemoveFormattingOfCells;
    SetFontName(excel->m_sFontName);
    m_lFontSize = excel->m_lFontSize;
    m_bFontBold = excel->m_bFontBold;
    m_bFontUnderline = excel->m_bFontUnderline;
    m_bFontItalicize = excel->m_bFontItalicize;
    m_bRemoveDataSection = excel->m_bRemoveDataSection;
    m_bRemoveRowsWithSpace = excel->m_bRemoveRowsWithSpace;
    m_bRemoveColumnsWithSpace = excel->m_bRemoveColumnsWithSpace;
    KVLibUtility::CopyLPCTSTRToLPTSTR(excel->m_sDateFormat, m_sDateFormat, KV_TEXT_CAPACITY);
    SetNumericFormat(excel->m_sNumericFormat);
    SetReportIdentifier(excel->m_sReportIdentifier);
    KVLibUtility::CopyLPCTSTRToLPTSTR(excel->m_sCustomDateFormat, m_sCustomDateFormat, KV_TEXT_CAPACITY);
    ClearAllDataAnchors();
    m_arrRemoveDataAnchors = std::move(anchors);
}

// ---- Plain fields -----------------------------------------------------------

LPCTSTR KVDriverOptionsExcel::GetDefaultOutputFolder() const {
    return m_sDefaultOutputFolder;
}
void KVDriverOptionsExcel::SetDefaultOutputFolder(LPCTSTR folder) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(folder, m_sDefaultOutputFolder, KV_TEXT_CAPACITY);
}
LPCTSTR KVDriverOptionsExcel::GetLastFileOpened() const {
    return m_sLastFileOpened;
}
void KVDriverOptionsExcel::SetLastFileOpened(LPCTSTR file) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(file, m_sLastFileOpened, KV_TEXT_CAPACITY);
}
BOOL KVDriverOptionsExcel::GetMoveToTopLeftCell() const {
    return m_bMoveToTopLeftCell;
}
void KVDriverOptionsExcel::SetMoveToTopLeftCell(BOOL value) {
    m_bMoveToTopLeftCell = value;
}
BOOL KVDriverOptionsExcel::GetResizeCells() const {
    return m_bResizeCells;
}
void KVDriverOptionsExcel::SetResizeCells(BOOL value) {
    m_bResizeCells = value;
}
BOOL KVDriverOptionsExcel::GetRemoveFormattingOfCells() const {
    return m_bRemoveFormattingOfCells;
}
void KVDriverOptionsExcel::SetRemoveFormattingOfCells(BOOL value) {
    m_bRemoveFormattingOfCells = value;
}
LPCTSTR KVDriverOptionsExcel::GetFontName() const {
    return m_sFontName;
}
void KVDriverOptionsExcel::SetFontName(LPCTSTR name) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(name, m_sFontName, KV_TEXT_CAPACITY);
}
long KVDriverOptionsExcel::GetFontSize() const {
    return m_lFontSize;
}
void KVDriverOptionsExcel::SetFontSize(long size) {
    m_lFontSize = size;
}
BOOL KVDriverOptionsExcel::GetFontBold() const {
    return m_bFontBold;
}
void KVDriverOptionsExcel::SetFontBold(BOOL value) {
    m_bFontBold = value;
}
BOOL KVDriverOptionsExcel::GetFontUnderline() const {
    return m_bFontUnderline;
}
void KVDriverOptionsExcel::SetFontUnderline(BOOL value) {
    m_bFontUnderline = value;
}
BOOL KVDriverOptionsExcel::GetFontItalicize() const {
    return m_bFontItalicize;
}
void KVDriverOptionsExcel::SetFontItalicize(BOOL value) {
    m_bFontItalicize = value;
}
BOOL KVDriverOptionsExcel::GetRemoveDataSection() const {
    return m_bRemoveDataSection;
}
void KVDriverOptionsExcel::SetRemoveDataSection(BOOL value) {
    m_bRemoveDataSection = value;
}
BOOL KVDriverOptionsExcel::GetRemoveRowsWithSpace() const {
    return m_bRemoveRowsWithSpace;
}
void KVDriverOptionsExcel::SetRemoveRowsWithSpace(BOOL value) {
    m_bRemoveRowsWithSpace = value;
}
BOOL KVDriverOptionsExcel::GetRemoveColumnsWithSpace() const {
    return m_bRemoveColumnsWithSpace;
}
void KVDriverOptionsExcel::SetRemoveColumnsWithSpace(BOOL value) {
    m_bRemoveColumnsWithSpace = value;
}
LPCTSTR KVDriverOptionsExcel::GetDateFormatW() const {
    return m_sDateFormat;
}

void KVDriverOptionsExcel::SetDateFormat(LPCTSTR format, LPCTSTR customFormat) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(format, m_sDateFormat, KV_TEXT_CAPACITY);
    if (GetIsCustomDateFormat()) {
        KVLibUtility::CopyLPCTSTRToLPTSTR(customFormat != nullptr ? customFormat : L"", m_sCustomDateFormat,
                                          KV_TEXT_CAPACITY);
    } else {
        std::wmemset(m_sCustomDateFormat, L'\0', KV_TEXT_CAPACITY);
    }
}

bool KVDriverOptionsExcel::GetIsCustomDateFormat() const {
    return kvlib::EqualsNoCase(m_sDateFormat, msc_sDateFormat_Custom);
}

LPCTSTR KVDriverOptionsExcel::GetCustomDateFormat() const {
    return GetIsCustomDateFormat() ? m_sCustomDateFormat : msc_sEmptyString;
}

LPCTSTR KVDriverOptionsExcel::GetNumericFormat() const {
    return m_sNumericFormat;
}
void KVDriverOptionsExcel::SetNumericFormat(LPCTSTR format) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(format, m_sNumericFormat, KV_TEXT_CAPACITY);
}
LPCTSTR KVDriverOptionsExcel::GetReportIdentifier() const {
    return m_sReportIdentifier;
}
void KVDriverOptionsExcel::SetReportIdentifier(LPCTSTR identifier) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(identifier, m_sReportIdentifier, KV_TEXT_CAPACITY);
}

// ---- Anchors ----------------------------------------------------------------

KVExcelRemoveDataAnchor* KVDriverOptionsExcel::CreateRemoveDataAnchor() {
    auto* anchor = new KVExcelRemoveDataAnchor();
    try {
        m_arrRemoveDataAnchors.push_back(anchor);
    } catch (...) {
        delete anchor;
        throw;
    }
    return anchor;
}

long KVDriverOptionsExcel::GetRemoveDataAnchorCount() const {
    return static_cast<long>(m_arrRemoveDataAnchors.size());
}

long KVDriverOptionsExcel::FindAnchor(LPCTSTR descriptor) const {
    if (descriptor == nullptr) {
        return -1;
    }
    for (std::size_t i = 0; i < m_arrRemoveDataAnchors.size(); ++i) {
        if (kvlib::EqualsNoCase(m_arrRemoveDataAnchors[i]->GetAnchorDescriptor(), descriptor)) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

const KVExcelRemoveDataAnchor* KVDriverOptionsExcel::GetRemoveDataAnchor(LPCTSTR descriptor) const {
    return GetRemoveDataAnchor(FindAnchor(descriptor));
}

const KVExcelRemoveDataAnchor* KVDriverOptionsExcel::GetRemoveDataAnchor(long index) const {
    if (index < 0 || index >= GetRemoveDataAnchorCount()) {
        return nullptr;
    }
    return m_arrRemoveDataAnchors[static_cast<std::size_t>(index)];
}

KVExcelRemoveDataAnchor* KVDriverOptionsExcel::GetEditableRemoveDataAnchor(LPCTSTR descriptor) {
    return GetEditableRemoveDataAnchor(FindAnchor(descriptor));
}

KVExcelRemoveDataAnchor* KVDriverOptionsExcel::GetEditableRemoveDataAnchor(long index) {
    if (index < 0 || index >= GetRemoveDataAnchorCount()) {
        return nullptr;
    }
    return m_arrRemoveDataAnchors[static_cast<std::size_t>(index)];
}

void KVDriverOptionsExcel::RemoveDataAnchor(LPCTSTR descriptor) {
    const long index = FindAnchor(descriptor);
    if (index >= 0) {
        RemoveDataAnchor(index);
    }
}

void KVDriverOptionsExcel::RemoveDataAnchor(long index) {
    if (index < 0 || index >= GetRemoveDataAnchorCount()) {
        return;
    }
    KVExcelRemoveDataAnchor* anchor = m_arrRemoveDataAnchors[static_cast<std::size_t>(index)];
    m_arrRemoveDataAnchors.erase(m_arrRemoveDataAnchors.begin() + index);
    delete anchor;
}

void KVDriverOptionsExcel::ClearAllDataAnchors() {
    while (!m_arrRemoveDataAnchors.empty()) {
        delete m_arrRemoveDataAnchors.back();
        m_arrRemoveDataAnchors.pop_back();
    }
}

// ---- Registry ---------------------------------------------------------------

BOOL KVDriverOptionsExcel::LoadSettings() {
    if (!KVDriverOptionsProfile::LoadSettings()) {
        return FALSE;
    }
    try {
        CString key;
        GetProfileRegPath(&key);
        auto path = [&](const wchar_t* name) { return key + name; };
        const HKEY root = HKEY_CURRENT_USER;

        SetDefaultOutputFolder(Text(path(kOutputFolder).c_str(), root).Get().c_str());
        SetLastFileOpened(Text(path(kLastFileOpened).c_str(), root).Get().c_str());
        SetMoveToTopLeftCell(Flag(path(kMoveToTopLeftCell).c_str(), root).Get());
        SetResizeCells(Flag(path(kResizeCells).c_str(), root).Get());
        SetRemoveFormattingOfCells(Flag(path(kRemoveFormattingOfCells).c_str(), root).Get());
        SetFontName(Text(path(kFontName).c_str(), root).Get().c_str());
        SetFontSize(Int(path(kFontSize).c_str(), root).Get());
        SetFontBold(Flag(path(kFontBold).c_str(), root).Get());
        SetFontUnderline(Flag(path(kFontUnderline).c_str(), root).Get());
        SetFontItalicize(Flag(path(kFontItalicize).c_str(), root).Get());
        SetRemoveDataSection(Flag(path(kRemoveDataSection).c_str(), root).Get());
        SetRemoveRowsWithSpace(Flag(path(kRemoveRowsWithSpace).c_str(), root).Get());
        SetRemoveColumnsWithSpace(Flag(path(kRemoveColumnsWithSpace).c_str(), root).Get());
        KVLibUtility::CopyLPCTSTRToLPTSTR(Text(path(kDateFormat).c_str(), root).Get().c_str(), m_sDateFormat,
                                          KV_TEXT_CAPACITY);
        SetNumericFormat(Text(path(kNumericFormat).c_str(), root).Get().c_str());
        SetReportIdentifier(Text(path(kReportIdentifier).c_str(), root).Get().c_str());
        KVLibUtility::CopyLPCTSTRToLPTSTR(Text(path(kCustomDateFormat).c_str(), root).Get().c_str(),
                                          m_sCustomDateFormat, KV_TEXT_CAPACITY);

        for (long n = 0;; ++n) {
            const CString anchorKey = AnchorKey(key, n);
            if (!Exists(anchorKey + kAnchorDescriptor)) {
                break;
            }
            KVExcelRemoveDataAnchor* anchor = CreateRemoveDataAnchor();
            anchor->SetAnchorDescriptor(Text((anchorKey + kAnchorDescriptor).c_str(), root).Get().c_str());
            anchor->SetAnchorIndex(n);
            if (Exists(anchorKey + kAnchorType)) {
                anchor->SetAnchorType(KVExcelRemoveDataAnchor::GetAnchorTypeFromIndex(
                    Int((anchorKey + kAnchorType).c_str(), root).Get()));
                if (Exists(anchorKey + kAreaLeft) && Exists(anchorKey + kAreaTop) &&
                    Exists(anchorKey + kAreaRight) && Exists(anchorKey + kAreaBottom)) {
                    anchor->SetAreaToRemove(CRect(Int((anchorKey + kAreaLeft).c_str(), root).Get(),
                                                  Int((anchorKey + kAreaTop).c_str(), root).Get(),
                                                  Int((anchorKey + kAreaRight).c_str(), root).Get(),
                                                  Int((anchorKey + kAreaBottom).c_str(), root).Get()));
                }
            }
        }
    } catch (const std::exception&) {
        // What was read stays; the profile itself was found.
    }
    return TRUE;
}

BOOL KVDriverOptionsExcel::SaveSettings() {
    if (!KVDriverOptionsProfile::SaveSettings()) {
        return FALSE;
    }
    try {
        if (!GetRemoveDataSection()) {
            ClearAllDataAnchors();
        }
        CString key;
        GetProfileRegPath(&key);
        auto path = [&](const wchar_t* name) { return key + name; };
        const HKEY root = HKEY_CURRENT_USER;

        Text(path(kOutputFolder).c_str(), root).Set(CString(GetDefaultOutputFolder()));
        Text(path(kLastFileOpened).c_str(), root).Set(CString(GetLastFileOpened()));
        Flag(path(kMoveToTopLeftCell).c_str(), root).Set(GetMoveToTopLeftCell());
        Flag(path(kResizeCells).c_str(), root).Set(GetResizeCells());
        Flag(path(kRemoveFormattingOfCells).c_str(), root).Set(GetRemoveFormattingOfCells());
        Text(path(kFontName).c_str(), root).Set(CString(GetFontName()));
        Int(path(kFontSize).c_str(), root).Set(static_cast<int>(GetFontSize()));
        Flag(path(kFontBold).c_str(), root).Set(GetFontBold());
        Flag(path(kFontUnderline).c_str(), root).Set(GetFontUnderline());
        Flag(path(kFontItalicize).c_str(), root).Set(GetFontItalicize());
        Flag(path(kRemoveDataSection).c_str(), root).Set(GetRemoveDataSection());
        Flag(path(kRemoveRowsWithSpace).c_str(), root).Set(GetRemoveRowsWithSpace());
        Flag(path(kRemoveColumnsWithSpace).c_str(), root).Set(GetRemoveColumnsWithSpace());
        Text(path(kDateFormat).c_str(), root).Set(CString(m_sDateFormat));
        Text(path(kNumericFormat).c_str(), root).Set(CString(GetNumericFormat()));
        Text(path(kReportIdentifier).c_str(), root).Set(CString(GetReportIdentifier()));
        Text(path(kCustomDateFormat).c_str(), root).Set(CString(m_sCustomDateFormat));
        Int((key + kAnchorsKey + kRemoveDataAnchors).c_str(), root).Set(0);

        for (std::size_t i = 0; i < m_arrRemoveDataAnchors.size(); ++i) {
            const KVExcelRemoveDataAnchor* anchor = m_arrRemoveDataAnchors[i];
            const CString anchorKey = AnchorKey(key, static_cast<long>(i));
            const CRect& area = anchor->GetAreaToRemove();
            Int((anchorKey + kAnchorType).c_str(), root).Set(static_cast<int>(anchor->GetAnchorType()));
            Text((anchorKey + kAnchorDescriptor).c_str(), root).Set(CString(anchor->GetAnchorDescriptor()));
            Int((anchorKey + kAnchorIndex).c_str(), root).Set(static_cast<int>(i));
            Int((anchorKey + kAreaLeft).c_str(), root).Set(static_cast<int>(area.left));
            Int((anchorKey + kAreaTop).c_str(), root).Set(static_cast<int>(area.top));
            Int((anchorKey + kAreaRight).c_str(), root).Set(static_cast<int>(area.right));
            Int((anchorKey + kAreaBottom).c_str(), root).Set(static_cast<int>(area.bottom));
        }
    } catch (const std::exception&) {
        // Reported as success, as the profile part was stored.
    }
    return TRUE;
}

void KVDriverOptionsExcel::ClearOptions() {
    try {
        CString key;
        GetProfileRegPath(&key);
        if (key.empty()) {
            return;
        }
        const HKEY root = HKEY_CURRENT_USER;
        for (long n = 0;; ++n) {
            const CString anchorKey = AnchorKey(key, n);
            if (!Exists(anchorKey + kAnchorDescriptor)) {
                break;
            }
            if (Exists(anchorKey + kAnchorType)) {
                for (const wchar_t* name : {kAnchorType, kAnchorDescriptor, kAnchorIndex, kAreaLeft, kAreaTop,
                                            kAreaRight, kAreaBottom}) {
                    KVTRegistryValue((anchorKey + name).c_str(), root).RemoveRegValue();
                }
                KVTRegistryValue(anchorKey.c_str(), root).RemoveRegKey();
            }
        }
        KVTRegistryValue((key + kAnchorsKey).c_str(), root).RemoveRegKey();
        for (const wchar_t* name :
             {kOutputFolder, kLastFileOpened, kMoveToTopLeftCell, kResizeCells, kRemoveFormattingOfCells,
              kFontName, kFontSize, kFontBold, kFontUnderline, kFontItalicize, kRemoveDataSection,
              kRemoveRowsWithSpace, kRemoveColumnsWithSpace, kDateFormat, kNumericFormat}) {
            KVTRegistryValue((key + name).c_str(), root).RemoveRegValue();
        }
        KVTRegistryValue((key + L"Font\\").c_str(), root).RemoveRegKey();
    } catch (const std::exception&) {
    }
    KVDriverOptionsProfile::ClearOptions();
}

// ---- XML --------------------------------------------------------------------

void KVDriverOptionsExcel::ToXml(KVXmlProfile* xml) const {
    if (xml == nullptr) {
        return;
    }
    try {
        xml->SetProfileType(GetDriverOptionType());
        xml->SetProfileName(GetProfileName());
        xml->SetDateFormat(GetDateFormatW(), m_sCustomDateFormat[0] != L'\0' ? m_sCustomDateFormat : L"");
        xml->SetNumericFormat(GetNumericFormat());
        xml->SetReportIdentifier(GetReportIdentifier());
        xml->SetMoveToTopLeftCell(GetMoveToTopLeftCell());
        xml->SetResizeCells(GetResizeCells());
        xml->SetRemoveRowsWithSpace(GetRemoveRowsWithSpace());
        xml->SetRemoveColumnsWithSpace(GetRemoveColumnsWithSpace());
        xml->SetRemoveDataSection(GetRemoveDataSection());
        KVXmlFont& font = xml->GetFont();
        font.SetRemoveFormattingOfCells(GetRemoveFormattingOfCells());
        font.SetFontName(GetFontName());
        font.SetFontSize(GetFontSize());
        font.SetBold(GetFontBold());
        font.SetUnderline(GetFontUnderline());
        font.SetItalicize(GetFontItalicize());
        for (const KVExcelRemoveDataAnchor* anchor : m_arrRemoveDataAnchors) {
            auto* out = new KVXmlRemoveDataAnchor();
            out->SetAnchorDescriptor(anchor->GetAnchorDescriptor());
            out->SetAnchorIndex(anchor->GetAnchorIndex());
            out->SetAnchorType(anchor->GetAnchorType());
            const CRect& area = anchor->GetAreaToRemove();
            out->SetAreaBottom(area.bottom);
            out->SetAreaLeft(area.left);
            out->SetAreaRight(area.right);
            out->SetAreaTop(area.top);
            xml->AddAnchor(out);
        }
    } catch (const std::exception&) {
    }
}

void KVDriverOptionsExcel::FromXml(KVXmlProfile* xml) {
    if (xml == nullptr) {
        return;
    }
    try {
        SetProfileName(xml->GetProfileName());
        SetDateFormat(xml->GetDateFormatW(), xml->GetCustomDateFormat());
        SetMoveToTopLeftCell(xml->GetMoveToTopLeftCell());
        SetNumericFormat(xml->GetNumericFormat());
        SetReportIdentifier(xml->GetReportIdentifier());
        SetRemoveColumnsWithSpace(xml->GetRemoveColumnsWithSpace());
        SetRemoveDataSection(xml->GetRemoveDataSection());
        SetRemoveRowsWithSpace(xml->GetRemoveRowsWithSpace());
        SetResizeCells(xml->GetResizeCells());
        const KVXmlFont& font = xml->GetFont();
        SetRemoveFormattingOfCells(font.GetRemoveFormattingOfCells());
        SetFontBold(font.GetBold());
        SetFontItalicize(font.GetItalicize());
        SetFontName(font.GetFontName());
        SetFontSize(font.GetFontSize());
        SetFontUnderline(font.GetUnderline());
        for (long i = 0; i < xml->GetAnchorCount(); ++i) {
            const KVXmlRemoveDataAnchor* source = xml->GetAnchor(i);
            KVExcelRemoveDataAnchor* anchor = CreateRemoveDataAnchor();
            anchor->SetAnchorDescriptor(source->GetAnchorDescriptor());
            anchor->SetAnchorIndex(source->GetAnchorIndex());
            anchor->SetAnchorType(KVExcelRemoveDataAnchor::GetAnchorTypeFromIndex(source->GetAnchorType()));
            anchor->SetAreaToRemove(CRect(source->GetAreaLeft(), source->GetAreaTop(), source->GetAreaRight(),
                                          source->GetAreaBottom()));
        }
    } catch (const std::exception&) {
    }
}
