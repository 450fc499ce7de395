#include <gtest/gtest.h>

#include "platform/automation/Automation.h"
#include "platform/automation/tests/TestObjects.h"

namespace {

const CLSID kTestClsid = {0x0A1B2C3D, 0x1111, 0x2222, {0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA}};

int g_created = 0;

HRESULT CreateProbe(REFIID riid, void** ppv) {
    ++g_created;
    auto* probe = new automation_test::Probe;
    const HRESULT hr = probe->QueryInterface(riid, ppv);
    probe->Release();
    return hr;
}

// Registers the test class for one test and removes it afterwards.
class automation_registered_test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(sw::automation::RegisterClassFactory(L"Sheetwise.TestServer", kTestClsid, CreateProbe),
                  S_OK);
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    }
    void TearDown() override {
        CoUninitialize();
        sw::automation::UnregisterClassFactory(kTestClsid);
    }
};

}  // namespace

TEST_F(automation_registered_test, create_by_program_identifier) {
    g_created = 0;
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"sheetwise.testserver", &clsid), S_OK);  // any case
    EXPECT_TRUE(IsEqualCLSID(clsid, kTestClsid));
    {
        COleDispatchDriver app;
        COleException error;
        ASSERT_TRUE(app.CreateDispatch(L"Sheetwise.TestServer", &error));
        EXPECT_NE(app.m_lpDispatch, nullptr);
        EXPECT_EQ(sw::automation::DispatchObject::LiveCount(), 1);
        EXPECT_EQ(static_cast<sw::automation::DispatchObject*>(app.m_lpDispatch)->RefCount(), 1U);
    }
    EXPECT_EQ(g_created, 1);
    EXPECT_EQ(sw::automation::DispatchObject::LiveCount(), 0);

    IDispatch* direct = nullptr;
    ASSERT_EQ(CoCreateInstance(kTestClsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&direct)),
              S_OK);
    direct->Release();
    EXPECT_EQ(sw::automation::DispatchObject::LiveCount(), 0);
}

TEST_F(automation_registered_test, unknown_classes_and_bad_requests) {
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(L"Nobody.Application", &clsid), CO_E_CLASSSTRING);
    COleDispatchDriver app;
    COleException error;
    EXPECT_FALSE(app.CreateDispatch(L"Nobody.Application", &error));
    EXPECT_EQ(error.m_sc, CO_E_CLASSSTRING);
    EXPECT_EQ(app.m_lpDispatch, nullptr);

    const CLSID unknown = {0x99999999, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
    EXPECT_FALSE(app.CreateDispatch(unknown, &error));
    EXPECT_EQ(error.m_sc, REGDB_E_CLASSNOTREG);

    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(kTestClsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, &p),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(p, nullptr);
    auto* outer = new automation_test::Probe;
    EXPECT_EQ(CoCreateInstance(kTestClsid, outer, CLSCTX_ALL, IID_IDispatch, &p), CLASS_E_NOAGGREGATION);
    outer->Release();
    const IID strange = {0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(CoCreateInstance(kTestClsid, nullptr, CLSCTX_ALL, strange, &p), E_NOINTERFACE);
    EXPECT_EQ(CoCreateInstance(kTestClsid, nullptr, CLSCTX_ALL, IID_IDispatch, nullptr), E_POINTER);
    EXPECT_EQ(sw::automation::DispatchObject::LiveCount(), 0);

    // The class string form works without any registration by name.
    LPOLESTR text = nullptr;
    ASSERT_EQ(StringFromCLSID(kTestClsid, &text), S_OK);
    EXPECT_EQ(std::wstring(text), L"{0A1B2C3D-1111-2222-3344-5566778899AA}");
    ASSERT_EQ(CLSIDFromProgID(text, &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, kTestClsid));
    CoTaskMemFree(text);
    EXPECT_EQ(CLSIDFromString(L"{0A1B2C3D-1111-2222-3344-5566778899AG}", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromString(L"0A1B2C3D-1111-2222-3344-5566778899AA", &clsid), CO_E_CLASSSTRING);
}

TEST(automation_test, creation_needs_an_initialised_thread) {
    ASSERT_EQ(sw::automation::RegisterClassFactory(L"Sheetwise.TestServer", kTestClsid, CreateProbe), S_OK);
    void* p = nullptr;
    EXPECT_EQ(CoCreateInstance(kTestClsid, nullptr, CLSCTX_ALL, IID_IDispatch, &p), CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_EQ(OleInitialize(nullptr), S_FALSE);
    ASSERT_EQ(CoCreateInstance(kTestClsid, nullptr, CLSCTX_ALL, IID_IDispatch, &p), S_OK);
    static_cast<IDispatch*>(p)->Release();
    OleUninitialize();
    CoUninitialize();
    EXPECT_EQ(CoCreateInstance(kTestClsid, nullptr, CLSCTX_ALL, IID_IDispatch, &p), CO_E_NOTINITIALIZED);
    EXPECT_EQ(sw::automation::UnregisterClassFactory(kTestClsid), S_OK);
    EXPECT_EQ(sw::automation::UnregisterClassFactory(kTestClsid), S_FALSE);
    EXPECT_EQ(sw::automation::RegisterClassFactory(L"", kTestClsid, CreateProbe), E_INVALIDARG);
    EXPECT_EQ(sw::automation::RegisterClassFactory(L"X.Y", kTestClsid, nullptr), E_INVALIDARG);
    EXPECT_EQ(sw::automation::DispatchObject::LiveCount(), 0);
}
