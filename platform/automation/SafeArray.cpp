#include "platform/automation/SafeArray.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "platform/automation/Dispatch.h"

namespace {

// A header in front of the descriptor keeps the element type, the size of
// the data's block and, when the data was mapped rather than taken from the
// heap, the size of that mapping.
struct Header {
    VARTYPE vt;
    std::size_t mappedBytes;
    std::size_t dataBytes;
};
constexpr std::size_t kHeader = 32;
static_assert(sizeof(Header) <= kHeader, "the header must fit in front of the descriptor");

// Data blocks at least this large are mapped on their own, in small pages:
// a block of a whole report is mostly elements nobody writes, and those
// pages then never take memory (a large page is taken whole on first touch).
// The mapping also lets FindUntouchedPages tell written pages from the rest.
constexpr std::size_t kMapThreshold = std::size_t{4} << 20;

std::atomic<long> g_liveArrays{0};

ULONG ElementSize(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            return 4;
        case VT_R8:
        case VT_DATE:
        case VT_CY:
        case VT_I8:
        case VT_UI8:
            return 8;
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return sizeof(void*);
        case VT_VARIANT:
            return sizeof(VARIANT);
        default:
            return 0;
    }
}

USHORT FeaturesFor(VARTYPE vt) {
    USHORT f = FADF_HAVEVARTYPE;
    switch (vt) {
        case VT_BSTR:
            f |= FADF_BSTR;
            break;
        case VT_UNKNOWN:
            f |= FADF_UNKNOWN;
            break;
        case VT_DISPATCH:
            f |= FADF_DISPATCH;
            break;
        case VT_VARIANT:
            f |= FADF_VARIANT;
            break;
        default:
            break;
    }
    return f;
}

Header& HeaderOf(SAFEARRAY* psa) {
    return *reinterpret_cast<Header*>(reinterpret_cast<unsigned char*>(psa) - kHeader);
}

VARTYPE& TypeOf(SAFEARRAY* psa) {
    return HeaderOf(psa).vt;
}

// Bounds of dimension `dim` (0-based, first dimension first).
SAFEARRAYBOUND& Bound(SAFEARRAY* psa, UINT dim) {
    SAFEARRAYBOUND* bounds = psa->rgsabound;
    return bounds[psa->cDims - 1 - dim];
}

// Number of elements, or false when it does not fit in memory.
bool TotalElements(SAFEARRAY* psa, std::size_t* total) {
    std::size_t n = 1;
    for (UINT d = 0; d < psa->cDims; ++d) {
        const std::size_t c = Bound(psa, d).cElements;
        if (c != 0 && n > std::numeric_limits<std::size_t>::max() / c) {
            return false;
        }
        n *= c;
    }
    if (psa->cbElements != 0 && n > (std::numeric_limits<std::size_t>::max() >> 2) / psa->cbElements) {
        return false;
    }
    *total = n;
    return true;
}

SAFEARRAY* AllocDescriptor(VARTYPE vt, UINT cDims) {
    const std::size_t bytes =
        kHeader + offsetof(SAFEARRAY, rgsabound) + static_cast<std::size_t>(cDims) * sizeof(SAFEARRAYBOUND);
    auto* block = static_cast<unsigned char*>(std::calloc(1, bytes));
    if (block == nullptr) {
        return nullptr;
    }
    auto* psa = reinterpret_cast<SAFEARRAY*>(block + kHeader);
    psa->cDims = static_cast<USHORT>(cDims);
    psa->fFeatures = FeaturesFor(vt);
    psa->cbElements = ElementSize(vt);
    TypeOf(psa) = vt;
    ++g_liveArrays;
    return psa;
}

void FreeDescriptor(SAFEARRAY* psa) {
    --g_liveArrays;
    std::free(reinterpret_cast<unsigned char*>(psa) - kHeader);
}

std::size_t PageBytes() {
    static const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return page;
}

