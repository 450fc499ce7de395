#include "platform/calc/engine/AutomationObject.h"

#include "platform/automation/Bstr.h"

namespace calc {

const VARIANT& Deref(const VARIANT& v) {
    const VARIANT* p = &v;
    for (int hops = 0; hops < 4 && p->vt == (VT_BYREF | VT_VARIANT) && p->pvarVal; ++hops) {
        p = p->pvarVal;
    }
    return *p;
}

const VARIANT& Args::value() const {
    if (args_.IsMissing(kValue)) {
        throw StatusError{DISP_E_PARAMNOTFOUND};
    }
    return args_.Value();
}

void Args::atMost(UINT n) const {
    if (args_.Count() > n) {
        throw StatusError{DISP_E_BADPARAMCOUNT};
    }
}

namespace {

VARIANT Coerce(const VARIANT& v, VARTYPE vt, UINT argIndex) {
    VARIANT out;
    VariantInit(&out);
    HRESULT hr = VariantChangeType(&out, &Deref(v), 0, vt);
    if (FAILED(hr)) {
        throw StatusError{hr, argIndex};
    }
    return out;
}

}  // namespace

int32_t Args::ToInt32(const VARIANT& v, UINT argIndex) {
    return Coerce(v, VT_I4, argIndex).lVal;
}

double Args::ToDouble(const VARIANT& v, UINT argIndex) {
    return Coerce(v, VT_R8, argIndex).dblVal;
}

bool Args::ToBool(const VARIANT& v, UINT argIndex) {
    return Coerce(v, VT_BOOL, argIndex).boolVal != VARIANT_FALSE;
}

std::wstring Args::ToText(const VARIANT& v, UINT argIndex) {
    VARIANT s = Coerce(v, VT_BSTR, argIndex);
    std::wstring out(s.bstrVal ? s.bstrVal : L"", SysStringLen(s.bstrVal));
    VariantClear(&s);
    return out;
}

std::wstring_view Args::TextView(const VARIANT& v, std::wstring& storage, UINT argIndex) {
    const VARIANT& d = Deref(v);
    if (d.vt == VT_BSTR) {
        return std::wstring_view(d.bstrVal ? d.bstrVal : L"", SysStringLen(d.bstrVal));
    }
    storage = ToText(d, argIndex);
    return storage;
}

HRESULT AutomationObject::OnInvoke(DISPID id, WORD flags, sw::automation::DispArgs& args, VARIANT* result,
                                   EXCEPINFO*) {
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    const Kind kind = put ? Kind::Put : ((flags & DISPATCH_PROPERTYGET) != 0 ? Kind::Get : Kind::Method);
    try {
        Call(id, kind, Args(args), *result);
    } catch (const AppError& e) {
        sw::automation::ThrowApplicationError(e.description);
    } catch (const StatusError& e) {
        if (e.argIndex != StatusError::kNoArg) {
            sw::automation::ThrowArgError(e.hr, e.argIndex);
        }
        sw::automation::ThrowInvokeError(e.hr);
    }
    return S_OK;
}

void AutomationObject::ReturnObject(VARIANT& result, IDispatch* object) {
    sw::automation::SetDispatchResult(result, object);
}

void AutomationObject::ReturnBool(VARIANT& result, bool value) {
    sw::automation::SetBoolResult(result, value);
}

void AutomationObject::ReturnText(VARIANT& result, const std::wstring& text) {
    sw::automation::SetStringResult(result, text);
}

void AutomationObject::Require(Kind kind, Kind wanted) {
    if ((kind == Kind::Put) != (wanted == Kind::Put)) {
        throw StatusError{DISP_E_MEMBERNOTFOUND};
    }
}

}  // namespace calc
