// Base of the spreadsheet's automation objects: reference counting,
// IUnknown/IDispatch plumbing and the translation of failures into Invoke's
// results, so each object only answers its members.
#pragma once

#include <atomic>
#include <string>

#include "platform/automation/Dispatch.h"
#include "platform/automation/Variant.h"

namespace calc {

// The status the application reports for its own failures (error 1004, in
// the facility automation servers use for application errors).
inline constexpr HRESULT kAppErrorScode = static_cast<HRESULT>(0x800A03ECU);

// Thrown inside a member: becomes DISP_E_EXCEPTION with this description.
struct AppError {
    std::wstring description;
};
// Thrown inside a member: becomes the status code itself.
struct StatusError {
    HRESULT hr;
    UINT argIndex = 0;  // for puArgErr, counted as Invoke counts (reverse order)
};

// The arguments of one call, in the caller's order.
class Args {
public:
    Args(const DISPPARAMS* params, WORD flags);
    UINT count() const { return count_; }
    // Argument i (0 = first) with VT_BYREF followed; nullptr when absent.
    const VARIANT* at(UINT i) const;
    // Absent, or the missing-argument marker.
    bool missing(UINT i) const;
    // The new value of a property put.
    const VARIANT& value() const;
    bool hasValue() const { return value_ != nullptr; }

    // Coerced reads; a failure throws StatusError naming the argument.
    int32_t int32At(UINT i) const;
    double doubleAt(UINT i) const;
    bool boolAt(UINT i) const;
    std::wstring textAt(UINT i) const;
    static int32_t ToInt32(const VARIANT& v, UINT argIndex);
    static double ToDouble(const VARIANT& v, UINT argIndex);
    static bool ToBool(const VARIANT& v, UINT argIndex);
    static std::wstring ToText(const VARIANT& v, UINT argIndex);

    // Refuses more than n positional arguments.
    void atMost(UINT n) const;

private:
    const DISPPARAMS* params_;
    const VARIANT* value_ = nullptr;
    UINT count_ = 0;
};

// Follows VT_BYREF|VT_VARIANT and friends to the value itself.
const VARIANT& Deref(const VARIANT& v);

class DispatchObject : public IDispatch {
public:
    DispatchObject() = default;
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                          DISPID* rgDispId) override;
    HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

protected:
    virtual ~DispatchObject() = default;

    enum class Kind { Get, Put, Method };
    // Answers one member. `result` is never null (a scratch variant when the
    // caller wants none); unknown members throw StatusError{DISP_E_MEMBERNOTFOUND}.
    virtual void Call(DISPID id, Kind kind, const Args& args, VARIANT& result) = 0;

    // Hands a new object to a result (taking over its one reference).
    static void ReturnObject(VARIANT& result, IDispatch* object);
    static void ReturnBool(VARIANT& result, bool value);
    static void ReturnText(VARIANT& result, const std::wstring& text);

    static void Require(Kind kind, Kind wanted);

private:
    std::atomic<ULONG> refs_{1};
};

}  // namespace calc
