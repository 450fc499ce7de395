#include "parser/parse/KVExcelFileFieldValue.h"

#include <utility>

#include "parser/parse/KVExcelFileFieldInfoToken.h"

KVExcelFileFieldValue::KVExcelFileFieldValue()
    : m_nRow(0),
      m_nColumn(0),
      m_nColumnKey(-1),
      m_nN3(-1),
      m_nN2(-1),
      m_nN4(-1),
      m_bBold(false),
      m_bUnderline(false),
      m_bItalic(false),
      m_nN5(0) {}

KVExcelFileFieldValue::KVExcelFileFieldValue(int nRow, int nColumn, const KVExcelFileFieldInfoToken& token)
    : m_nRow(nRow),
      m_nColumn(nColumn),
      m_nColumnKey(token.m_nColumnKey),
      m_nN3(token.m_nN3),
      m_nN2(token.m_nN2),
      m_nN4(token.m_nN4),
      m_bBold(token.m_bBold),
      m_bUnderline(token.m_bUnderline),
      m_bItalic(token.m_bItalic),
      m_nN5(token.m_nN5),
      m_strText(token.m_strText) {}

KVExcelFileFieldValue::KVExcelFileFieldValue(int nRow, int nColumn, std::wstring strText)
    : KVExcelFileFieldValue() {
    m_nRow = nRow;
    m_nColumn = nColumn;
    m_strText = std::move(strText);
}

KVExcelFileFieldValue::~KVExcelFileFieldValue() = default;
