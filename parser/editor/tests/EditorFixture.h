// A settings store of its own for each editor test, with a few profiles.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "lib/manager/KVDriverOptionsMgr.h"
#include "lib/options/KVDriverOptionsExcel.h"
#include "platform/ui/tests/UiDriver.h"

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Stores a profile the way the editor would have; returns it through a
    // manager that is gone by then, so the test sees only the store.
    static void StoreProfile(const std::wstring& name, const std::wstring& identifier,
                             const std::wstring& numericFormat = L"0.00",
                             const std::wstring& dateFormat = L"m/d/yyyy");
    static void StoreAnchor(const std::wstring& profile, const std::wstring& descriptor,
                            KVExcelRemoveDataAnchor::enAnchorType type);
    // A fresh look at the store.
    static std::unique_ptr<KVDriverOptionsMgr> Stored() { return std::make_unique<KVDriverOptionsMgr>(); }
    static KVDriverOptionsExcel* Profile(KVDriverOptionsMgr& mgr, const std::wstring& name) {
        return dynamic_cast<KVDriverOptionsExcel*>(mgr.GetExcelProfile(name.c_str()));
    }
    // Every stored profile with every field, and the most recently used
    // one: equal snapshots mean nothing reached the store.
    static std::string Snapshot();

    std::filesystem::path dir_;
};

// The properties dialog's window once it shows, else null.
QWidget* PropertiesWindow();
// Its control named by a label, or by the identifier of resource.h.
QWidget* Field(const QString& label);
QWidget* Field(unsigned id);

// Steps: waits for the dialog with the splash gone; opens the advanced
// layout by pressing Space on "Options" (its first choice); picks an entry
// of the "Options" menu as a mouse user would.
sw::ui::testing::UiDriver::Step DialogShown();
sw::ui::testing::UiDriver::Step ShowAdvanced();
void AddMenuChoice(sw::ui::testing::UiDriver& ui, const QString& entry);
// A step: does `action` once the window with that title is there and no
// message box is open.
sw::ui::testing::UiDriver::Step In(const QString& title, std::function<void(QWidget*)> action);
