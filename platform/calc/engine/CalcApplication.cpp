#include "platform/calc/engine/CalcApplication.h"

#include <memory>

#include "platform/automation/ComRuntime.h"
#include "platform/calc/engine/CalcObjects.h"

namespace calc {

HRESULT RegisterExcelApplication() {
    return sw::automation::RegisterClassFactory(
        L"Excel.Application", kCalcApplicationClsid, [](REFIID riid, void** ppv) -> HRESULT {
            if (!ppv) {
                return E_POINTER;
            }
            auto* app = new ApplicationObject(std::make_shared<AppState>());
            HRESULT hr = app->QueryInterface(riid, ppv);
            app->Release();
            return hr;
        });
}

}  // namespace calc
