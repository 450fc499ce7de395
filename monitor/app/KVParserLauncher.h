// Starting the converter on a finished job: "SheetwiseParser" beside the
// monitor, else on the PATH, with -pdf and the document name for a PDF job,
// otherwise -print and the group file.
#pragma once

#include <string>

namespace kvmonitor {

inline constexpr const wchar_t* msc_sParserProgram = L"SheetwiseParser";

// A document name of at least 5 characters whose last 4, upper-cased, are ".PDF".
bool IsPdfJob(const std::wstring& documentName);

// -pdf "DOCUMENT" or -print "GROUPFILE".
std::wstring ParserParameters(const std::wstring& documentName, const std::wstring& groupFileName);

// The converter's path; empty when there is none.
std::wstring FindParser();

// Starts the converter and does not wait for it. False, with the reason,
// when it cannot be started.
bool StartParser(const std::wstring& documentName, const std::wstring& groupFileName, std::wstring* error);

}  // namespace kvmonitor
