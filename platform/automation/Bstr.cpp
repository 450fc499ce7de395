#include "platform/automation/Bstr.h"

#include <sys/single_threaded.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>
#include <thread>

// Under the address sanitizer (either compiler's spelling) strings stay
// heap blocks of their own.
#if defined(__SANITIZE_ADDRESS__)
#define SW_BSTR_HEAP_ONLY 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SW_BSTR_HEAP_ONLY 1
#endif
#endif

namespace {

// The byte length sits in the word just before the characters, as callers
// holding a BSTR expect; the block also keeps a terminating null. The
// prefix's first word says where the block came from (see StringPool).
constexpr std::size_t kPrefix = sizeof(std::uint64_t);

std::atomic<long> g_liveBstrs{0};

// Short strings come from slabs of equal-sized blocks rather than from the
// general heap. A block of cells holds hundreds of thousands of short texts
// that are made together and freed together; freed one by one into the
// general heap, they were all merged again at its next large request, a
// good part of a large conversion. A slab goes back to the heap once none of
// its blocks is in use (one empty slab per size is kept for the next string).
// Under the address sanitizer every string is a heap block of its own, so
// that misuse of a string is still caught.
class StringPool {
public:
    static constexpr std::size_t kGranule = 16;
    static constexpr std::size_t kClasses = 16;  // blocks of 16 to 256 bytes
    static constexpr std::uint32_t kHeapTag = 0;

    // A block of at least `bytes` bytes and its tag, or null.
    static void* Take(std::size_t bytes, std::uint32_t* tag) {
#if defined(SW_BSTR_HEAP_ONLY)
        *tag = kHeapTag;
        return std::malloc(bytes);
#else
        if (bytes > kGranule * kClasses) {
            *tag = kHeapTag;
            return std::malloc(bytes);
        }
        const std::size_t cls = (bytes - 1) / kGranule;
        *tag = static_cast<std::uint32_t>(cls + 1);
        Guard guard;
        return Instance().TakeFrom(cls);
#endif
    }

    // Pool blocks, given back under one hold of the lock.
    static void GiveAll(void* const* blocks, std::size_t count) {
        if (count == 0) {
            return;
        }
        Guard guard;
        for (std::size_t i = 0; i < count; ++i) {
            Instance().GiveBack(blocks[i]);
        }
    }

private:
    static constexpr std::size_t kSlabBytes = 64 * 1024;
    struct Slab {
        Slab* prev;
        Slab* next;
        void* freed;         // blocks given back, each holding the next
        std::size_t carved;  // blocks handed out from the untouched rest
        std::size_t inUse;
        std::size_t cls;
        bool listed;  // in its class's list of slabs with room
    };
    static constexpr std::size_t kSlabHeader = 64;
    static_assert(sizeof(Slab) <= kSlabHeader, "the slab header must fit before its blocks");

    struct Class {
        Slab* withRoom = nullptr;
        std::size_t emptySlabs = 0;
    };

    // Locks only once the process has a second thread. The hold is a few
    // instructions, so a spin on one flag, which costs one atomic exchange
    // when nobody else holds it, serves better than a mutex: a conversion
    // makes and frees millions of strings.
    class Guard {
    public:
        Guard() : locked_(!__libc_single_threaded) {
            if (locked_) {
                while (Flag().exchange(true, std::memory_order_acquire)) {
                    while (Flag().load(std::memory_order_relaxed)) {
                        std::this_thread::yield();
                    }
                }
            }
        }
        ~Guard() {
            if (locked_) {
                Flag().store(false, std::memory_order_release);
            }
        }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        static std::atomic<bool>& Flag() {
            static std::atomic<bool> held{false};
            return held;
        }
        bool locked_;
    };

    static StringPool& Instance() {
        // Never destroyed: strings may be freed during the process's exit.
        static StringPool* pool = new StringPool;
        return *pool;
    }

    static std::size_t BlockBytes(std::size_t cls) {
        return (cls + 1) * kGranule;
    }
    static std::size_t Capacity(std::size_t cls) {
        return (kSlabBytes - kSlabHeader) / BlockBytes(cls);
    }

    void Link(Slab* slab) {
        Class& c = classes_[slab->cls];
        slab->prev = nullptr;
        slab->next = c.withRoom;
        if (c.withRoom != nullptr) {
            c.withRoom->prev = slab;
        }
        c.withRoom = slab;
        slab->listed = true;
    }

    void Unlink(Slab* slab) {
        Class& c = classes_[slab->cls];
        if (slab->prev != nullptr) {
            slab->prev->next = slab->next;
        } else {
            c.withRoom = slab->next;
        }
        if (slab->next != nullptr) {
            slab->next->prev = slab->prev;
        }
        slab->listed = false;
    }

    void* TakeFrom(std::size_t cls) {
        Class& c = classes_[cls];
        Slab* slab = c.withRoom;
        if (slab == nullptr) {
            slab = static_cast<Slab*>(std::aligned_alloc(kSlabBytes, kSlabBytes));
            if (slab == nullptr) {
                return nullptr;
            }
            *slab = Slab{nullptr, nullptr, nullptr, 0, 0, cls, false};
            Link(slab);
            ++c.emptySlabs;
        }
        void* block = slab->freed;
        if (block != nullptr) {
            std::memcpy(&slab->freed, block, sizeof(void*));
        } else {
            block = reinterpret_cast<unsigned char*>(slab) + kSlabHeader + slab->carved * BlockBytes(cls);
            ++slab->carved;
        }
        if (slab->inUse++ == 0) {
            --c.emptySlabs;
        }
        if (slab->freed == nullptr && slab->carved == Capacity(cls)) {
            Unlink(slab);
        }
        return block;
    }

