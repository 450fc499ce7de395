// Removes the printer's per-user settings: the printer keys of every user
// profile's settings store (loaded under HKEY_USERS for the while), the
// user's CUPS options for the queue, and the current user's printer keys.
#pragma once

#include <string>

void CleanUserPrinterSettings(const std::wstring& printerName);

// Whether a value of a user's printer key belongs to the printer: its name
// is the printer's (any case), holds the printer's name followed by ",", or
// ends with the printer's name where that name first occurs.
bool IsPrinterValueName(const std::wstring& valueName, const std::wstring& printerName);
