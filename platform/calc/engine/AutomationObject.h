// Base of the spreadsheet's automation objects: each answers its members in
// one Call, on top of the run time's dispatch object (reference counting,
// Invoke checks, exception information).
#pragma once

#include <string>
#include <string_view>

#include "platform/automation/DispatchObject.h"
#include "platform/automation/Variant.h"

namespace calc {

// Thrown inside a member: Invoke answers DISP_E_EXCEPTION with this description.
struct AppError {
    std::wstring description;
};

// Thrown inside a member: Invoke answers the status code itself.
struct StatusError {
    static constexpr UINT kNoArg = sw::automation::InvokeError::kNoArg;
    HRESULT hr;
    UINT argIndex = kNoArg;  // call order; sw::automation::DispArgs::kValue for a put's value
};

// Follows VT_BYREF|VT_VARIANT to the value itself.
const VARIANT& Deref(const VARIANT& v);

// The arguments of one call, in the caller's order.
class Args {
public:
    static constexpr UINT kValue = sw::automation::DispArgs::kValue;

    explicit Args(const sw::automation::DispArgs& args) : args_(args) {}
    UINT count() const { return args_.Count(); }
    // Argument i (0 = first); nullptr when not passed.
    const VARIANT* at(UINT i) const { return i < args_.Count() ? &args_.At(i) : nullptr; }
    // Not passed, or passed as the missing-argument marker.
    bool missing(UINT i) const { return args_.IsMissing(i); }
    // The new value of a property put.
    const VARIANT& value() const;

    int32_t int32At(UINT i) const { return args_.Long(i); }
    std::wstring textAt(UINT i) const { return args_.String(i); }
    // Refuses more than n positional arguments.
    void atMost(UINT n) const;

    // Coerced reads of any variant; failures name the argument.
    static int32_t ToInt32(const VARIANT& v, UINT argIndex = kValue);
    static double ToDouble(const VARIANT& v, UINT argIndex = kValue);
    static bool ToBool(const VARIANT& v, UINT argIndex = kValue);
    static std::wstring ToText(const VARIANT& v, UINT argIndex = kValue);
    // The text of a VT_BSTR without copying it; other types are converted
    // into `storage`, which the view then refers to.
    static std::wstring_view TextView(const VARIANT& v, std::wstring& storage, UINT argIndex = kValue);

private:
    const sw::automation::DispArgs& args_;
};

class AutomationObject : public sw::automation::DispatchObject {
protected:
    enum class Kind { Get, Put, Method };

    // Answers one member. `result` arrives VT_EMPTY; unknown members throw
    // StatusError{DISP_E_MEMBERNOTFOUND}.
    virtual void Call(DISPID id, Kind kind, const Args& args, VARIANT& result) = 0;

    HRESULT OnInvoke(DISPID id, WORD flags, sw::automation::DispArgs& args, VARIANT* result,
                     EXCEPINFO* excepInfo) override;
    std::wstring ErrorSource() const override { return L"Calc"; }

    // Hands a new object to a result (taking over its one reference).
    static void ReturnObject(VARIANT& result, IDispatch* object);
    static void ReturnBool(VARIANT& result, bool value);
    static void ReturnText(VARIANT& result, const std::wstring& text);

    // Property reads and methods are told apart loosely, as callers combine
    // DISPATCH_METHOD and DISPATCH_PROPERTYGET; a put must be a put.
    static void Require(Kind kind, Kind wanted);
};

}  // namespace calc
