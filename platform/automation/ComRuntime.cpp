#include "platform/automation/ComRuntime.h"

#include <cwctype>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

struct ClassEntry {
    std::wstring progId;
    CLSID clsid;
    sw::automation::ClassFactoryFn factory;
};

std::mutex& RegistryMutex() {
    static std::mutex m;
    return m;
}

std::vector<ClassEntry>& Classes() {
    static std::vector<ClassEntry> classes;
    return classes;
}

// Initialisations of the calling thread not yet balanced.
thread_local long t_initCount = 0;

bool SameIdentifier(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) {
            return false;
        }
    }
    return true;
}

HRESULT Initialise() {
    return t_initCount++ == 0 ? S_OK : S_FALSE;
}

void Uninitialise() {
    if (t_initCount > 0) {
        --t_initCount;
    }
}

}  // namespace

HRESULT CoInitialize(LPVOID) {
    return Initialise();
}

HRESULT CoInitializeEx(LPVOID, DWORD) {
    return Initialise();
}

void CoUninitialize() {
    Uninitialise();
}

HRESULT OleInitialize(LPVOID) {
    return Initialise();
}

void OleUninitialize() {
    Uninitialise();
}

BOOL AfxOleInit() {
    // Once per thread: the framework keeps the run time up until the program ends.
    static thread_local bool done = false;
    if (!done) {
        done = SUCCEEDED(OleInitialize(nullptr));
    }
    return done ? TRUE : FALSE;
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid) {
    if (progId == nullptr || clsid == nullptr) {
        return E_INVALIDARG;
    }
    if (progId[0] == L'{') {
        return CLSIDFromString(progId, clsid);
    }
    std::lock_guard<std::mutex> lock(RegistryMutex());
    for (const ClassEntry& e : Classes()) {
        if (SameIdentifier(e.progId, progId)) {
            *clsid = e.clsid;
            return S_OK;
        }
    }
    return CO_E_CLASSSTRING;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID riid, LPVOID* ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (t_initCount == 0) {
        return CO_E_NOTINITIALIZED;
    }
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    if ((clsContext & CLSCTX_INPROC_SERVER) == 0) {
        return REGDB_E_CLASSNOTREG;
    }
    sw::automation::ClassFactoryFn factory;
    {
        std::lock_guard<std::mutex> lock(RegistryMutex());
        for (const ClassEntry& e : Classes()) {
            if (IsEqualCLSID(e.clsid, clsid)) {
                factory = e.factory;
                break;
            }
        }
    }
    if (!factory) {
        return REGDB_E_CLASSNOTREG;
    }
    // The factory runs unlocked: it may create further objects.
    void* object = nullptr;
    const HRESULT hr = factory(riid, &object);
    if (FAILED(hr)) {
        return hr;
    }
    if (object == nullptr) {
        return E_UNEXPECTED;
    }
    *ppv = object;
    return hr;
}

HRESULT OleRun(IUnknown* unknown) {
    return unknown == nullptr ? E_INVALIDARG : S_OK;
}

namespace sw::automation {

HRESULT RegisterClassFactory(LPCOLESTR progId, REFCLSID clsid, ClassFactoryFn factory) {
    if (progId == nullptr || progId[0] == L'\0' || progId[0] == L'{' || !factory) {
        return E_INVALIDARG;
    }
    std::lock_guard<std::mutex> lock(RegistryMutex());
    auto& classes = Classes();
    for (ClassEntry& e : classes) {
        if (IsEqualCLSID(e.clsid, clsid) || SameIdentifier(e.progId, progId)) {
            e.progId = progId;
            e.clsid = clsid;
            e.factory = std::move(factory);
            return S_OK;
        }
    }
    classes.push_back(ClassEntry{progId, clsid, std::move(factory)});
    return S_OK;
}

HRESULT UnregisterClassFactory(REFCLSID clsid) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    auto& classes = Classes();
    for (auto it = classes.begin(); it != classes.end(); ++it) {
        if (IsEqualCLSID(it->clsid, clsid)) {
            classes.erase(it);
            return S_OK;
        }
    }
    return S_FALSE;
}

}  // namespace sw::automation