    void GiveBack(void* block) {
        auto* slab = reinterpret_cast<Slab*>(reinterpret_cast<std::uintptr_t>(block) & ~(kSlabBytes - 1));
        std::memcpy(block, &slab->freed, sizeof(void*));
        slab->freed = block;
        if (!slab->listed) {
            Link(slab);
        }
        if (--slab->inUse == 0) {
            Class& c = classes_[slab->cls];
            if (c.emptySlabs > 0) {
                Unlink(slab);
                std::free(slab);
            } else {
                ++c.emptySlabs;
            }
        }
    }

    Class classes_[kClasses];
};

// Room for `length` characters, the prefix and the terminating null set;
// the characters themselves are left for the caller to fill (a block of
// texts is hundreds of thousands of strings, each written once).
BSTR Allocate(UINT length) {
    if (length > (std::numeric_limits<UINT>::max() - 1) / sizeof(OLECHAR) - kPrefix) {
        return nullptr;
    }
    const std::size_t bytes = kPrefix + (static_cast<std::size_t>(length) + 1) * sizeof(OLECHAR);
    std::uint32_t tag = StringPool::kHeapTag;
    auto* block = static_cast<unsigned char*>(StringPool::Take(bytes, &tag));
    if (block == nullptr) {
        return nullptr;
    }
    const std::uint32_t byteLength = static_cast<std::uint32_t>(length * sizeof(OLECHAR));
    std::memcpy(block, &tag, sizeof tag);
    std::memcpy(block + kPrefix - sizeof(std::uint32_t), &byteLength, sizeof byteLength);
    auto* chars = reinterpret_cast<BSTR>(block + kPrefix);
    chars[length] = L'\0';
    ++g_liveBstrs;
    return chars;
}

unsigned char* BlockOf(BSTR bstr) {
    return reinterpret_cast<unsigned char*>(bstr) - kPrefix;
}

}  // namespace

BSTR SysAllocString(LPCOLESTR text) {
    if (text == nullptr) {
        return nullptr;
    }
    return SysAllocStringLen(text, static_cast<UINT>(std::wcslen(text)));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    BSTR bstr = Allocate(length);
    if (bstr != nullptr && length > 0) {
        if (text != nullptr) {
            std::memcpy(bstr, text, length * sizeof(OLECHAR));
        } else {
            std::memset(bstr, 0, length * sizeof(OLECHAR));
        }
    }
    return bstr;
}

BSTR SysAllocStringByteLen(const char* bytes, UINT byteLength) {
    // Whole characters only; a trailing partial character is zero-padded.
    const auto length = static_cast<UINT>((std::size_t{byteLength} + sizeof(OLECHAR) - 1) / sizeof(OLECHAR));
    BSTR bstr = Allocate(length);
    if (bstr != nullptr && length > 0) {
        std::memset(bstr, 0, length * sizeof(OLECHAR));
        if (bytes != nullptr) {
            std::memcpy(bstr, bytes, byteLength);
        }
    }
    return bstr;
}

INT SysReAllocString(BSTR* bstr, LPCOLESTR text) {
    if (bstr == nullptr) {
        return FALSE;
    }
    return SysReAllocStringLen(bstr, text, text == nullptr ? 0U : static_cast<UINT>(std::wcslen(text)));
}

INT SysReAllocStringLen(BSTR* bstr, const OLECHAR* text, UINT length) {
    if (bstr == nullptr) {
        return FALSE;
    }
    // The source may be the string being replaced: copy before freeing.
    BSTR fresh = SysAllocStringLen(text, length);
    if (fresh == nullptr) {
        return FALSE;
    }
    SysFreeString(*bstr);
    *bstr = fresh;
    return TRUE;
}

void SysFreeString(BSTR bstr) {
    sw::automation::FreeStrings(&bstr, 1);
}

namespace sw::automation {

void FreeStrings(const BSTR* strings, std::size_t count) {
    constexpr std::size_t kBatch = 256;
    void* pooled[kBatch];
    std::size_t held = 0;
    long freed = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (strings[i] == nullptr) {
            continue;
        }
        ++freed;
        unsigned char* block = BlockOf(strings[i]);
        std::uint32_t tag = 0;
        std::memcpy(&tag, block, sizeof tag);
        if (tag == StringPool::kHeapTag) {
            std::free(block);
            continue;
        }
        pooled[held++] = block;
        if (held == kBatch) {
            StringPool::GiveAll(pooled, held);
            held = 0;
        }
    }
    StringPool::GiveAll(pooled, held);
    g_liveBstrs -= freed;
}

}  // namespace sw::automation

UINT SysStringByteLen(BSTR bstr) {
    if (bstr == nullptr) {
        return 0;
    }
    std::uint32_t byteLength = 0;
    std::memcpy(&byteLength, BlockOf(bstr) + kPrefix - sizeof(std::uint32_t), sizeof byteLength);
    return byteLength;
}

UINT SysStringLen(BSTR bstr) {
    return static_cast<UINT>(SysStringByteLen(bstr) / sizeof(OLECHAR));
}

namespace sw::automation {
long LiveBstrCount() {
    return g_liveBstrs.load();
}
}  // namespace sw::automation
