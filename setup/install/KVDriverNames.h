// The fixed names of the virtual printer's parts, and the file that plays
// each driver file's part on this system. A part that has no file here is
// an empty name: it is neither copied nor deleted (setup/README.md says
// which part each file plays).
#pragma once

#include <string>

struct KVDriverNames {
    std::wstring printerName = L"Sheetwise Print Driver";
    std::wstring driverName = L"Sheetwise Print Driver";
    std::wstring processorName = L"Sheetwise Print Processor";
    std::wstring monitorName = L"Sheetwise M";
    std::wstring portName = L"Sheetwise Port";

    std::wstring driverFile = L"sheetwise";  // the backend program
    std::wstring configFile;                 // settings pages come from the PPD's options
    std::wstring dataFile = L"sheetwise.ppd";
    std::wstring resourceFile;  // no resource library
    std::wstring tiffLibrary;   // images are read by the scheduler's filters
    std::wstring jpegLibrary;
    std::wstring monitorFile = L"sheetwise";  // the backend again, as its URI scheme's program
    std::wstring processorFile;               // the filter chain is the scheduler's
    std::wstring monitorProgram = L"KVPrintMonitor";
    std::wstring monitorStateFile;  // the vendor's monitor state; none here
};

// Built once at program start.
const KVDriverNames& DriverNames();
