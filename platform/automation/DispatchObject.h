// A base for automation objects written in C++: reference counting, a table
// of members by DISPID and name, argument checks, and the translation of
// failures into the results and exception information callers of Invoke
// expect.
//
//     class Range : public sw::automation::DispatchObject {
//     public:
//         Range() {
//             AddProperty(0x6, L"Value", 0, 0,
//                         [this](DispArgs&, VARIANT& result) { ... },
//                         [this](DispArgs& args, const VARIANT& value) { ... });
//             AddMethod(0x75, L"Delete", 0, 1, [this](DispArgs& args, VARIANT&) {
//                 LONG shift = args.LongOr(0, -4162);
//                 ...
//                 if (bad) sw::automation::ThrowApplicationError(L"Delete method of Range class failed");
//             });
//         }
//     };
//
// A new object holds one reference, owned by whoever created it (a getter
// that returns a new object stores it with SetDispatchResult and passes that
// reference on). Handlers report failures by throwing:
//   - ThrowArgError(hr, index): a bad argument; Invoke returns hr and puts the
//     argument's position in rgvarg into *puArgErr;
//   - ThrowApplicationError(description): a failure of the operation; Invoke
//     returns DISP_E_EXCEPTION with EXCEPINFO filled in;
//   - ThrowInvokeError(hr): any other status code.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/automation/Dispatch.h"
#include "platform/automation/Variant.h"

namespace sw::automation {

// Status code of application errors raised without a code of their own.
inline constexpr SCODE kApplicationErrorCode = MakeHResult(0x800A03ECU);

struct InvokeError {
    HRESULT hr;
    UINT argIndex;  // call-order index (DispArgs::kValue for a put value); kNoArg when none
    static constexpr UINT kNoArg = 0xFFFFFFFFU;
};

struct ApplicationError {
    std::wstring description;
    SCODE scode = kApplicationErrorCode;
    WORD wCode = 0;
};

[[noreturn]] void ThrowInvokeError(HRESULT hr);
[[noreturn]] void ThrowArgError(HRESULT hr, UINT argIndex);
[[noreturn]] void ThrowApplicationError(const std::wstring& description, SCODE scode = kApplicationErrorCode,
                                        WORD wCode = 0);

// The arguments of one call, in call order (index 0 is the first argument),
// by-reference variants dereferenced. A missing argument is one not passed
// or passed as VT_ERROR DISP_E_PARAMNOTFOUND. The typed getters convert with
// VariantChangeType and throw ThrowArgError on failure (DISP_E_PARAMNOTFOUND
// for a missing one); the ...Or getters give the default for a missing one.
class DispArgs {
public:
    static constexpr UINT kValue = 0xFFFFFFFEU;  // index of a property put's value

    explicit DispArgs(const DISPPARAMS& params, bool isPut);

    UINT Count() const { return count_; }
    bool IsMissing(UINT index) const;
    bool Has(UINT index) const { return !IsMissing(index); }
    // The argument as passed (VT_EMPTY when absent).
    const VARIANT& At(UINT index) const;
    // The put value; only for property puts.
    const VARIANT& Value() const { return At(kValue); }

    LONG Long(UINT index) const;
    LONG LongOr(UINT index, LONG dflt) const;
    double Double(UINT index) const;
    double DoubleOr(UINT index, double dflt) const;
    bool Bool(UINT index) const;
    bool BoolOr(UINT index, bool dflt) const;
    std::wstring String(UINT index) const;  // embedded nulls kept
    std::wstring StringOr(UINT index, const std::wstring& dflt) const;
    IDispatch* Dispatch(UINT index) const;  // borrowed; null object -> DISP_E_TYPEMISMATCH
    // Converts into `out` (initialised by the callee; the caller clears it).
    void Coerce(UINT index, VARTYPE vt, VARIANT* out) const;

    // Position in rgvarg of an argument, for puArgErr.
    UINT RgIndex(UINT index) const;

private:
    const VARIANT* const* Positional() const { return count_ <= kInline ? inline_ : more_.data(); }

    // Calls pass a few arguments; only longer lists take room on the heap.
    static constexpr UINT kInline = 4;
    const VARIANT* inline_[kInline] = {};
    std::vector<const VARIANT*> more_;
    UINT count_ = 0;
    const VARIANT* value_ = nullptr;
    UINT cArgs_ = 0;
};

// Result setters: clear `result` then store the value.
void SetLongResult(VARIANT& result, LONG value);
void SetShortResult(VARIANT& result, SHORT value);
void SetDoubleResult(VARIANT& result, double value);
void SetDateResult(VARIANT& result, DATE value);
void SetBoolResult(VARIANT& result, bool value);
void SetStringResult(VARIANT& result, const std::wstring& value);
// Takes over one reference of `object` (null gives VT_DISPATCH null).
void SetDispatchResult(VARIANT& result, IDispatch* object);

class DispatchObject : public IDispatch {
public:
    // `result` arrives VT_EMPTY; it is cleared afterwards when the caller wanted no result.
    using Getter = std::function<void(DispArgs& args, VARIANT& result)>;
    using Setter = std::function<void(DispArgs& args, const VARIANT& value)>;
    using Method = std::function<void(DispArgs& args, VARIANT& result)>;

    DispatchObject();
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;
    virtual ~DispatchObject();

    HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                          DISPID* rgDispId) override;
    HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    ULONG RefCount() const { return refs_; }
    // Objects of this base alive in the process (leak checks).
    static long LiveCount();

protected:
    // A property answers DISPATCH_PROPERTYGET (and DISPATCH_METHOD) through
    // `get`, DISPATCH_PROPERTYPUT(REF) through `put` when given; min/max
    // count the positional arguments (a put's value not included).
    void AddProperty(DISPID id, const wchar_t* name, UINT minArgs, UINT maxArgs, Getter get,
                     Setter put = nullptr);
    // A method answers DISPATCH_METHOD and DISPATCH_PROPERTYGET.
    void AddMethod(DISPID id, const wchar_t* name, UINT minArgs, UINT maxArgs, Method fn);

    // Runs one call after Invoke has checked its parameters. The default
    // looks the member up in the table and checks flags and argument count
    // (DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT). May throw the errors above.
    virtual HRESULT OnInvoke(DISPID id, WORD flags, DispArgs& args, VARIANT* result, EXCEPINFO* excepInfo);

    // The source named in EXCEPINFO for application errors.
    virtual std::wstring ErrorSource() const { return std::wstring(); }

private:
    struct Member {
        std::wstring name;
        UINT minArgs = 0;
        UINT maxArgs = 0;
        bool isMethod = false;
        Getter get;
        Setter put;
    };
    std::map<DISPID, Member> members_;
    ULONG refs_ = 1;
};

}  // namespace sw::automation
