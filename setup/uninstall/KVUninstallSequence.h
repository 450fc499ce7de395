// The uninstall sequence: removes every printer of the driver, the driver,
// the port and port monitor no other printer needs, the print processor,
// the per-user printer settings and the driver's files.
#pragma once

// Shows its own progress window. False when the removal failed (the error
// text holds why) or a file stayed that nothing will delete later.
// nRequestedVersion is the command line's Windows version.
bool UninstallPrinterDriver(int nRequestedVersion);
