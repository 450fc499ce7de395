// Safe arrays. As on Windows, rgsabound holds the bounds from the LAST
// dimension to the first, and elements are laid out with the first index
// varying fastest. Use SafeArrayGetLBound/UBound (dimension numbers from 1)
// rather than reading rgsabound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/automation/StatusCodes.h"
#include "platform/automation/Variant.h"

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};
using LPSAFEARRAYBOUND = SAFEARRAYBOUND*;

struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};
using LPSAFEARRAY = SAFEARRAY*;

inline constexpr USHORT FADF_AUTO = 0x0001;
inline constexpr USHORT FADF_STATIC = 0x0002;
inline constexpr USHORT FADF_EMBEDDED = 0x0004;
inline constexpr USHORT FADF_FIXEDSIZE = 0x0010;
inline constexpr USHORT FADF_RECORD = 0x0020;
inline constexpr USHORT FADF_HAVEIID = 0x0040;
inline constexpr USHORT FADF_HAVEVARTYPE = 0x0080;
inline constexpr USHORT FADF_BSTR = 0x0100;
inline constexpr USHORT FADF_UNKNOWN = 0x0200;
inline constexpr USHORT FADF_DISPATCH = 0x0400;
inline constexpr USHORT FADF_VARIANT = 0x0800;

// Null for an unsupported element type, no dimensions or an impossible size.
SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound);
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
// Frees the elements (clears variants, frees strings, releases objects) and the array.
HRESULT SafeArrayDestroy(SAFEARRAY* psa);
HRESULT SafeArrayDestroyData(SAFEARRAY* psa);
HRESULT SafeArrayDestroyDescriptor(SAFEARRAY* psa);
HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);
// Stores a copy: pv points at a VARIANT for VT_VARIANT, IS the BSTR for
// VT_BSTR and the interface pointer for VT_DISPATCH/VT_UNKNOWN (AddRef'ed),
// points at the value otherwise. DISP_E_BADINDEX outside the bounds.
HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
// Copies the element out; the caller owns the copy. For VT_VARIANT pv is
// treated as uninitialised and receives a deep copy.
HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData);
UINT SafeArrayGetDim(SAFEARRAY* psa);
UINT SafeArrayGetElemsize(SAFEARRAY* psa);
HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);  // nDim from 1
HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);
HRESULT SafeArrayLock(SAFEARRAY* psa);
HRESULT SafeArrayUnlock(SAFEARRAY* psa);  // E_UNEXPECTED when not locked
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);
// Changes the element count and upper bound of the last dimension only.
HRESULT SafeArrayRedim(SAFEARRAY* psa, SAFEARRAYBOUND* psaboundNew);

namespace sw::automation {
long LiveSafeArrayCount();
// The run time keeps the memory of a large array it freed for the next one
// of about that size (see SafeArray.cpp); this gives it back now.
void ReleaseKeptArrayMemory();
}  // namespace sw::automation

namespace sw::automation {

// The pages of an array's data that no one has written since the array was
// made: they hold zeros (VT_EMPTY for variants) and a reader may take them as
// such without reading them, which here would bring every page of a large,
// mostly empty block into memory. Known only for the large blocks this run
// time maps on their own; otherwise `pageBytes` is 0 and every element must
// be read.
struct UntouchedPages {
    std::size_t pageBytes = 0;
    std::vector<bool> untouched;  // one flag per page of the data

    bool known() const { return pageBytes != 0; }
    // True when the byte at this offset into the data lies on an untouched page.
    bool at(std::size_t byteOffset) const {
        const std::size_t i = pageBytes == 0 ? 0 : byteOffset / pageBytes;
        return pageBytes != 0 && i < untouched.size() && untouched[i];
    }
    // Calls visit(first, last) for the runs [first, last) of the `total`
    // elements, `elementBytes` each, that may have been written: all of them
    // when the pages are not known.
    template <typename Visit>
    void forWrittenRuns(std::size_t elementBytes, std::size_t total, Visit&& visit) const {
        forWrittenRuns(elementBytes, 0, total, visit);
    }
    // The same for the elements [begin, end) only.
    template <typename Visit>
    void forWrittenRuns(std::size_t elementBytes, std::size_t begin, std::size_t end, Visit&& visit) const {
        const std::size_t perPage =
            known() && elementBytes != 0 && pageBytes % elementBytes == 0 ? pageBytes / elementBytes : 0;
        if (perPage == 0) {
            if (begin < end) {
                visit(begin, end);
            }
            return;
        }
        for (std::size_t page = begin / perPage; page * perPage < end; ++page) {
            if (!untouched[page]) {
                const std::size_t first = page * perPage;
                const std::size_t last = first + perPage;
                visit(first < begin ? begin : first, last < end ? last : end);
            }
        }
    }
    // Calls visit(k, i, j) for each element k that may have been written of
    // a block `height` elements tall stored column after column: i is its
    // row and j its column, counted along rather than divided out per element.
    template <typename Visit>
    void forWrittenElements(std::size_t elementBytes, std::size_t height, std::size_t total,
                            Visit&& visit) const {
        forWrittenElements(elementBytes, height, 0, total, visit);
    }
    // The same for the elements [begin, end) only.
    template <typename Visit>
    void forWrittenElements(std::size_t elementBytes, std::size_t height, std::size_t begin, std::size_t end,
                            Visit&& visit) const {
        if (height == 0 || begin >= end) {
            return;
        }
        forWrittenRuns(elementBytes, begin, end, [&](std::size_t first, std::size_t last) {
            std::size_t i = first % height;
            std::size_t j = first / height;
            for (std::size_t k = first; k < last; ++k) {
                visit(k, i, j);
                if (++i == height) {
                    i = 0;
                    ++j;
                }
            }
        });
    }
};
UntouchedPages FindUntouchedPages(SAFEARRAY* psa);

// Calls visit(i, j, element) for each element of the two-dimensional
// VT_VARIANT array `psa` that holds something, column after column, each
// column top down; i and j count rows and columns from 0. Elements on pages
// that nothing wrote are empty and are passed over unread. E_INVALIDARG for
// an array of another shape.
template <typename Visit>
HRESULT ForEachStoredVariant(SAFEARRAY* psa, Visit&& visit) {
    LONG firstRow = 0;
    LONG lastRow = -1;
    LONG firstColumn = 0;
    LONG lastColumn = -1;
    if (psa == nullptr || SafeArrayGetDim(psa) != 2 || psa->cbElements != sizeof(VARIANT) ||
        FAILED(SafeArrayGetLBound(psa, 1, &firstRow)) || FAILED(SafeArrayGetUBound(psa, 1, &lastRow)) ||
        FAILED(SafeArrayGetLBound(psa, 2, &firstColumn)) || FAILED(SafeArrayGetUBound(psa, 2, &lastColumn))) {
        return E_INVALIDARG;
    }
    const auto height = static_cast<std::size_t>(std::int64_t{lastRow} - firstRow + 1);
    const std::size_t total = height * static_cast<std::size_t>(std::int64_t{lastColumn} - firstColumn + 1);
    // The elements are read where they lie, in the order they lie in.
    const auto* elements = static_cast<const VARIANT*>(psa->pvData);
    FindUntouchedPages(psa).forWrittenElements(sizeof(VARIANT), height, total,
                                               [&](std::size_t k, std::size_t i, std::size_t j) {
                                                   if (elements[k].vt != VT_EMPTY) {
                                                       visit(i, j, elements[k]);
                                                   }
                                               });
    return S_OK;
}

}  // namespace sw::automation
