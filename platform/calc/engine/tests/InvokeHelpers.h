// Calls automation members the way a dispatch driver does: by DISPID, with
// positional arguments in reverse order and the put value named
// DISPID_PROPERTYPUT. Failures of the helpers fail the test.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "platform/automation/Bstr.h"
#include "platform/automation/Dispatch.h"
#include "platform/automation/SafeArray.h"
#include "platform/automation/Variant.h"

namespace calc::testing {

// A VARIANT that clears itself.
struct Var : VARIANT {
    Var() { VariantInit(this); }
    Var(const Var& other) : Var() { VariantCopy(this, &other); }
    Var& operator=(const Var& other) {
        if (this != &other) {
            VariantCopy(this, &other);
        }
        return *this;
    }
    ~Var() { VariantClear(this); }
};

inline Var Bstr(const std::wstring& s) {
    Var v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    return v;
}
inline Var I2(short n) {
    Var v;
    v.vt = VT_I2;
    v.iVal = n;
    return v;
}
inline Var I4(LONG n) {
    Var v;
    v.vt = VT_I4;
    v.lVal = n;
    return v;
}
inline Var R8(double d) {
    Var v;
    v.vt = VT_R8;
    v.dblVal = d;
    return v;
}
inline Var Date(double d) {
    Var v;
    v.vt = VT_DATE;
    v.date = d;
    return v;
}
inline Var Bool(bool b) {
    Var v;
    v.vt = VT_BOOL;
    v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}
inline Var Missing() {
    Var v;
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

struct CallResult {
    HRESULT hr = S_OK;
    Var value;
    std::wstring description;  // of a DISP_E_EXCEPTION
    SCODE scode = 0;
};

inline CallResult Invoke(IDispatch* object, DISPID id, WORD flags, const std::vector<Var>& args,
                         const Var* putValue = nullptr) {
    std::vector<VARIANT> rg;
    if (putValue) {
        rg.push_back(*putValue);
    }
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        rg.push_back(*it);
    }
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{rg.empty() ? nullptr : rg.data(), putValue ? &named : nullptr,
                      static_cast<UINT>(rg.size()), putValue ? 1u : 0u};
    CallResult r;
    EXCEPINFO info{};
    UINT argErr = 0;
    r.hr = object->Invoke(id, IID_NULL, 0, flags, &params, &r.value, &info, &argErr);
    if (r.hr == DISP_E_EXCEPTION) {
        r.description.assign(info.bstrDescription ? info.bstrDescription : L"",
                             SysStringLen(info.bstrDescription));
        r.scode = info.scode;
    }
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return r;
}

inline CallResult TryGet(IDispatch* object, DISPID id, const std::vector<Var>& args = {}) {
    return Invoke(object, id, DISPATCH_PROPERTYGET, args);
}
inline CallResult TryPut(IDispatch* object, DISPID id, const Var& value, const std::vector<Var>& args = {}) {
    return Invoke(object, id, DISPATCH_PROPERTYPUT, args, &value);
}
inline CallResult TryCall(IDispatch* object, DISPID id, const std::vector<Var>& args = {}) {
    return Invoke(object, id, DISPATCH_METHOD, args);
}

inline Var Get(IDispatch* object, DISPID id, const std::vector<Var>& args = {}) {
    CallResult r = TryGet(object, id, args);
    EXPECT_EQ(r.hr, S_OK) << "get of member " << id;
    return r.value;
}
inline void Put(IDispatch* object, DISPID id, const Var& value, const std::vector<Var>& args = {}) {
    CallResult r = TryPut(object, id, value, args);
    EXPECT_EQ(r.hr, S_OK) << "put of member " << id << ": "
                          << std::string(r.description.begin(), r.description.end());
}
inline Var Call(IDispatch* object, DISPID id, const std::vector<Var>& args = {}) {
    CallResult r = TryCall(object, id, args);
    EXPECT_EQ(r.hr, S_OK) << "call of member " << id << ": "
                          << std::string(r.description.begin(), r.description.end());
    return r.value;
}

// Owns one reference of an object.
class Obj {
public:
    Obj() = default;
    explicit Obj(IDispatch* p) : p_(p) {}
    explicit Obj(const Var& v) {
        if (v.vt == VT_DISPATCH && v.pdispVal) {
            p_ = v.pdispVal;
            p_->AddRef();
        }
    }
    Obj(const Obj&) = delete;
    Obj& operator=(const Obj&) = delete;
    Obj(Obj&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    Obj& operator=(Obj&& o) noexcept {
        reset();
        p_ = o.p_;
        o.p_ = nullptr;
        return *this;
    }
    ~Obj() { reset(); }
    void reset() {
        if (p_) {
            p_->Release();
            p_ = nullptr;
        }
    }
    IDispatch* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    IDispatch* p_ = nullptr;
};

inline Obj GetObj(IDispatch* object, DISPID id, const std::vector<Var>& args = {}) {
    Var v = Get(object, id, args);
    EXPECT_EQ(v.vt, VT_DISPATCH);
    return Obj(v);
}
inline Obj CallObj(IDispatch* object, DISPID id, const std::vector<Var>& args = {}) {
    Var v = Call(object, id, args);
    EXPECT_EQ(v.vt, VT_DISPATCH);
    return Obj(v);
}

// A two-dimensional array of variants with the given lower bounds, [row, column].
inline Var Block(const std::vector<std::vector<Var>>& rows, LONG lower = 0) {
    SAFEARRAYBOUND bounds[2];
    bounds[0].cElements = static_cast<ULONG>(rows.size());
    bounds[0].lLbound = lower;
    bounds[1].cElements = rows.empty() ? 0 : static_cast<ULONG>(rows[0].size());
    bounds[1].lLbound = lower;
    Var v;
    v.vt = VT_ARRAY | VT_VARIANT;
    v.parray = SafeArrayCreate(VT_VARIANT, 2, bounds);
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < rows[r].size(); ++c) {
            LONG idx[2] = {static_cast<LONG>(r) + lower, static_cast<LONG>(c) + lower};
            VARIANT copy = rows[r][c];
            SafeArrayPutElement(v.parray, idx, &copy);
        }
    }
    return v;
}

// Element [row, column] of an array variant, by its own bounds.
inline Var Element(const Var& array, LONG row, LONG col) {
    Var out;
    LONG idx[2] = {row, col};
    EXPECT_EQ(SafeArrayGetElement(array.parray, idx, &out), S_OK);
    return out;
}

inline std::wstring Text(const Var& v) {
    return v.vt == VT_BSTR ? std::wstring(v.bstrVal ? v.bstrVal : L"", SysStringLen(v.bstrVal))
                           : L"<not text>";
}

}  // namespace calc::testing
