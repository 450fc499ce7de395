// Run-time initialisation and object creation by program identifier.
//
// There is no system registry of classes: in-process servers register a
// factory under a program identifier and class identifier with
// sw::automation::RegisterClassFactory. CoCreateInstance needs the calling
// thread to have initialised the run time (CoInitialize(Ex), OleInitialize
// or AfxOleInit) and answers CO_E_NOTINITIALIZED otherwise.
#pragma once

#include <functional>

#include "platform/automation/Dispatch.h"
#include "platform/automation/Guid.h"
#include "platform/automation/StatusCodes.h"

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_SERVER | CLSCTX_INPROC_HANDLER;

inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// S_OK on the first call of a thread, S_FALSE on later ones; each
// successful call is balanced by one uninitialise call.
HRESULT CoInitialize(LPVOID reserved);
HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit);
void CoUninitialize();
HRESULT OleInitialize(LPVOID reserved);
void OleUninitialize();
// The framework's process initialisation: TRUE when the run time is ready.
BOOL AfxOleInit();

// CO_E_CLASSSTRING when nothing is registered under the identifier (compared
// without regard to case, as registry keys are); "{...}" texts are parsed
// as class identifiers.
HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid);
// REGDB_E_CLASSNOTREG for an unknown class or a context without
// CLSCTX_INPROC_SERVER, CLASS_E_NOAGGREGATION with an outer object.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID riid, LPVOID* ppv);
// Servers here run as soon as they are created.
HRESULT OleRun(IUnknown* unknown);

namespace sw::automation {

// Creates one new object and returns the interface riid of it in *ppv, with
// one reference owned by the caller.
using ClassFactoryFn = std::function<HRESULT(REFIID riid, void** ppv)>;

// Registers (or replaces) the factory of a class. S_OK, or E_INVALIDARG for
// an empty identifier or factory.
HRESULT RegisterClassFactory(LPCOLESTR progId, REFCLSID clsid, ClassFactoryFn factory);
// Removes a class by class identifier; S_FALSE when it was not registered.
HRESULT UnregisterClassFactory(REFCLSID clsid);

}  // namespace sw::automation