// One flag per page of a mapping: true when the page is neither in memory
// nor swapped out, so that no one has written it since it was mapped.
// Empty when the system does not say.
std::vector<bool> UntouchedPagesOf(const void* data, std::size_t mappedBytes) {
    const std::size_t page = PageBytes();
    const std::size_t pages = mappedBytes / page;
    // One 64-bit entry per page: bit 63 set when the page is in memory, bit
    // 62 when it was swapped out. Neither means that no one ever wrote to it.
    const int fd = ::open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::vector<std::uint64_t> entries(pages);
    const auto first =
        static_cast<off_t>(reinterpret_cast<std::uintptr_t>(data) / page * sizeof(std::uint64_t));
    const std::size_t want = pages * sizeof(std::uint64_t);
    std::size_t got = 0;
    while (got < want) {
        const ssize_t n = ::pread(fd, reinterpret_cast<char*>(entries.data()) + got, want - got,
                                  first + static_cast<off_t>(got));
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got != want) {
        return {};
    }
    constexpr std::uint64_t kPresentOrSwapped = (std::uint64_t{1} << 63) | (std::uint64_t{1} << 62);
    std::vector<bool> untouched(pages);
    for (std::size_t i = 0; i < pages; ++i) {
        untouched[i] = (entries[i] & kPresentOrSwapped) == 0;
    }
    return untouched;
}

// A freed large mapping is kept, its written pages zeroed again, for the
// next large block of about its size: a conversion writes a block and then
// reads one of the same shape back, and the second block taking the pages
// the first one brought into memory spares faulting in a second set. Only
// a mapping made afresh is kept, and only one, so what is held stays within
// one block that its owner just gave up.
class SpareMapping {
public:
    static SpareMapping& Instance() {
        // Never destroyed: arrays may be freed during the process's exit.
        static auto* spare = new SpareMapping;
        return *spare;
    }

    // The kept mapping when it suits `length` bytes, with its length in
    // `mapped`; null otherwise.
    void* Take(std::size_t length, std::size_t* mapped) {
        std::lock_guard<std::mutex> hold(mutex_);
        if (data_ == nullptr || length > length_ || length < length_ / 2) {
            return nullptr;
        }
        void* data = data_;
        *mapped = length_;
        lent_ = data_;
        data_ = nullptr;
        length_ = 0;
        return data;
    }

    void Release() {
        void* data = nullptr;
        std::size_t length = 0;
        {
            std::lock_guard<std::mutex> hold(mutex_);
            std::swap(data, data_);
            std::swap(length, length_);
        }
        if (data != nullptr) {
            munmap(data, length);
        }
    }

    // Whether a mapping given now would be kept: its written elements may
    // then be zeroed as they are released, while they are at hand.
    bool WouldKeep(const void* data) {
        std::lock_guard<std::mutex> hold(mutex_);
        return data != lent_ && data_ == nullptr;
    }

    // Keeps the mapping for the next block, or unmaps it. `zeroed` says that
    // every page written was zeroed again already.
    void Give(void* data, std::size_t mapped, bool zeroed) {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            const bool wasLent = data == lent_;
            if (wasLent) {
                lent_ = nullptr;
            }
            if (!wasLent && data_ == nullptr && (zeroed || Zero(data, mapped))) {
                data_ = data;
                length_ = mapped;
                return;
            }
        }
        munmap(data, mapped);
    }

private:
    // Zeroes the written pages; false when they cannot be told apart.
    static bool Zero(void* data, std::size_t mapped) {
        const std::vector<bool> untouched = UntouchedPagesOf(data, mapped);
        if (untouched.empty()) {
            return false;
        }
        const std::size_t page = PageBytes();
        auto* bytes = static_cast<unsigned char*>(data);
        for (std::size_t i = 0; i < untouched.size(); ++i) {
            if (!untouched[i]) {
                std::memset(bytes + i * page, 0, page);
            }
        }
        return true;
    }

    std::mutex mutex_;
    void* data_ = nullptr;
    std::size_t length_ = 0;
    const void* lent_ = nullptr;  // the last mapping taken, not kept again
};

