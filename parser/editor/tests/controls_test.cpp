// The custom controls and the two profile dialogs on their own.
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFontDatabase>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QTableWidget>
#include <QTest>

#include <vector>

#include "parser/editor/CSplashScreenEx.h"
#include "parser/editor/KVChoiceButton.h"
#include "parser/editor/KVFontPreviewCBX.h"
#include "parser/editor/KVManageProfilesDlg.h"
#include "parser/editor/KVNewProfileName.h"
#include "parser/editor/tests/EditorFixture.h"
#include "parser/res/resource.h"
#include "platform/ui/UserInterface.h"

using namespace sw::ui::testing;

namespace {

constexpr UINT kChoice = 100;
constexpr UINT kFonts = 101;

sw::ui::DialogTemplate ControlsTemplate() {
    sw::ui::DialogTemplate t;
    t.caption = L"Controls";
    t.cx = 200;
    t.cy = 60;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.items = {
        {sw::ui::ControlKind::Button, kChoice, L"&Choose", 4, 4, 60, 14, WS_TABSTOP | BS_OWNERDRAW},
        {sw::ui::ControlKind::ComboBox, kFonts, L"", 4, 24, 190, 12,
         WS_TABSTOP | CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE | CBS_SORT | CBS_HASSTRINGS},
    };
    return t;
}

// A menu button and a font box; records the choices the button reports.
class ControlsDlg : public CDialog {
public:
    ControlsDlg() : CDialog(ControlsTemplate()) {}
    KVChoiceButton m_button;
    KVFontPreviewCBX m_fonts;
    std::vector<int> m_reported;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, kChoice, m_button); }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_button.AddItem(L"First");
        m_button.AddSeparator();
        m_button.AddItem(L"Second");
        m_button.AddItem(L"Third");
        m_button.EnableItem(3, FALSE);
        m_fonts.SubclassDlgItem(kFonts, this);
        return TRUE;
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        if (LOWORD(wParam) == kChoice && HIWORD(wParam) == BN_CLICKED) {
            m_reported.push_back(m_button.GetCurrentChoice());
            return TRUE;
        }
        return CDialog::OnCommand(wParam, lParam);
    }
};

QWidget* Controls() {
    return Window(QStringLiteral("Controls"));
}

// KVManageProfilesDlg with its list at hand.
class ManageDlg : public KVManageProfilesDlg {
public:
    using KVManageProfilesDlg::KVManageProfilesDlg;
    CXListCtrl& List() { return m_List; }
};

}  // namespace

TEST_F(EditorTest, choice_button_reports_the_chosen_entry_by_space_menu_and_alt_down) {
    ControlsDlg dialog;
    UiDriver ui;
    ui.Then([&] {
          if (Controls() == nullptr) {
              return false;
          }
          dialog.m_button.SetCurrentChoice(1);  // a separator
          EXPECT_EQ(dialog.m_button.GetCurrentChoice(), 0);
          Key(Control(Controls(), kChoice), Qt::Key_Space);
          return true;
      })
        .Then([&] {
            if (dialog.m_reported.empty()) {
                return false;
            }
            Key(Control(Controls(), kChoice), Qt::Key_Down, Qt::AltModifier);
            return true;
        })
        .Then([] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) {
                return false;
            }
            EXPECT_FALSE(menu->actions().value(3)->isEnabled());
            menu->setActiveAction(menu->actions().value(2));
            Key(menu, Qt::Key_Return);
            return true;
        })
        .Then([&] {
            if (dialog.m_reported.size() < 2 || QApplication::activePopupWidget() != nullptr) {
                return false;
            }
            Click(Control(Controls(), kChoice));  // the menu opens; Escape chooses nothing
            return true;
        })
        .Then([] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu != nullptr) {
                Key(menu, Qt::Key_Escape);
            }
            return menu != nullptr;
        })
        .Then([&] {
            if (QApplication::activePopupWidget() != nullptr) {
                return false;
            }
            // Emptied and filled again, the first entry is the choice.
            while (dialog.m_button.GetItemCount() > 0) {
                dialog.m_button.DeleteItem(0);
            }
            dialog.m_button.AddItem(L"Again");
            EXPECT_EQ(dialog.m_button.GetCurrentChoice(), 0);
            Key(Controls(), Qt::Key_Escape);
            return true;
        });
    ui.Run([&] { dialog.DoModal(); });
    EXPECT_EQ(dialog.m_reported, (std::vector<int>{0, 2}));
}

