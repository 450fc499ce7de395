#include "parser/editor/tests/EditorFixture.h"

#include <unistd.h>

#include <sstream>

namespace fs = std::filesystem;

void EditorTest::SetUp() {
    sw::ui::testing::StartUi();
    dir_ = fs::temp_directory_path() / ("editor_test_" + std::to_string(getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "store");
    setenv("SHEETWISE_REGISTRY_DIR", (dir_ / "store").c_str(), 1);
}

void EditorTest::TearDown() {
    fs::remove_all(dir_);
    unsetenv("SHEETWISE_REGISTRY_DIR");
}

void EditorTest::StoreProfile(const std::wstring& name, const std::wstring& identifier,
                              const std::wstring& numericFormat, const std::wstring& dateFormat) {
    KVDriverOptionsMgr mgr;
    auto* profile = dynamic_cast<KVDriverOptionsExcel*>(
        mgr.CreateNewDriverOption(KVFileParserTypes::enFileParserExcel, name.c_str()));
    ASSERT_NE(profile, nullptr);
    profile->SetReportIdentifier(identifier.c_str());
    profile->SetNumericFormat(numericFormat.c_str());
    profile->SetDateFormat(dateFormat.c_str(), L"");
    profile->SetRemoveFormattingOfCells(TRUE);
    profile->SetFontName(L"DejaVu Sans");
    profile->SetFontSize(10);
    mgr.SaveSettings(profile);
}

void EditorTest::StoreAnchor(const std::wstring& profileName, const std::wstring& descriptor,
                             KVExcelRemoveDataAnchor::enAnchorType type) {
    KVDriverOptionsMgr mgr;
    KVDriverOptionsExcel* profile = Profile(mgr, profileName);
    ASSERT_NE(profile, nullptr);
    profile->SetRemoveDataSection(TRUE);
    KVExcelRemoveDataAnchor* anchor = profile->CreateRemoveDataAnchor();
    anchor->SetAnchorDescriptor(descriptor.c_str());
    anchor->SetAnchorType(type);
    anchor->SetAnchorIndex(profile->GetRemoveDataAnchorCount());
    mgr.SaveSettings(profile);
}

std::string EditorTest::Snapshot() {
    KVDriverOptionsMgr mgr;
    std::wostringstream out;
    out << L"MRU " << mgr.GetDefaultDriverOptions()->GetMRUProfileIndex() << L' '
        << mgr.GetDefaultDriverOptions()->GetMRUProfileName() << L'\n';
    for (long i = 0; i < mgr.GetExcelProfileCount(); ++i) {
        const auto* p = dynamic_cast<const KVDriverOptionsExcel*>(mgr.GetExcelProfile(i));
        out << p->GetProfileName() << L'|' << p->GetReportIdentifier() << L'|' << p->GetDefaultOutputFolder()
            << L'|' << p->GetLastFileOpened() << L'|' << p->GetMoveToTopLeftCell() << p->GetResizeCells()
            << p->GetRemoveFormattingOfCells() << p->GetRemoveDataSection() << p->GetRemoveRowsWithSpace()
            << p->GetRemoveColumnsWithSpace() << L'|' << p->GetFontName() << L' ' << p->GetFontSize() << L' '
            << p->GetFontBold() << p->GetFontUnderline() << p->GetFontItalicize() << L'|'
            << p->GetDateFormatW() << L'|' << p->GetCustomDateFormat() << L'|' << p->GetNumericFormat();
        for (long a = 0; a < p->GetRemoveDataAnchorCount(); ++a) {
            const KVExcelRemoveDataAnchor* anchor = p->GetRemoveDataAnchor(a);
            const CRect& area = anchor->GetAreaToRemove();
            out << L'|' << anchor->GetAnchorDescriptor() << L':' << anchor->GetAnchorType() << L':'
                << area.left << L',' << area.top << L',' << area.right << L',' << area.bottom;
        }
        out << L'\n';
    }
    const std::wstring text = out.str();
    return std::string(text.begin(), text.end());
}

QWidget* PropertiesWindow() {
    return sw::ui::testing::Window(QStringLiteral("Sheetwise Print Driver Properties"));
}
