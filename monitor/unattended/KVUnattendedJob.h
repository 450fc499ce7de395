// A finished job converted with nobody to ask (the monitor started with
// -unattended, on a machine without a desktop): the profile whose report
// identifier the report's first lines carry, a workbook in that profile's
// output folder named after the job's document (a number added rather than
// replacing a workbook already there), and one line that says what came of
// it. A job that no profile matches, or that cannot be converted, is kept
// where the printer left it, and the line names its group file.
#pragma once

#include <string>

class KVDriverOptionsMgr;
class KVDriverOptionsExcel;

namespace kvmonitor {

struct KVUnattendedOutcome {
    bool converted = false;
    // "converted with profile "P" into PATH", or "not converted...: REASON;
    // the job is kept: GROUPFILE".
    std::string line;
};

// Runs the converter `parser` in batch mode on the job and waits for it.
KVUnattendedOutcome ConvertUnattended(const std::wstring& documentName, const std::wstring& groupFileName,
                                      const std::wstring& parser);

// The first profile, in stored order, whose report identifier equals a text
// run of the first 10 lines of the printer text file; null when none does.
KVDriverOptionsExcel* MatchReportIdentifier(KVDriverOptionsMgr& mgr, const std::wstring& textFile);

// The workbook's file name for a document: characters a file name cannot
// hold become "_", ".xls" is added ("untitled.xls" for an empty name).
std::wstring WorkbookFileName(const std::wstring& documentName);

// Creates the workbook's file empty in `folder`, under the document's name
// or, when that is taken, "NAME (2).xls", "NAME (3).xls", ...; so two jobs of
// one name never meet. The path, or empty with the reason.
std::wstring ReserveWorkbook(const std::wstring& folder, const std::wstring& documentName,
                             std::string* error);

}  // namespace kvmonitor
