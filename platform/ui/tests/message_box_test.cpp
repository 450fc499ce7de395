#include "platform/ui/MessageBox.h"

#include <gtest/gtest.h>

#include <string>

TEST(message_box_test, console_default_answers_safely) {
    EXPECT_EQ(AfxMessageBox(L"plain"), IDOK);
    EXPECT_EQ(AfxMessageBox(L"question", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(AfxMessageBox(L"retry?", MB_RETRYCANCEL), IDCANCEL);
    EXPECT_EQ(AfxMessageBox(L"save?", MB_YESNOCANCEL), IDCANCEL);
}

TEST(message_box_test, installed_handler_sees_text_and_type_and_can_be_removed) {
    std::wstring seen;
    UINT seenType = 0;
    sw::ui::SetMessageBoxHandler([&](const std::wstring& text, UINT type) {
        seen = text;
        seenType = type;
        return IDYES;
    });
    EXPECT_EQ(AfxMessageBox(L"Replace it?", MB_YESNO), IDYES);
    EXPECT_EQ(seen, L"Replace it?");
    EXPECT_EQ(seenType, MB_YESNO);

    sw::ui::SetMessageBoxHandler({});
    EXPECT_EQ(AfxMessageBox(L"Replace it?", MB_YESNO), IDNO);
}

TEST(message_box_test, throwing_handler_gets_safe_default) {
    sw::ui::SetMessageBoxHandler([](const std::wstring&, UINT) -> int { throw 1; });
    EXPECT_EQ(AfxMessageBox(L"x", MB_OKCANCEL), IDCANCEL);
    sw::ui::SetMessageBoxHandler({});
}
