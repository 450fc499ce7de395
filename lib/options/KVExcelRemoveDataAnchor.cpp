#include "lib/options/KVExcelRemoveDataAnchor.h"

#include "lib/util/KVLibUtility.h"

KVExcelRemoveDataAnchor::KVExcelRemoveDataAnchor() = default;

KVExcelRemoveDataAnchor::KVExcelRemoveDataAnchor(const KVExcelRemoveDataAnchor& other) {
    InternalCopy(other);
}

KVExcelRemoveDataAnchor& KVExcelRemoveDataAnchor::operator=(const KVExcelRemoveDataAnchor& other) {
    if (this != &other) {
        InternalCopy(other);
    }
    return *this;
}

KVExcelRemoveDataAnchor::~KVExcelRemoveDataAnchor() = default;

KVExcelRemoveDataAnchor* KVExcelRemoveDataAnchor::Clone() const {
    return new KVExcelRemoveDataAnchor(*this);
}

void KVExcelRemoveDataAnchor::SetAnchorDescriptor(LPCTSTR descriptor) {
    KVLibUtility::CopyLPCTSTRToLPTSTR(descriptor, m_sAnchorDescriptor, KV_TEXT_CAPACITY);
}

KVExcelRemoveDataAnchor::enAnchorType KVExcelRemoveDataAnchor::GetAnchorTypeFromIndex(long index) {
    if (index >= enAnchorClearCell && index <= enAnchorClearArea) {
        return static_cast<enAnchorType>(index);
    }
    return enAnchorNone;
}

void KVExcelRemoveDataAnchor::InternalCopy(const KVExcelRemoveDataAnchor& source) {
    m_enAnchorType = source.m_enAnchorType;
    KVLibUtility::CopyLPCTSTRToLPTSTR(source.m_sAnchorDescriptor, m_sAnchorDescriptor, KV_TEXT_CAPACITY);
    m_rAreaToRemove = source.m_rAreaToRemove;
    m_lAnchorIndex = source.m_lAnchorIndex;
}