// The last small data block each thread freed, kept for the next array of
// its size: a caller that reads a row at a time makes and frees the same
// block over and over, and the heap split and merged it again every time.
// The slot itself has no destructor, so it stays usable while the thread's
// other objects are destroyed; a companion object frees the kept block then
// and closes the slot, and arrays freed after that go to the heap.
struct SpareBlockSlot {
    void* data;
    std::size_t bytes;
    bool closed;
};
thread_local SpareBlockSlot t_spareBlock{nullptr, 0, false};

struct SpareBlockCloser {
    ~SpareBlockCloser() {
        std::free(std::exchange(t_spareBlock.data, nullptr));
        t_spareBlock.closed = true;
    }
};
thread_local SpareBlockCloser t_spareBlockCloser;

void* TakeSpareBlock(std::size_t bytes) {
    if (t_spareBlock.data == nullptr || bytes != t_spareBlock.bytes) {
        return nullptr;
    }
    void* data = std::exchange(t_spareBlock.data, nullptr);
    std::memset(data, 0, bytes);
    return data;
}

void GiveSpareBlock(void* data, std::size_t bytes) {
    if (t_spareBlock.closed) {
        std::free(data);
        return;
    }
    (void)&t_spareBlockCloser;  // brings the closer into being for this thread
    std::free(std::exchange(t_spareBlock.data, data));
    t_spareBlock.bytes = bytes;
}

// Zeroed room for `count` elements of `size` bytes (count * size known to
// fit); `mapped` receives the length of the mapping made for it, 0 when the
// room came from the heap.
void* AllocZeroed(std::size_t count, std::size_t size, std::size_t* mapped) {
    *mapped = 0;
    const std::size_t bytes = count * size;
    if (bytes != 0 && bytes < kMapThreshold) {
        if (void* kept = TakeSpareBlock(bytes)) {
            return kept;
        }
    }
    if (bytes >= kMapThreshold) {
        const std::size_t page = PageBytes();
        const std::size_t length = (bytes + page - 1) / page * page;
        if (void* kept = SpareMapping::Instance().Take(length, mapped)) {
            return kept;
        }
        void* p = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p != MAP_FAILED) {
            // Large pages only where asked for: that is a system setting.
            madvise(p, length, MADV_NOHUGEPAGE);
            *mapped = length;
            return p;
        }
    }
    return std::calloc(count == 0 ? 1 : count, size);
}

// Frees what AllocZeroed gave for `bytes` bytes; `zeroed` says that a
// mapping's written pages hold zeros again.
void FreeZeroed(void* data, std::size_t bytes, std::size_t mapped, bool zeroed) {
    if (mapped != 0) {
        SpareMapping::Instance().Give(data, mapped, zeroed);
    } else if (data != nullptr && bytes != 0 && bytes < kMapThreshold) {
        GiveSpareBlock(data, bytes);
    } else {
        std::free(data);
    }
}

HRESULT AllocData(SAFEARRAY* psa) {
    std::size_t total = 0;
    if (!TotalElements(psa, &total)) {
        return E_OUTOFMEMORY;
    }
    psa->pvData = AllocZeroed(total, psa->cbElements, &HeaderOf(psa).mappedBytes);
    HeaderOf(psa).dataBytes = total * psa->cbElements;
    return psa->pvData == nullptr ? E_OUTOFMEMORY : S_OK;
}

void FreeData(SAFEARRAY* psa, bool zeroed = false) {
    FreeZeroed(psa->pvData, HeaderOf(psa).dataBytes, HeaderOf(psa).mappedBytes, zeroed);
    psa->pvData = nullptr;
    HeaderOf(psa).mappedBytes = 0;
    HeaderOf(psa).dataBytes = 0;
}

