// The installer's dialog templates.
#pragma once

#include "platform/ui/DialogTemplate.h"

// The template of that dialog identifier (IDD_* of resource.h); an empty
// template for an unknown one.
const sw::ui::DialogTemplate& InstallerDialogTemplate(unsigned nIDTemplate);
