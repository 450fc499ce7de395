// The framework's owning wrappers: COleVariant is a VARIANT that clears
// itself; COleSafeArray is a VARIANT holding a safe array. Failed run-time
// calls throw COleException* (see OleException.h).
#pragma once

#include <string>

#include "platform/automation/OleException.h"
#include "platform/automation/SafeArray.h"
#include "platform/automation/Variant.h"

class COleVariant : public VARIANT {
public:
    COleVariant();
    COleVariant(const VARIANT& src);
    COleVariant(LPCVARIANT src);
    COleVariant(const COleVariant& src);
    COleVariant(COleVariant&& src) noexcept;
    COleVariant(LPCTSTR text, VARTYPE vtSrc = VT_BSTR);  // VT_BSTR only; null text is an empty string
    COleVariant(const std::wstring& text);
    COleVariant(BYTE value);
    COleVariant(short value, VARTYPE vtSrc = VT_I2);  // VT_I2 or VT_BOOL
    // VT_I4, VT_ERROR or VT_BOOL: COleVariant missing(DISP_E_PARAMNOTFOUND, VT_ERROR).
    COleVariant(int value, VARTYPE vtSrc = VT_I4);
    COleVariant(long value, VARTYPE vtSrc = VT_I4);  // narrowed to 32 bits
    COleVariant(float value);
    COleVariant(double value, VARTYPE vtSrc = VT_R8);  // VT_R8 or VT_DATE
    COleVariant(CY value);
    ~COleVariant();

    COleVariant& operator=(const VARIANT& src);
    COleVariant& operator=(const COleVariant& src);
    COleVariant& operator=(COleVariant&& src) noexcept;
    COleVariant& operator=(LPCVARIANT src);
    COleVariant& operator=(LPCTSTR text);
    COleVariant& operator=(const std::wstring& text);
    COleVariant& operator=(BYTE value);
    COleVariant& operator=(short value);
    COleVariant& operator=(int value);
    COleVariant& operator=(long value);
    COleVariant& operator=(float value);
    COleVariant& operator=(double value);

    // Same type and value; strings by content, objects by identity.
    bool operator==(const VARIANT& other) const;
    bool operator==(LPCVARIANT other) const;
    bool operator==(const COleVariant& other) const { return *this == static_cast<const VARIANT&>(other); }

    operator LPVARIANT() { return this; }
    operator LPCVARIANT() const { return this; }

    void Clear();
    // Converts in place, or converts `src` into this variant. Throws COleException*.
    void ChangeType(VARTYPE vartype, LPVARIANT src = nullptr);
    // Takes over the contents of `src`, which is left VT_EMPTY.
    void Attach(VARIANT& src);
    // Hands the contents to the caller, who must clear them; this becomes VT_EMPTY.
    VARIANT Detach();
    void SetString(LPCTSTR text, VARTYPE vtSrc = VT_BSTR);
};

class COleSafeArray : public VARIANT {
public:
    COleSafeArray();
    COleSafeArray(const SAFEARRAY* psaSrc, VARTYPE vtSrc);  // copies the array
    COleSafeArray(const COleSafeArray& src);
    COleSafeArray(const VARIANT& src);  // src must hold an array; throws COleException* otherwise
    ~COleSafeArray();

    COleSafeArray& operator=(const COleSafeArray& src);
    COleSafeArray& operator=(const VARIANT& src);

    operator LPVARIANT() { return this; }
    operator LPCVARIANT() const { return this; }

    // Destroys the array and leaves the variant VT_EMPTY.
    void Clear();
    // Creates the array (replacing any held one). rgElements counts the
    // elements of each dimension, lower bounds 0.
    void Create(VARTYPE vtSrc, DWORD dwDims, DWORD* rgElements);
    void Create(VARTYPE vtSrc, DWORD dwDims, SAFEARRAYBOUND* rgsabounds);
    void CreateOneDim(VARTYPE vtSrc, DWORD dwElements, const void* pvSrcData = nullptr, long nLBound = 0);
    void Attach(VARIANT& src);  // src must hold an array; it is left VT_EMPTY
    VARIANT Detach();

    DWORD GetDim();
    DWORD GetElemSize();
    DWORD GetOneDimSize();
    void ResizeOneDim(DWORD dwElements);
    void GetLBound(DWORD dwDim, LONG* pLBound);
    void GetLBound(DWORD dwDim, long* pLBound);
    void GetUBound(DWORD dwDim, LONG* pUBound);
    void GetUBound(DWORD dwDim, long* pUBound);
    // As SafeArrayPutElement/GetElement; rgIndices holds GetDim() indices.
    void PutElement(LONG* rgIndices, void* pvData);
    void PutElement(long* rgIndices, void* pvData);
    void GetElement(LONG* rgIndices, void* pvData);
    void GetElement(long* rgIndices, void* pvData);
    void PtrOfIndex(LONG* rgIndices, void** ppvData);
    void AccessData(void** ppvData);
    void UnaccessData();
    void Lock();
    void Unlock();
    void Destroy();
    void DestroyData();
    void DestroyDescriptor();
    void Copy(LPSAFEARRAY* ppsa);
};