// Calls visit(first, last) for the runs of elements that may have been
// written: pages of a large block that no one wrote hold zeros, which own
// nothing, and reading them would only bring them into memory.
template <typename Visit>
void ForWrittenRuns(SAFEARRAY* psa, std::size_t total, Visit&& visit) {
    sw::automation::FindUntouchedPages(psa).forWrittenRuns(psa->cbElements, total, visit);
}

// Frees what the elements own, ahead of freeing the data itself. With
// `zero`, the elements it visits are left as zeros, while they are at hand;
// returns whether it visited every element that may have been written.
bool ReleaseElements(SAFEARRAY* psa, bool zero) {
    if (psa->pvData == nullptr) {
        return true;
    }
    std::size_t total = 0;
    if (!TotalElements(psa, &total)) {
        return false;
    }
    const VARTYPE vt = TypeOf(psa);
    auto zeroRun = [&](void* first, std::size_t count) {
        if (zero) {
            std::memset(first, 0, count * psa->cbElements);
        }
    };
    if (vt == VT_VARIANT && psa->cbElements == sizeof(VARIANT)) {
        // Most elements of a block are empty: only the others need clearing
        // (which leaves them as zeros). The texts are freed a few hundred at
        // a time.
        auto* cells = static_cast<VARIANT*>(psa->pvData);
        constexpr std::size_t kBatch = 512;
        BSTR texts[kBatch];
        std::size_t held = 0;
        ForWrittenRuns(psa, total, [&](std::size_t first, std::size_t last) {
            for (std::size_t i = first; i < last; ++i) {
                if (cells[i].vt == VT_BSTR) {
                    // Freeing reads and writes the text's block; asking for
                    // it now has it at hand when the batch is freed. (A null
                    // text is a valid one, with no block.)
                    if (cells[i].bstrVal != nullptr) {
                        __builtin_prefetch(
                            reinterpret_cast<const char*>(cells[i].bstrVal) - sizeof(std::uint64_t), 1);
                    }
                    texts[held++] = cells[i].bstrVal;
                    VariantInit(&cells[i]);
                    if (held == kBatch) {
                        sw::automation::FreeStrings(texts, held);
                        held = 0;
                    }
                } else if (cells[i].vt != VT_EMPTY) {
                    VariantClear(&cells[i]);
                    if (zero) {
                        std::memset(static_cast<void*>(&cells[i]), 0, sizeof(VARIANT));
                    }
                }
            }
        });
        sw::automation::FreeStrings(texts, held);
        return true;
    }
    if (vt == VT_BSTR) {
        auto* cells = static_cast<BSTR*>(psa->pvData);
        ForWrittenRuns(psa, total, [&](std::size_t first, std::size_t last) {
            sw::automation::FreeStrings(cells + first, last - first);
            zeroRun(cells + first, last - first);
        });
        return true;
    }
    if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
        auto* cells = static_cast<IUnknown**>(psa->pvData);
        ForWrittenRuns(psa, total, [&](std::size_t first, std::size_t last) {
            for (std::size_t i = first; i < last; ++i) {
                if (cells[i] != nullptr) {
                    cells[i]->Release();
                }
            }
            zeroRun(cells + first, last - first);
        });
        return true;
    }
    // Elements that own nothing are not visited.
    return false;
}

