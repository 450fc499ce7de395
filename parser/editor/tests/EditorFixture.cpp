#include "parser/editor/tests/EditorFixture.h"

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QMenu>

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

QWidget* Field(const QString& label) {
    return sw::ui::testing::Labelled(PropertiesWindow(), label);
}

QWidget* Field(unsigned id) {
    return sw::ui::testing::Control(PropertiesWindow(), id);
}

sw::ui::testing::UiDriver::Step DialogShown() {
    return [] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() == QLatin1String("SplashScreenExClass") && window->isVisible()) {
                sw::ui::testing::Click(window);
                return false;
            }
        }
        return PropertiesWindow() != nullptr;
    };
}

sw::ui::testing::UiDriver::Step ShowAdvanced() {
    auto pressed = std::make_shared<bool>(false);
    return [pressed] {
        if (!*pressed) {
            sw::ui::testing::Key(sw::ui::testing::Button(PropertiesWindow(), QStringLiteral("Options")),
                                 Qt::Key_Space);
            *pressed = true;
            return false;
        }
        return PropertiesWindow()->height() > 200;
    };
}

void AddMenuChoice(sw::ui::testing::UiDriver& ui, const QString& entry) {
    ui.Then([] {
          if (PropertiesWindow() == nullptr || sw::ui::testing::OpenMessageBox() != nullptr ||
              QApplication::activeModalWidget() != PropertiesWindow()) {
              return false;
          }
          sw::ui::testing::Click(sw::ui::testing::Button(PropertiesWindow(), QStringLiteral("Options")));
          return true;
      }).Then([entry] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) {
            return false;
        }
        for (QAction* action : menu->actions()) {
            if (action->text() == entry) {
                EXPECT_TRUE(action->isEnabled()) << sw::ui::testing::Narrow(entry);
                menu->setActiveAction(action);
                sw::ui::testing::Key(menu, Qt::Key_Return);
                return true;
            }
        }
        ADD_FAILURE() << "no menu entry " << sw::ui::testing::Narrow(entry);
        return true;
    });
}

sw::ui::testing::UiDriver::Step In(const QString& title, std::function<void(QWidget*)> action) {
    return [title, action] {
        QWidget* window = sw::ui::testing::Window(title);
        if (window == nullptr || sw::ui::testing::OpenMessageBox() != nullptr ||
            QApplication::activeModalWidget() != window) {
            return false;
        }
        action(window);
        return true;
    };
}