TEST_F(EditorTest, font_box_lists_every_family_and_finds_faces_by_their_beginning) {
    ControlsDlg dialog;
    UiDriver ui;
    ui.Then([&] {
        if (Controls() == nullptr) {
            return false;
        }
        KVFontPreviewCBX& fonts = dialog.m_fonts;
        fonts.SetFontHeight(20, true);
        QStringList families;
        for (const QString& family : QFontDatabase::families()) {
            if (!QFontDatabase::isPrivateFamily(family)) {
                families << family;
            }
        }
        EXPECT_EQ(fonts.GetCount(), families.size());
        CString first;
        CString second;
        fonts.GetLBText(0, first);
        fonts.GetLBText(1, second);
        EXPECT_LE(
            QString::fromStdWString(first).compare(QString::fromStdWString(second), Qt::CaseInsensitive), 0);
        EXPECT_GT(fonts.GetWidestName(), 0);
        EXPECT_GT(fonts.GetWidestSample(), 0);

        // The same height again does not refill; another one does.
        fonts.AddString(L"zz marker");
        fonts.SetFontHeight(20, true);
        EXPECT_NE(fonts.FindStringExact(-1, L"zz marker"), CB_ERR);
        fonts.SetFontHeight(22, true);
        EXPECT_EQ(fonts.FindStringExact(-1, L"zz marker"), CB_ERR);

        CDataExchange write(&dialog, FALSE);
        CString face = L"no such face";
        DDX_FontPreviewCombo(&write, kFonts, face);
        EXPECT_EQ(fonts.GetCurSel(), 0);
        face = L"dejavu s";
        DDX_FontPreviewCombo(&write, kFonts, face);
        CString selected;
        fonts.GetLBText(fonts.GetCurSel(), selected);
        EXPECT_EQ(selected.rfind(L"DejaVu S", 0), 0U);
        EXPECT_EQ(fonts.GetItemData(fonts.GetCurSel()) & TRUETYPE_FONTTYPE, TRUETYPE_FONTTYPE);
        fonts.SetCurSel(-1);
        CDataExchange read(&dialog, TRUE);
        DDX_FontPreviewCombo(&read, kFonts, face);
        EXPECT_TRUE(face.empty());

        auto* combo = qobject_cast<QComboBox*>(Control(Controls(), kFonts));
        combo->showPopup();
        EXPECT_EQ(fonts.GetDroppedWidth(),
                  GetSystemMetrics(SM_CXVSCROLL) + fonts.GetWidestSample() + fonts.GetWidestName() + 35);
        combo->hidePopup();
        Key(Controls(), Qt::Key_Escape);
        return true;
    });
    ui.Run([&] { dialog.DoModal(); });
}

