// Private to the Qt side of platform/ui: what the start-up installs.
#pragma once

#include <string>

#include "platform/ui/UiTypes.h"

namespace sw::ui::qt {

// The message box as a window: the icon, its caption (MessageBoxCaption),
// the buttons of `type`; returns the answer.
int ShowMessageBox(const std::wstring& text, UINT type);

// The scripted user of SHEETWISE_UI_SCRIPT, when the variable names a file.
void StartScriptedUser();
void StopScriptedUser();

}  // namespace sw::ui::qt
