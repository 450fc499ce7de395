#include "platform/automation/OleVariant.h"

#include <cstring>
#include <vector>

#include "platform/automation/Dispatch.h"

namespace {

void Check(HRESULT hr) {
    if (FAILED(hr)) {
        AfxThrowOleException(hr);
    }
}

void SetText(VARIANT* v, const wchar_t* text, std::size_t length) {
    BSTR b = SysAllocStringLen(text, static_cast<UINT>(length));
    if (b == nullptr) {
        AfxThrowOleException(E_OUTOFMEMORY);
    }
    v->vt = VT_BSTR;
    v->bstrVal = b;
}

// Copies the indices of a `long` array into 32-bit ones.
std::vector<LONG> NarrowIndices(const long* rgIndices, DWORD count) {
    std::vector<LONG> out(count);
    for (DWORD i = 0; i < count; ++i) {
        if (rgIndices[i] < -2147483648L || rgIndices[i] > 2147483647L) {
            AfxThrowOleException(DISP_E_BADINDEX);
        }
        out[i] = static_cast<LONG>(rgIndices[i]);
    }
    return out;
}

}  // namespace

// ---------------------------------------------------------------- COleVariant

COleVariant::COleVariant() : VARIANT() {
    VariantInit(this);
}

COleVariant::COleVariant(const VARIANT& src) : VARIANT() {
    VariantInit(this);
    Check(VariantCopy(this, &src));
}

COleVariant::COleVariant(LPCVARIANT src) : VARIANT() {
    VariantInit(this);
    if (src != nullptr) {
        Check(VariantCopy(this, src));
    }
}

COleVariant::COleVariant(const COleVariant& src) : VARIANT() {
    VariantInit(this);
    Check(VariantCopy(this, &src));
}

COleVariant::COleVariant(COleVariant&& src) noexcept : VARIANT() {
    *static_cast<VARIANT*>(this) = static_cast<VARIANT&>(src);
    VariantInit(&src);
}

COleVariant::COleVariant(LPCTSTR text, VARTYPE vtSrc) : VARIANT() {
    VariantInit(this);
    if (vtSrc != VT_BSTR) {
        AfxThrowOleException(DISP_E_BADVARTYPE);
    }
    SetText(this, text, text == nullptr ? 0 : std::wcslen(text));
}

COleVariant::COleVariant(const std::wstring& text) : VARIANT() {
    VariantInit(this);
    SetText(this, text.data(), text.size());
}

COleVariant::COleVariant(BYTE value) : VARIANT() {
    VariantInit(this);
    vt = VT_UI1;
    bVal = value;
}