TEST_F(EditorTest, manage_profiles_returns_the_ticked_rows_in_list_order) {
    StoreProfile(L"Alpha", L"A");
    StoreProfile(L"Beta", L"B");
    StoreProfile(L"Gamma", L"C");
    KVDriverOptionsMgr mgr;
    ManageDlg dialog(&mgr.GetExcelProfileArray());
    const auto tick = [](int row) {
        return In(QStringLiteral("Manage Profiles"), [row](QWidget* window) {
            auto* list = window->findChild<QTableWidget*>();
            ClickAt(list->viewport(), list->visualItemRect(list->item(row, 1)).center());
        });
    };
    UiDriver ui;
    ui.Then(tick(2)).Then(tick(0)).Then(tick(1)).Then(tick(1)).Then([&] {
        CXListCtrl& list = dialog.List();
        if (list.GetCheckbox(0, 1) != 1) {
            return false;
        }
        EXPECT_EQ(list.GetCheckbox(7, 1), -1);
        EXPECT_EQ(list.GetCheckbox(0, 0), -1);
        EXPECT_EQ(list.GetItemData(7), 0U);
        Click(Button(Window(QStringLiteral("Manage Profiles")), QStringLiteral("OK")));
        return true;
    });
    ui.Run([&] { EXPECT_EQ(dialog.DoModal(), IDOK); });
    ASSERT_EQ(dialog.GetSelectedProfiles().size(), 2U);
    EXPECT_STREQ(dialog.GetSelectedProfiles()[0]->GetProfileName(), L"Alpha");
    EXPECT_STREQ(dialog.GetSelectedProfiles()[1]->GetProfileName(), L"Gamma");

    // A header showing the tick-all box ticks and unticks the whole column.
    ManageDlg again(&mgr.GetExcelProfileArray());
    UiDriver header;
    header
        .Then(In(QStringLiteral("Manage Profiles"),
                 [&](QWidget* window) {
                     HDITEM item;
                     item.mask = HDI_IMAGE;
                     item.iImage = 1;
                     again.List().GetHeaderCtrl()->SetItem(1, &item);
                     QHeaderView* view = window->findChild<QTableWidget*>()->horizontalHeader();
                     ClickAt(view->viewport(),
                             QPoint(view->sectionViewportPosition(1) + 5, view->height() / 2));
                 }))
        .Then([&] {
            CXListCtrl& list = again.List();
            if (list.GetCheckbox(2, 1) != 1) {
                return false;
            }
            EXPECT_EQ(list.GetCheckbox(0, 1), 1);
            list.SetCheckbox(0, 1, 0);
            HDITEM item;
            item.mask = HDI_IMAGE | HDI_FORMAT;
            list.GetHeaderCtrl()->GetItem(1, &item);
            EXPECT_EQ(item.iImage, 1);
            Key(Window(QStringLiteral("Manage Profiles")), Qt::Key_Escape);
            return true;
        });
    header.Run([&] { EXPECT_EQ(again.DoModal(), IDCANCEL); });
}

TEST_F(EditorTest, new_profile_name_takes_blanks_as_typed_and_splash_goes_on_click_or_time) {
    KVNewProfileName name;
    UiDriver ui;
    ui.Then(In(QStringLiteral("New Profile Name"), [](QWidget* window) {
        Type(Labelled(window, QStringLiteral("Enter a new profile name:")), QStringLiteral("   "));
        Key(window, Qt::Key_Return);
    }));
    ui.Run([&] { EXPECT_EQ(name.DoModal(), IDOK); });
    EXPECT_EQ(name.m_strProfileName, L"   ");

    for (const DWORD timeout : {60000U, 100U}) {
        CSplashScreenEx splash;
        bool visible = false;
        ASSERT_TRUE(splash.Create(nullptr, nullptr, timeout, CSplashScreenEx::CSS_HIDEONCLICK));
        ASSERT_TRUE(splash.SetBitmap(IDB_SPLASH, 255, 0, 255));
        splash.SetVisibleFlag(&visible);
        splash.Show();
        EXPECT_TRUE(visible);
        if (timeout > 1000) {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (window->objectName() == QLatin1String("SplashScreenExClass") && window->isVisible()) {
                    QTest::mouseClick(window, Qt::LeftButton);
                }
            }
        }
        QDeadlineTimer deadline(2000);
        while (visible && !deadline.hasExpired()) {
            CSplashScreenEx::PumpMessages();
        }
        EXPECT_FALSE(visible) << timeout;
    }
}
