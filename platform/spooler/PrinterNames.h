// Names the spooler shows for CUPS objects. A CUPS queue name allows no
// blanks, so the printer "Sheetwise Print Driver" is the queue
// "Sheetwise_Print_Driver"; every name the system uses maps to one queue and
// back the same way.
#pragma once

#include <string>

namespace sw::spooler {

// The printer a queue stands for: each "_" read as a blank.
std::wstring PrinterNameOfQueue(const std::string& queue);

// The queue of a printer name: blanks, tabs, "/", "#", "?", "\\", quotes and
// control characters become "_" (characters CUPS refuses in a queue name);
// UTF-8 otherwise. Empty for an empty name.
std::string QueueOfPrinterName(const std::wstring& printerName);

// True when CUPS accepts the text as a queue name: 1 to 127 bytes, none of
// the characters above.
bool IsValidQueueName(const std::string& queue);

// The document name of a job as the spooler lists it and the driver reports
// it: the job's title, less a final ".pdf" (any case) that only names the
// file the job was printed from (every job reaches the driver as PDF and
// leaves it as a group file), cut to the 259 characters a record holds.
// An empty title gives "untitled".
std::wstring DocumentNameOfJob(const std::string& jobTitle);

}  // namespace sw::spooler
