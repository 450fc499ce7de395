// Small automation objects the tests call through Invoke.
#pragma once

#include <string>
#include <vector>

#include "platform/automation/Automation.h"

namespace automation_test {

using sw::automation::DispArgs;
using sw::automation::DispatchObject;

// Counts its own deletions so tests can see each reference released once.
class Probe : public DispatchObject {
public:
    explicit Probe(int* deleted = nullptr) : deleted_(deleted) {
        AddProperty(
            DISPID_VALUE, L"Value", 0, 0,
            [this](DispArgs&, VARIANT& result) { VariantCopy(&result, &value); },
            [this](DispArgs& args, const VARIANT& v) {
                (void)args;
                VariantCopy(&value, &v);
            });
    }
    ~Probe() override {
        VariantClear(&value);
        if (deleted_ != nullptr) {
            ++*deleted_;
        }
    }
    VARIANT value{};

private:
    int* deleted_;
};

// Records every argument it receives, in call order, and answers with a
// result chosen by the test.
class Recorder : public DispatchObject {
public:
    Recorder() {
        VariantInit(&answer);
        AddMethod(1, L"Take", 0, 16, [this](DispArgs& args, VARIANT& result) {
            Reset();
            for (UINT i = 0; i < args.Count(); ++i) {
                VARIANT copy;
                VariantInit(&copy);
                VariantCopy(&copy, &args.At(i));
                received.push_back(copy);
            }
            VariantCopy(&result, &answer);
        });
        AddProperty(
            2, L"Prop", 0, 1, [this](DispArgs&, VARIANT& result) { VariantCopy(&result, &answer); },
            [this](DispArgs& args, const VARIANT& v) {
                Reset();
                VARIANT copy;
                VariantInit(&copy);
                VariantCopy(&copy, &v);
                received.push_back(copy);
                putIndexArgs = args.Count();
            });
        AddMethod(3, L"Fail", 0, 0, [](DispArgs&, VARIANT&) {
            sw::automation::ThrowApplicationError(L"Range class failed",
                                                  sw::automation::kApplicationErrorCode);
        });
        AddMethod(4, L"Bump", 1, 1, [](DispArgs& args, VARIANT&) {
            // Writes through a by-reference argument.
            const VARIANT& raw = args.At(0);
            if (raw.vt != (VT_I4 | VT_BYREF)) {
                sw::automation::ThrowArgError(DISP_E_TYPEMISMATCH, 0);
            }
            *raw.plVal += 1;
        });
    }
    ~Recorder() override {
        Reset();
        VariantClear(&answer);
    }
    void Reset() {
        for (auto& v : received) {
            VariantClear(&v);
        }
        received.clear();
    }
    std::vector<VARIANT> received;
    VARIANT answer;
    UINT putIndexArgs = 0;
};

}  // namespace automation_test