// Offset of the element, in elements; the first index varies fastest.
HRESULT CellOffset(SAFEARRAY* psa, const LONG* rgIndices, std::size_t* offset) {
    if (psa->cDims == 2) {
        // The common shape, a block of rows and columns, without the loop.
        const SAFEARRAYBOUND& rows = psa->rgsabound[1];
        const SAFEARRAYBOUND& columns = psa->rgsabound[0];
        const long long r = static_cast<long long>(rgIndices[0]) - rows.lLbound;
        const long long c = static_cast<long long>(rgIndices[1]) - columns.lLbound;
        if (r < 0 || r >= static_cast<long long>(rows.cElements) || c < 0 ||
            c >= static_cast<long long>(columns.cElements)) {
            return DISP_E_BADINDEX;
        }
        *offset = static_cast<std::size_t>(r) + static_cast<std::size_t>(c) * rows.cElements;
        return S_OK;
    }
    std::size_t cell = 0;
    std::size_t stride = 1;
    for (UINT d = 0; d < psa->cDims; ++d) {
        const SAFEARRAYBOUND& b = Bound(psa, d);
        const long long rel = static_cast<long long>(rgIndices[d]) - b.lLbound;
        if (rel < 0 || rel >= static_cast<long long>(b.cElements)) {
            return DISP_E_BADINDEX;
        }
        cell += static_cast<std::size_t>(rel) * stride;
        stride *= b.cElements;
    }
    *offset = cell;
    return S_OK;
}

