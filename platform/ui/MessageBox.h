// Message boxes of the application framework, without a GUI toolkit.
//
// Library code (KVLib) and the programs call AfxMessageBox as they would on
// Windows. What the user sees is decided by the program: it installs a handler
// (the Qt front end shows a real dialog); without one the text goes to standard
// error and the box is answered with its safe default.
#pragma once

#include <functional>
#include <string>

#include "platform/base/WinTypes.h"

// Button sets.
inline constexpr UINT MB_OK = 0x00000000U;
inline constexpr UINT MB_OKCANCEL = 0x00000001U;
inline constexpr UINT MB_ABORTRETRYIGNORE = 0x00000002U;
inline constexpr UINT MB_YESNOCANCEL = 0x00000003U;
inline constexpr UINT MB_YESNO = 0x00000004U;
inline constexpr UINT MB_RETRYCANCEL = 0x00000005U;
// Icons.
inline constexpr UINT MB_ICONSTOP = 0x00000010U;
inline constexpr UINT MB_ICONERROR = MB_ICONSTOP;
inline constexpr UINT MB_ICONQUESTION = 0x00000020U;
inline constexpr UINT MB_ICONEXCLAMATION = 0x00000030U;
inline constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
inline constexpr UINT MB_ICONINFORMATION = 0x00000040U;
// Default buttons.
inline constexpr UINT MB_DEFBUTTON1 = 0x00000000U;
inline constexpr UINT MB_DEFBUTTON2 = 0x00000100U;
inline constexpr UINT MB_DEFBUTTON3 = 0x00000200U;

inline constexpr UINT MB_TYPEMASK = 0x0000000FU;
inline constexpr UINT MB_ICONMASK = 0x000000F0U;

// Answers.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

namespace sw::ui {

// Shows `text` with the buttons and icon of `type`; returns the ID* answer.
using MessageBoxHandler = std::function<int(const std::wstring& text, UINT type)>;

// Installs the program's handler and returns the previous one. An empty
// handler restores the console default.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// The answer a box gets when nobody can be asked: OK for OK boxes, Cancel
// where there is a Cancel button, otherwise No, Abort for abort/retry/ignore.
int SafeDefaultAnswer(UINT type);

// The console default: writes "<title>: <text>" to standard error and returns
// SafeDefaultAnswer(type).
int ConsoleMessageBox(const std::wstring& text, UINT type);

// The caption of the box being shown: the one given to MessageBox, else the
// application's title.
std::wstring MessageBoxCaption();

// Where message boxes go to standard error (no handler installed: batch
// mode, no display), writes `detail` there as a line of its own, to follow
// the box just written; where boxes are shown it does nothing, the box the
// user saw having said what the system says.
void ConsoleDetail(const std::wstring& detail);

}  // namespace sw::ui

// The framework's message box, captioned with the application's title.
// Never throws.
int AfxMessageBox(const std::wstring& text, UINT type = MB_OK);

// The system's message box, with a caption of its own (null: the
// application's title). It opens over the active window; without windows it
// is answered as AfxMessageBox is. Never throws.
int MessageBox(HWND hWnd, LPCTSTR lpText, LPCTSTR lpCaption, UINT uType);
