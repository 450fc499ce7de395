// A keyword of a report and the action taken where a cell equals it, with the
// area of cells around it.
#pragma once

#include "lib/util/KVLibApi.h"
#include "lib/util/KVWinTypes.h"

class KVLIB_API KVExcelRemoveDataAnchor {
public:
    enum enAnchorType {
        enAnchorNone = 0,
        enAnchorClearCell = 1,
        enAnchorRemoveRow = 2,
        enAnchorRemoveColumn = 3,
        enAnchorRemoveRowAndColumn = 4,
        enAnchorClearArea = 5,
    };

    KVExcelRemoveDataAnchor();
    KVExcelRemoveDataAnchor(const KVExcelRemoveDataAnchor& other);
    KVExcelRemoveDataAnchor& operator=(const KVExcelRemoveDataAnchor& other);
    virtual ~KVExcelRemoveDataAnchor();
    virtual KVExcelRemoveDataAnchor* Clone() const;

    enAnchorType GetAnchorType() const { return m_enAnchorType; }
    void SetAnchorType(enAnchorType type) { m_enAnchorType = type; }
    LPCTSTR GetAnchorDescriptor() const { return m_sAnchorDescriptor; }
    void SetAnchorDescriptor(LPCTSTR descriptor);
    const CRect& GetAreaToRemove() const { return m_rAreaToRemove; }
    void SetAreaToRemove(const CRect& area) { m_rAreaToRemove = area; }
    long GetAnchorIndex() const { return m_lAnchorIndex; }
    void SetAnchorIndex(long index) { m_lAnchorIndex = index; }

    // 1 to 5 give the type of that number, anything else enAnchorNone.
    static enAnchorType GetAnchorTypeFromIndex(long index);

protected:
    void InternalCopy(const KVExcelRemoveDataAnchor& source);

private:
    enAnchorType m_enAnchorType = enAnchorNone;
    wchar_t m_sAnchorDescriptor[KV_TEXT_CAPACITY] = {};
    CRect m_rAreaToRemove;
    long m_lAnchorIndex = 0;
};
