// The parser program: one print job in, one workbook out, or the profile
// editor alone when started without a job.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "parser/app/KVFileParserCommandLine.h"

class KVDriverOptionsExcel;
class KVDriverOptionsMgr;

class KorvaneFileParserApp {
public:
    // Exit statuses when the outcome is told by the exit status (no display,
    // or -batch).
    static constexpr int msc_nExitSaved = 0;
    static constexpr int msc_nExitFailed = 1;
    static constexpr int msc_nExitUsage = 2;
    static constexpr const wchar_t* msc_sUsage =
        L"Usage: SheetwiseParser [-print GRP | -pdf PDF] [-profile NAME] [-out PATH] [-batch]";

    KorvaneFileParserApp();
    virtual ~KorvaneFileParserApp();

    // The arguments without the program name.
    void SetArguments(std::vector<std::wstring> args) { m_args = std::move(args); }

    // The whole run. Always false: the program has no main window and ends
    // when this returns.
    virtual bool InitInstance();

    // The process's exit status: 0 on every path when a user with windows
    // was told by message boxes; otherwise 0 only when the job's workbook was
    // saved (or there was no job), non-zero for a failed or stopped job.
    int GetExitCode() const;

private:
    bool LocatePrinterTextFile();
    // Runs the extractor on `pdfFile` (a copy: the printer text file it may
    // name becomes the PDF's text file).
    bool ExtractPdfText(std::wstring pdfFile);
    KVDriverOptionsExcel* MatchReportIdentifier(KVDriverOptionsMgr& mgr);

    std::vector<std::wstring> m_args;
    KVFileParserCommandLine* m_pCmdInfo = nullptr;

    std::wstring m_strJobFile;
    std::wstring m_strPrinterTextFile;
    bool m_bPdfSource = false;
    std::wstring m_strOutputFile;
    bool m_bJobFailed = false;
    bool m_bUsageError = false;
};
