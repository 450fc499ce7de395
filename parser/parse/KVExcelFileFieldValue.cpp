#include "parser/parse/KVExcelFileFieldValue.h"

#include <algorithm>
#include <utility>

#include "parser/parse/KVExcelFileFieldInfoToken.h"

namespace {

// An owned copy of a text, or none for an empty one.
const wchar_t* CopyOf(std::wstring_view text) {
    if (text.empty()) {
        return nullptr;
    }
    auto* copy = new wchar_t[text.size()];
    std::copy(text.begin(), text.end(), copy);
    return copy;
}

}  // namespace

KVExcelFileFieldValue::KVExcelFileFieldValue()
    : m_nRow(0),
      m_nColumn(0),
      m_nColumnKey(-1),
      m_nN3(-1),
      m_nN2(-1),
      m_nN4(-1),
      m_nN5(0),
      m_bBold(false),
      m_bUnderline(false),
      m_bItalic(false),
      m_bOwnsText(false),
      m_pText(nullptr),
      m_nTextLength(0) {}

KVExcelFileFieldValue::KVExcelFileFieldValue(int nRow, int nColumn, const KVExcelFileFieldInfoToken& token)
    : KVExcelFileFieldValue(nRow, nColumn, std::wstring_view(token.m_strText)) {
    m_nColumnKey = token.m_nColumnKey;
    m_nN3 = token.m_nN3;
    m_nN2 = token.m_nN2;
    m_nN4 = token.m_nN4;
    m_nN5 = token.m_nN5;
    m_bBold = token.m_bBold;
    m_bUnderline = token.m_bUnderline;
    m_bItalic = token.m_bItalic;
}

KVExcelFileFieldValue::KVExcelFileFieldValue(int nRow, int nColumn, std::wstring_view strText)
    : KVExcelFileFieldValue() {
    m_nRow = nRow;
    m_nColumn = nColumn;
    m_pText = CopyOf(strText);
    m_bOwnsText = m_pText != nullptr;
    m_nTextLength = strText.size();
}

KVExcelFileFieldValue::~KVExcelFileFieldValue() {
    if (m_bOwnsText) {
        delete[] m_pText;
    }
}

KVExcelFileFieldValue::KVExcelFileFieldValue(const KVExcelFileFieldValue& other)
    : m_nRow(other.m_nRow),
      m_nColumn(other.m_nColumn),
      m_nColumnKey(other.m_nColumnKey),
      m_nN3(other.m_nN3),
      m_nN2(other.m_nN2),
      m_nN4(other.m_nN4),
      m_nN5(other.m_nN5),
      m_bBold(other.m_bBold),
      m_bUnderline(other.m_bUnderline),
      m_bItalic(other.m_bItalic),
      m_bOwnsText(false),
      m_pText(CopyOf(other.GetText())),
      m_nTextLength(other.m_nTextLength) {
    // The copy may outlive the row the original stands in.
    m_bOwnsText = m_pText != nullptr;
}

KVExcelFileFieldValue& KVExcelFileFieldValue::operator=(const KVExcelFileFieldValue& other) {
    KVExcelFileFieldValue copy(other);
    Swap(copy);
    return *this;
}

KVExcelFileFieldValue::KVExcelFileFieldValue(KVExcelFileFieldValue&& other) noexcept
    : m_nRow(other.m_nRow),
      m_nColumn(other.m_nColumn),
      m_nColumnKey(other.m_nColumnKey),
      m_nN3(other.m_nN3),
      m_nN2(other.m_nN2),
      m_nN4(other.m_nN4),
      m_nN5(other.m_nN5),
      m_bBold(other.m_bBold),
      m_bUnderline(other.m_bUnderline),
      m_bItalic(other.m_bItalic),
      m_bOwnsText(std::exchange(other.m_bOwnsText, false)),
      m_pText(std::exchange(other.m_pText, nullptr)),
      m_nTextLength(std::exchange(other.m_nTextLength, 0)) {}

KVExcelFileFieldValue& KVExcelFileFieldValue::operator=(KVExcelFileFieldValue&& other) noexcept {
    KVExcelFileFieldValue taken(std::move(other));
    Swap(taken);
    return *this;
}

void KVExcelFileFieldValue::Swap(KVExcelFileFieldValue& other) noexcept {
    std::swap(m_nRow, other.m_nRow);
    std::swap(m_nColumn, other.m_nColumn);
    std::swap(m_nColumnKey, other.m_nColumnKey);
    std::swap(m_nN3, other.m_nN3);
    std::swap(m_nN2, other.m_nN2);
    std::swap(m_nN4, other.m_nN4);
    std::swap(m_nN5, other.m_nN5);
    std::swap(m_bBold, other.m_bBold);
    std::swap(m_bUnderline, other.m_bUnderline);
    std::swap(m_bItalic, other.m_bItalic);
    std::swap(m_bOwnsText, other.m_bOwnsText);
    std::swap(m_pText, other.m_pText);
    std::swap(m_nTextLength, other.m_nTextLength);
}

void KVExcelFileFieldValue::ViewText(const wchar_t* pText, std::size_t nLength) noexcept {
    if (m_bOwnsText) {
        delete[] m_pText;
    }
    m_bOwnsText = false;
    m_pText = pText;
    m_nTextLength = nLength;
}

void KVExcelFileFieldValue::OwnText() {
    if (!m_bOwnsText && m_nTextLength != 0) {
        m_pText = CopyOf(GetText());
        m_bOwnsText = true;
    }
}
