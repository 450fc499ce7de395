// Whether the program shows windows at all. The choice is made once, at
// start-up, by StartUserInterface (UserInterface.h): a display is present and
// the program was not asked to run without windows (-batch). Everything else
// asks IsInteractive(); until the choice is made the answer is no, so
// libraries and tests that never start a user interface stay headless.
#pragma once

#include <string>

namespace sw::ui {

bool IsInteractive();

// The application's title: the caption of its message boxes and windows.
const std::wstring& AppTitle();
void SetAppTitle(const std::wstring& title);

namespace detail {
// Only the start-up of the windowing side records its choice.
void SetInteractive(bool interactive);
}  // namespace detail

}  // namespace sw::ui

// The framework's name for the application's title.
const wchar_t* AfxGetAppName();