// Copies one element value from `from` into the zeroed cell `to`.
HRESULT CopyElement(VARTYPE vt, ULONG size, void* to, const void* from) {
    if (vt == VT_VARIANT) {
        VariantInit(static_cast<VARIANT*>(to));
        return VariantCopy(static_cast<VARIANT*>(to), static_cast<const VARIANT*>(from));
    }
    if (vt == VT_BSTR) {
        const BSTR src = *static_cast<const BSTR*>(from);
        BSTR copy = nullptr;
        if (src != nullptr) {
            copy = SysAllocStringLen(src, SysStringLen(src));
            if (copy == nullptr) {
                return E_OUTOFMEMORY;
            }
        }
        *static_cast<BSTR*>(to) = copy;
        return S_OK;
    }
    if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
        IUnknown* u = *static_cast<IUnknown* const*>(from);
        if (u != nullptr) {
            u->AddRef();
        }
        *static_cast<IUnknown**>(to) = u;
        return S_OK;
    }
    std::memcpy(to, from, size);
    return S_OK;
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
    if (cDims == 0 || cDims > 0xFFFF || rgsabound == nullptr || ElementSize(vt) == 0) {
        return nullptr;
    }
    SAFEARRAY* psa = AllocDescriptor(vt, cDims);
    if (psa == nullptr) {
        return nullptr;
    }
    for (UINT d = 0; d < cDims; ++d) {
        Bound(psa, d) = rgsabound[d];
    }
    if (FAILED(AllocData(psa))) {
        FreeDescriptor(psa);
        return nullptr;
    }
    return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    SAFEARRAYBOUND bound{cElements, lLbound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroyData(SAFEARRAY* psa) {
    if (psa == nullptr) {
        return E_INVALIDARG;
    }
    if (psa->cLocks > 0) {
        return DISP_E_ARRAYISLOCKED;
    }
    // A block whose memory will serve the next one is zeroed as it is
    // released, rather than in a second pass over its pages.
    const bool keep = HeaderOf(psa).mappedBytes != 0 && SpareMapping::Instance().WouldKeep(psa->pvData);
    const bool zeroed = ReleaseElements(psa, keep);
    FreeData(psa, keep && zeroed);
    return S_OK;
}

HRESULT SafeArrayDestroyDescriptor(SAFEARRAY* psa) {
    if (psa == nullptr) {
        return E_INVALIDARG;
    }
    if (psa->cLocks > 0) {
        return DISP_E_ARRAYISLOCKED;
    }
    FreeDescriptor(psa);
    return S_OK;
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (psa == nullptr) {
        return S_OK;
    }
    const HRESULT hr = SafeArrayDestroyData(psa);
    if (FAILED(hr)) {
        return hr;
    }
    return SafeArrayDestroyDescriptor(psa);
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
    if (ppsaOut == nullptr) {
        return E_INVALIDARG;
    }
    *ppsaOut = nullptr;
    if (psa == nullptr) {
        return S_OK;
    }
    const VARTYPE vt = TypeOf(psa);
    SAFEARRAY* copy = AllocDescriptor(vt, psa->cDims);
    if (copy == nullptr) {
        return E_OUTOFMEMORY;
    }
    for (UINT d = 0; d < psa->cDims; ++d) {
        Bound(copy, d) = Bound(psa, d);
    }
    HRESULT hr = AllocData(copy);
    if (FAILED(hr)) {
        FreeDescriptor(copy);
        return hr;
    }
    std::size_t total = 0;
    TotalElements(psa, &total);
    const auto* from = static_cast<const unsigned char*>(psa->pvData);
    auto* to = static_cast<unsigned char*>(copy->pvData);
    for (std::size_t i = 0; i < total && from != nullptr; ++i) {
        hr = CopyElement(vt, psa->cbElements, to + i * psa->cbElements, from + i * psa->cbElements);
        if (FAILED(hr)) {
            SafeArrayDestroy(copy);
            return hr;
        }
    }
    *ppsaOut = copy;
    return S_OK;
}

HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData) {
    if (psa == nullptr || rgIndices == nullptr || ppvData == nullptr || psa->pvData == nullptr) {
        return E_INVALIDARG;
    }
    std::size_t offset = 0;
    const HRESULT hr = CellOffset(psa, rgIndices, &offset);
    if (FAILED(hr)) {
        return hr;
    }
    *ppvData = static_cast<unsigned char*>(psa->pvData) + offset * psa->cbElements;
    return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (psa == nullptr || rgIndices == nullptr) {
        return E_INVALIDARG;
    }
    const VARTYPE vt = TypeOf(psa);
    if (pv == nullptr && vt != VT_BSTR && vt != VT_DISPATCH && vt != VT_UNKNOWN) {
        return E_INVALIDARG;
    }
    void* cell = nullptr;
    HRESULT hr = SafeArrayPtrOfIndex(psa, rgIndices, &cell);
    if (FAILED(hr)) {
        return hr;
    }
    if (vt == VT_VARIANT) {
        return VariantCopy(static_cast<VARIANT*>(cell), static_cast<const VARIANT*>(pv));
    }
    if (vt == VT_BSTR || vt == VT_DISPATCH || vt == VT_UNKNOWN) {
        // The pointer itself is the value.
        void* fresh = nullptr;
        hr = CopyElement(vt, psa->cbElements, &fresh, &pv);
        if (FAILED(hr)) {
            return hr;
        }
        if (vt == VT_BSTR) {
            SysFreeString(*static_cast<BSTR*>(cell));
        } else if (*static_cast<IUnknown**>(cell) != nullptr) {
            (*static_cast<IUnknown**>(cell))->Release();
        }
        std::memcpy(cell, &fresh, sizeof fresh);
        return S_OK;
    }
    std::memcpy(cell, pv, psa->cbElements);
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (psa == nullptr || rgIndices == nullptr || pv == nullptr) {
        return E_INVALIDARG;
    }
    void* cell = nullptr;
    const HRESULT hr = SafeArrayPtrOfIndex(psa, rgIndices, &cell);
    if (FAILED(hr)) {
        return hr;
    }
    return CopyElement(TypeOf(psa), psa->cbElements, pv, cell);
}

UINT SafeArrayGetDim(SAFEARRAY* psa) {
    return psa == nullptr ? 0 : psa->cDims;
}

