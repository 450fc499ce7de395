// Checks a window's layout as a reviewer would look at it: each control lies
// inside its window, on top of no other, its text not cut (a text box shows
// all of its text), and a label that names a control has a mnemonic.
#pragma once

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/tests/UiDriver.h"

namespace sw::ui::testing {

// What is wrong with the window's layout, one line a fault; empty when
// nothing is.
std::vector<std::string> LayoutProblems(QWidget* window);

// A step: once the window `find` gives is shown, each of its layout problems
// fails the test and its picture is saved as NAME.png in
// $SHEETWISE_SCREENSHOTS (else build/screenshots).
UiDriver::Step CheckLayoutAndSave(const std::function<QWidget*()>& find, const std::string& name);

}  // namespace sw::ui::testing