COleVariant::COleVariant(short value, VARTYPE vtSrc) : VARIANT() {
    VariantInit(this);
    if (vtSrc == VT_BOOL) {
        vt = VT_BOOL;
        boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (vtSrc == VT_I2) {
        vt = VT_I2;
        iVal = value;
    } else {
        AfxThrowOleException(DISP_E_BADVARTYPE);
    }
}

COleVariant::COleVariant(int value, VARTYPE vtSrc) : VARIANT() {
    VariantInit(this);
    if (vtSrc == VT_BOOL) {
        vt = VT_BOOL;
        boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (vtSrc == VT_ERROR) {
        vt = VT_ERROR;
        scode = value;
    } else if (vtSrc == VT_I4) {
        vt = VT_I4;
        lVal = value;
    } else {
        AfxThrowOleException(DISP_E_BADVARTYPE);
    }
}

COleVariant::COleVariant(long value, VARTYPE vtSrc) : COleVariant(static_cast<int>(value), vtSrc) {
    if (vtSrc == VT_I4 && (value < -2147483648L || value > 2147483647L)) {
        VariantClear(this);
        AfxThrowOleException(DISP_E_OVERFLOW);
    }
}

COleVariant::COleVariant(float value) : VARIANT() {
    VariantInit(this);
    vt = VT_R4;
    fltVal = value;
}

COleVariant::COleVariant(double value, VARTYPE vtSrc) : VARIANT() {
    VariantInit(this);
    if (vtSrc != VT_R8 && vtSrc != VT_DATE) {
        AfxThrowOleException(DISP_E_BADVARTYPE);
    }
    vt = vtSrc;
    dblVal = value;
}

COleVariant::COleVariant(CY value) : VARIANT() {
    VariantInit(this);
    vt = VT_CY;
    cyVal = value;
}

COleVariant::~COleVariant() {
    VariantClear(this);
}

COleVariant& COleVariant::operator=(const VARIANT& src) {
    Check(VariantCopy(this, &src));
    return *this;
}

COleVariant& COleVariant::operator=(const COleVariant& src) {
    Check(VariantCopy(this, &src));
    return *this;
}

COleVariant& COleVariant::operator=(COleVariant&& src) noexcept {
    if (this != &src) {
        VariantClear(this);
        *static_cast<VARIANT*>(this) = static_cast<VARIANT&>(src);
        VariantInit(&src);
    }
    return *this;
}

COleVariant& COleVariant::operator=(LPCVARIANT src) {
    if (src == nullptr) {
        Clear();
    } else {
        Check(VariantCopy(this, src));
    }
    return *this;
}

COleVariant& COleVariant::operator=(LPCTSTR text) {
    COleVariant tmp(text);
    *this = std::move(tmp);
    return *this;
}

COleVariant& COleVariant::operator=(const std::wstring& text) {
    COleVariant tmp(text);
    *this = std::move(tmp);
    return *this;
}

COleVariant& COleVariant::operator=(BYTE value) {
    *this = COleVariant(value);
    return *this;
}

COleVariant& COleVariant::operator=(short value) {
    *this = COleVariant(value);
    return *this;
}

COleVariant& COleVariant::operator=(int value) {
    *this = COleVariant(value);
    return *this;
}

COleVariant& COleVariant::operator=(long value) {
    *this = COleVariant(value);
    return *this;
}

COleVariant& COleVariant::operator=(float value) {
    *this = COleVariant(value);
    return *this;
}

COleVariant& COleVariant::operator=(double value) {
    *this = COleVariant(value);
    return *this;
}

bool COleVariant::operator==(const VARIANT& other) const {
    if (vt != other.vt) {
        return false;
    }
    if ((vt & (VT_ARRAY | VT_BYREF)) != 0) {
        return byref == other.byref;
    }
    switch (vt) {
        case VT_EMPTY:
        case VT_NULL:
            return true;
        case VT_BSTR: {
            const UINT n = SysStringLen(bstrVal);
            return n == SysStringLen(other.bstrVal) &&
                   (n == 0 || std::memcmp(bstrVal, other.bstrVal, n * sizeof(OLECHAR)) == 0);
        }
        case VT_I1:
        case VT_UI1:
            return bVal == other.bVal;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return iVal == other.iVal;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_ERROR:
            return lVal == other.lVal;
        case VT_R4:
            return fltVal == other.fltVal;
        case VT_R8:
        case VT_DATE:
            return dblVal == other.dblVal;
        default:
            return llVal == other.llVal;
    }
}

bool COleVariant::operator==(LPCVARIANT other) const {
    return other != nullptr && *this == *other;
}

void COleVariant::Clear() {
    Check(VariantClear(this));
}

void COleVariant::ChangeType(VARTYPE vartype, LPVARIANT src) {
    if (src == nullptr) {
        src = this;
    }
    if (vartype != vt || src != this) {
        Check(VariantChangeType(this, src, 0, vartype));
    }
}

void COleVariant::Attach(VARIANT& src) {
    Check(VariantClear(this));
    *static_cast<VARIANT*>(this) = src;
    VariantInit(&src);
}

VARIANT COleVariant::Detach() {
    VARIANT out = *static_cast<VARIANT*>(this);
    VariantInit(this);
    return out;
}

void COleVariant::SetString(LPCTSTR text, VARTYPE vtSrc) {
    COleVariant tmp(text, vtSrc);
    *this = std::move(tmp);
}

// -------------------------------------------------------------- COleSafeArray

COleSafeArray::COleSafeArray() : VARIANT() {
    VariantInit(this);
}

COleSafeArray::COleSafeArray(const SAFEARRAY* psaSrc, VARTYPE vtSrc) : VARIANT() {
    VariantInit(this);
    SAFEARRAY* copy = nullptr;
    Check(SafeArrayCopy(const_cast<SAFEARRAY*>(psaSrc), &copy));
    vt = static_cast<VARTYPE>((vtSrc & VT_TYPEMASK) | VT_ARRAY);
    parray = copy;
}

COleSafeArray::COleSafeArray(const COleSafeArray& src) : VARIANT() {
    VariantInit(this);
    Check(VariantCopy(this, &src));
}

COleSafeArray::COleSafeArray(const VARIANT& src) : VARIANT() {
    VariantInit(this);
    *this = src;
}

COleSafeArray::~COleSafeArray() {
    VariantClear(this);
}

COleSafeArray& COleSafeArray::operator=(const COleSafeArray& src) {
    Check(VariantCopy(this, &src));
    return *this;
}

COleSafeArray& COleSafeArray::operator=(const VARIANT& src) {
    VARIANT ind;
    VariantInit(&ind);
    Check(VariantCopyInd(&ind, &src));
    if ((ind.vt & VT_ARRAY) == 0) {
        VariantClear(&ind);
        AfxThrowOleException(DISP_E_TYPEMISMATCH);
    }
    const HRESULT hr = VariantClear(this);
    if (FAILED(hr)) {
        VariantClear(&ind);
        AfxThrowOleException(hr);
    }
    *static_cast<VARIANT*>(this) = ind;
    return *this;
}

void COleSafeArray::Clear() {
    Check(VariantClear(this));
}

void COleSafeArray::Create(VARTYPE vtSrc, DWORD dwDims, DWORD* rgElements) {
    if (rgElements == nullptr || dwDims == 0) {
        AfxThrowOleException(E_INVALIDARG);
    }
    std::vector<SAFEARRAYBOUND> bounds(dwDims);
    for (DWORD i = 0; i < dwDims; ++i) {
        bounds[i].cElements = rgElements[i];
        bounds[i].lLbound = 0;
    }
    Create(vtSrc, dwDims, bounds.data());
}

void COleSafeArray::Create(VARTYPE vtSrc, DWORD dwDims, SAFEARRAYBOUND* rgsabounds) {
    if (rgsabounds == nullptr || dwDims == 0) {
        AfxThrowOleException(E_INVALIDARG);
    }
    Clear();
    SAFEARRAY* psa = SafeArrayCreate(vtSrc, dwDims, rgsabounds);
    if (psa == nullptr) {
        AfxThrowOleException(E_OUTOFMEMORY);
    }
    vt = static_cast<VARTYPE>(vtSrc | VT_ARRAY);
    parray = psa;
}

void COleSafeArray::CreateOneDim(VARTYPE vtSrc, DWORD dwElements, const void* pvSrcData, long nLBound) {
    SAFEARRAYBOUND bound{dwElements, static_cast<LONG>(nLBound)};
    Create(vtSrc, 1, &bound);
    if (pvSrcData != nullptr) {
        const auto* from = static_cast<const unsigned char*>(pvSrcData);
        for (DWORD i = 0; i < dwElements; ++i) {
            LONG index = static_cast<LONG>(nLBound + static_cast<long>(i));
            const void* element = from + static_cast<std::size_t>(i) * parray->cbElements;
            if (vtSrc == VT_BSTR || vtSrc == VT_DISPATCH || vtSrc == VT_UNKNOWN) {
                void* pointer = nullptr;
                std::memcpy(&pointer, element, sizeof pointer);
                Check(SafeArrayPutElement(parray, &index, pointer));
            } else {
                Check(SafeArrayPutElement(parray, &index, const_cast<void*>(element)));
            }
        }
    }
}

void COleSafeArray::Attach(VARIANT& src) {
    if ((src.vt & VT_ARRAY) == 0 || (src.vt & VT_BYREF) != 0) {
        AfxThrowOleException(E_INVALIDARG);
    }
    Check(VariantClear(this));
    *static_cast<VARIANT*>(this) = src;
    VariantInit(&src);
}

VARIANT COleSafeArray::Detach() {
    VARIANT out = *static_cast<VARIANT*>(this);
    VariantInit(this);
    return out;
}

namespace {

SAFEARRAY* HeldArray(const VARIANT& v) {
    if ((v.vt & VT_ARRAY) == 0 || v.parray == nullptr) {
        AfxThrowOleException(E_INVALIDARG);
    }
    return v.parray;
}

}  // namespace

DWORD COleSafeArray::GetDim() {
    return SafeArrayGetDim(HeldArray(*this));
}

DWORD COleSafeArray::GetElemSize() {
    return SafeArrayGetElemsize(HeldArray(*this));
}

DWORD COleSafeArray::GetOneDimSize() {
    LONG lo = 0;
    LONG hi = 0;
    GetLBound(1, &lo);
    GetUBound(1, &hi);
    return static_cast<DWORD>(static_cast<long long>(hi) - lo + 1);
}

void COleSafeArray::ResizeOneDim(DWORD dwElements) {
    SAFEARRAY* psa = HeldArray(*this);
    if (psa->cDims != 1) {
        AfxThrowOleException(E_INVALIDARG);
    }
    SAFEARRAYBOUND bound{dwElements, psa->rgsabound[0].lLbound};
    Check(SafeArrayRedim(psa, &bound));
}

void COleSafeArray::GetLBound(DWORD dwDim, LONG* pLBound) {
    Check(SafeArrayGetLBound(HeldArray(*this), dwDim, pLBound));
}

void COleSafeArray::GetLBound(DWORD dwDim, long* pLBound) {
    LONG v = 0;
    GetLBound(dwDim, &v);
    *pLBound = v;
}

void COleSafeArray::GetUBound(DWORD dwDim, LONG* pUBound) {
    Check(SafeArrayGetUBound(HeldArray(*this), dwDim, pUBound));
}

void COleSafeArray::GetUBound(DWORD dwDim, long* pUBound) {
    LONG v = 0;
    GetUBound(dwDim, &v);
    *pUBound = v;
}

void COleSafeArray::PutElement(LONG* rgIndices, void* pvData) {
    Check(SafeArrayPutElement(HeldArray(*this), rgIndices, pvData));
}

void COleSafeArray::PutElement(long* rgIndices, void* pvData) {
    std::vector<LONG> indices = NarrowIndices(rgIndices, GetDim());
    PutElement(indices.data(), pvData);
}

void COleSafeArray::GetElement(LONG* rgIndices, void* pvData) {
    Check(SafeArrayGetElement(HeldArray(*this), rgIndices, pvData));
}

void COleSafeArray::GetElement(long* rgIndices, void* pvData) {
    std::vector<LONG> indices = NarrowIndices(rgIndices, GetDim());
    GetElement(indices.data(), pvData);
}

void COleSafeArray::PtrOfIndex(LONG* rgIndices, void** ppvData) {
    Check(SafeArrayPtrOfIndex(HeldArray(*this), rgIndices, ppvData));
}

void COleSafeArray::AccessData(void** ppvData) {
    Check(SafeArrayAccessData(HeldArray(*this), ppvData));
}

void COleSafeArray::UnaccessData() {
    Check(SafeArrayUnaccessData(HeldArray(*this)));
}

void COleSafeArray::Lock() {
    Check(SafeArrayLock(HeldArray(*this)));
}

void COleSafeArray::Unlock() {
    Check(SafeArrayUnlock(HeldArray(*this)));
}

void COleSafeArray::Destroy() {
    Check(SafeArrayDestroy(HeldArray(*this)));
    VariantInit(this);
}

void COleSafeArray::DestroyData() {
    Check(SafeArrayDestroyData(HeldArray(*this)));
}

void COleSafeArray::DestroyDescriptor() {
    Check(SafeArrayDestroyDescriptor(HeldArray(*this)));
    VariantInit(this);
}

void COleSafeArray::Copy(LPSAFEARRAY* ppsa) {
    Check(SafeArrayCopy(HeldArray(*this), ppsa));
}