UINT SafeArrayGetElemsize(SAFEARRAY* psa) {
    return psa == nullptr ? 0 : psa->cbElements;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
    if (psa == nullptr || plLbound == nullptr) {
        return E_INVALIDARG;
    }
    if (nDim < 1 || nDim > psa->cDims) {
        return DISP_E_BADINDEX;
    }
    *plLbound = Bound(psa, nDim - 1).lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
    if (psa == nullptr || plUbound == nullptr) {
        return E_INVALIDARG;
    }
    if (nDim < 1 || nDim > psa->cDims) {
        return DISP_E_BADINDEX;
    }
    const SAFEARRAYBOUND& b = Bound(psa, nDim - 1);
    *plUbound =
        static_cast<LONG>(static_cast<long long>(b.lLbound) + static_cast<long long>(b.cElements) - 1);
    return S_OK;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
    if (psa == nullptr || pvt == nullptr) {
        return E_INVALIDARG;
    }
    *pvt = TypeOf(psa);
    return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa) {
    if (psa == nullptr) {
        return E_INVALIDARG;
    }
    if (psa->cLocks == 0xFFFF) {
        return E_UNEXPECTED;
    }
    ++psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
    if (psa == nullptr) {
        return E_INVALIDARG;
    }
    if (psa->cLocks == 0) {
        return E_UNEXPECTED;
    }
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
    if (psa == nullptr || ppvData == nullptr) {
        return E_INVALIDARG;
    }
    const HRESULT hr = SafeArrayLock(psa);
    if (FAILED(hr)) {
        return hr;
    }
    *ppvData = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
    return SafeArrayUnlock(psa);
}

HRESULT SafeArrayRedim(SAFEARRAY* psa, SAFEARRAYBOUND* psaboundNew) {
    if (psa == nullptr || psaboundNew == nullptr) {
        return E_INVALIDARG;
    }
    if (psa->cLocks > 0) {
        return DISP_E_ARRAYISLOCKED;
    }
    // The last dimension varies slowest, so its cells are one contiguous tail.
    SAFEARRAYBOUND& last = Bound(psa, psa->cDims - 1U);
    std::size_t oldTotal = 0;
    TotalElements(psa, &oldTotal);
    const SAFEARRAYBOUND old = last;
    last = *psaboundNew;
    std::size_t newTotal = 0;
    if (!TotalElements(psa, &newTotal)) {
        last = old;
        return E_OUTOFMEMORY;
    }
    std::size_t mapped = 0;
    auto* data = static_cast<unsigned char*>(AllocZeroed(newTotal, psa->cbElements, &mapped));
    if (data == nullptr) {
        last = old;
        return E_OUTOFMEMORY;
    }
    const std::size_t kept = oldTotal < newTotal ? oldTotal : newTotal;
    if (psa->pvData != nullptr) {
        std::memcpy(data, psa->pvData, kept * psa->cbElements);
        // Release what the dropped cells own.
        const VARTYPE vt = TypeOf(psa);
        auto* oldData = static_cast<unsigned char*>(psa->pvData);
        for (std::size_t i = kept; i < oldTotal; ++i) {
            void* cell = oldData + i * psa->cbElements;
            if (vt == VT_VARIANT) {
                VariantClear(static_cast<VARIANT*>(cell));
            } else if (vt == VT_BSTR) {
                SysFreeString(*static_cast<BSTR*>(cell));
            } else if ((vt == VT_DISPATCH || vt == VT_UNKNOWN) && *static_cast<IUnknown**>(cell) != nullptr) {
                (*static_cast<IUnknown**>(cell))->Release();
            }
        }
        FreeData(psa);
    }
    psa->pvData = data;
    HeaderOf(psa).mappedBytes = mapped;
    HeaderOf(psa).dataBytes = newTotal * psa->cbElements;
    return S_OK;
}

namespace sw::automation {
long LiveSafeArrayCount() {
    return g_liveArrays.load();
}

void ReleaseKeptArrayMemory() {
    SpareMapping::Instance().Release();
}
}  // namespace sw::automation

namespace sw::automation {

UntouchedPages FindUntouchedPages(SAFEARRAY* psa) {
    UntouchedPages found;
    if (psa == nullptr || psa->pvData == nullptr || HeaderOf(psa).mappedBytes == 0) {
        return found;
    }
    found.untouched = UntouchedPagesOf(psa->pvData, HeaderOf(psa).mappedBytes);
    if (!found.untouched.empty()) {
        found.pageBytes = PageBytes();
    }
    return found;
}

}  // namespace sw::automation
