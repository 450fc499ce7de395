#include "parser/app/KorvaneFileParserApp.h"

#include "lib/manager/KVDriverOptionsMgr.h"
#include "lib/options/KVDriverOptionsExcel.h"
#include "parser/app/KVJobFiles.h"
#include "parser/editor/KorvanePrintDriverPropertiesDlg.h"
#include "parser/parse/KVExcelFileFieldInfoParser.h"
#include "parser/process/KVActiveProfile.h"
#include "parser/process/KVExcelFileProcessor.h"
#include "parser/res/resource.h"
#include "platform/automation/Automation.h"
#include "platform/shell/Shell.h"
#include "platform/ui/FileDialog.h"
#include "platform/ui/Interactive.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UserInterface.h"

namespace {

constexpr size_t kIdentifierLines = 10;

// The file the extractor wrote: present and not empty.
bool HasText(const std::wstring& path) {
    return !kvjob::ReadFirstLines(path, 1).empty();
}

}  // namespace

KorvaneFileParserApp::KorvaneFileParserApp() = default;

KorvaneFileParserApp::~KorvaneFileParserApp() {
    delete m_pCmdInfo;
}

int KorvaneFileParserApp::GetExitCode() const {
    if (sw::ui::IsInteractive()) {
        return msc_nExitSaved;
    }
    if (m_bUsageError) {
        return msc_nExitUsage;
    }
    return m_bJobFailed ? msc_nExitFailed : msc_nExitSaved;
}

bool KorvaneFileParserApp::InitInstance() {
    m_pCmdInfo = new KVFileParserCommandLine;
    if (!AfxOleInit()) {
        AfxMessageBox(L"Could not initialize COM dll");
        m_bJobFailed = true;
        return false;
    }
    ParseCommandLine(m_args, *m_pCmdInfo);
    // Windows or not is decided here, once; everything else asks platform/ui.
    sw::ui::StartUserInterface(IDS_APP_TITLE, m_pCmdInfo->IsBatch());
    if (m_pCmdInfo->IsBatch()) {
        // Run by a script, a command line that would quietly do nothing is a
        // mistake to report, not an empty run that looks like success.
        const std::wstring mistake = m_pCmdInfo->GetUsageError();
        if (!mistake.empty()) {
            AfxMessageBox(mistake + L" " + msc_sUsage);
            m_bUsageError = m_bJobFailed = true;
            return false;
        }
    }
    if (m_pCmdInfo->HasProfileSwitch() && m_pCmdInfo->GetProfileName().empty()) {
        AfxMessageBox(L"The switch -profile needs the name of a profile.");
        m_bUsageError = m_bJobFailed = true;
        return false;
    }
    if (m_pCmdInfo->HasOutSwitch() && m_pCmdInfo->GetOutputPath().empty()) {
        AfxMessageBox(L"The switch -out needs the path of the workbook to write.");
        m_bUsageError = m_bJobFailed = true;
        return false;
    }

    m_strJobFile = kvjob::AbsolutePath(m_pCmdInfo->GetFileName());
    const bool bPrintJob = m_pCmdInfo->IsPrintJob();

    if (bPrintJob) {
        const CWaitCursor wait;
        if (!LocatePrinterTextFile()) {
            m_bJobFailed = true;
            return false;
        }
    }

    // The profile phase.
    KVDriverOptionsMgr mgr;
    KVDriverOptionsExcel* pProfile = nullptr;
    bool bAskOutput = false;
    if (bPrintJob && m_pCmdInfo->HasProfileSwitch()) {
        pProfile =
            dynamic_cast<KVDriverOptionsExcel*>(mgr.GetExcelProfile(m_pCmdInfo->GetProfileName().c_str()));
        if (!pProfile) {
            AfxMessageBox(L"The profile \"" + m_pCmdInfo->GetProfileName() + L"\" does not exist.");
            m_bJobFailed = true;
            return false;
        }
        bAskOutput = true;
    } else if (!m_strPrinterTextFile.empty()) {
        pProfile = MatchReportIdentifier(mgr);
        bAskOutput = pProfile != nullptr;
    }
    if (bAskOutput) {
        if (m_pCmdInfo->HasOutSwitch()) {
            m_strOutputFile = m_pCmdInfo->GetOutputPath();
        } else {
            CFileDialog dialog(FALSE, L"xls", nullptr,
                               OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST,
                               L"Excel Files (*.xls)|*.xls|All Files (*.*)|*.*||");
            if (dialog.DoModal() == IDOK) {
                m_strOutputFile = dialog.GetPathName();
            }
        }
    } else {
        if (bPrintJob && !sw::ui::IsInteractive()) {
            AfxMessageBox(L"No profile's report identifier matches this report; name one with -profile.");
        }
        KorvanePrintDriverPropertiesDlg editor(&mgr, bPrintJob ? TRUE : FALSE);
        if (editor.DoModal() == IDOK && bPrintJob) {
            pProfile = dynamic_cast<KVDriverOptionsExcel*>(mgr.GetMRUProfile());
            m_strOutputFile = editor.m_strOutputFile;
        }
    }

    if (!bPrintJob) {
        return false;
    }
    if (!pProfile) {
        // Editor cancelled: the job's files stay where they are.
        m_bJobFailed = true;
        return false;
    }

    const CWaitCursor wait;
    g_pActiveProfile = pProfile;
    bool bSaved = false;
    if (!m_strOutputFile.empty()) {
        try {
            KVExcelFileProcessor processor(m_strPrinterTextFile, m_strOutputFile);
            processor.SetPdfSource(m_bPdfSource);
            // A report that could not be read or written leaves nothing worth
            // saving: a workbook already at the output path stays as it is.
            if (processor.Process()) {
                bSaved = processor.SaveOutput();
            }
        } catch (...) {
            bSaved = false;
        }
    } else if (!sw::ui::IsInteractive()) {
        AfxMessageBox(L"No output workbook was named; nothing was written.");
    }
    g_pActiveProfile = nullptr;

    // A workbook that was meant to be written but was not keeps the job's
    // files, so the report can be converted again.
    if (bSaved || m_strOutputFile.empty()) {
        DeleteJobFiles(m_strPrinterTextFile, m_strOutputFile);
        // The workbook may have been saved under the text file's own name.
        if (m_bPdfSource && !kvjob::IsSameFile(m_strPrinterTextFile, m_strOutputFile)) {
            sw::shell::DeleteFile(m_strPrinterTextFile);
        }
    }
    m_bJobFailed = !bSaved;
    return false;
}

bool KorvaneFileParserApp::LocatePrinterTextFile() {
    if (m_pCmdInfo->IsPdfJob()) {
        m_bPdfSource = true;
        return ExtractPdfText(m_strJobFile);
    }
    std::wstring error;
    const auto result = kvjob::ReadGroupFile(m_strJobFile, m_strPrinterTextFile, error);
    if (result == kvjob::GroupFileResult::Found) {
        // The printer writes the two files side by side; a relative name is
        // read from the group file's folder, not from wherever the parser was
        // started.
        const size_t slash = m_strJobFile.rfind(L'/');
        if (m_strPrinterTextFile[0] != L'/' && slash != std::wstring::npos) {
            m_strPrinterTextFile = m_strJobFile.substr(0, slash + 1) + m_strPrinterTextFile;
        }
    } else {
        m_strPrinterTextFile.clear();
        if (!error.empty()) {
            AfxMessageBox(error);
            return false;
        }
        if (!m_strJobFile.empty()) {
            m_strPrinterTextFile = kvjob::FindSiblingTextFile(m_strJobFile);
        }
        if (m_strPrinterTextFile.empty()) {
            AfxMessageBox(L"Output file not found.");
            return false;
        }
    }
    if (kvjob::IsPdfTextFile(m_strPrinterTextFile)) {
        // A PDF is read through the extractor, as a PDF job is, never as text.
        m_bPdfSource = true;
        return ExtractPdfText(m_strPrinterTextFile);
    }
    return true;
}

// NOLINTNEXTLINE(performance-unnecessary-value-param): a copy on purpose (see the header).
bool KorvaneFileParserApp::ExtractPdfText(std::wstring pdfFile) {
    m_strPrinterTextFile = kvjob::PdfTextFilePath(pdfFile);
    const std::wstring program = L"\"" + sw::shell::ProgramFolder() + L"PdfUnpack\"";
    const std::wstring parameters = L"-i \"" + pdfFile + L"\" -o \"" + m_strPrinterTextFile + L"\"";
    std::wstring reason;
    sw::shell::Process process;
    if (sw::shell::Execute(program, parameters, sw::shell::ShowMode::Hidden, &process, &reason)) {
        sw::shell::Wait(process);
        if (HasText(m_strPrinterTextFile)) {
            return true;
        }
        reason = L"The extractor wrote no text to " + m_strPrinterTextFile + L".";
    }
    AfxMessageBox(L"The text of the PDF file could not be extracted.\n\n" + reason);
    return false;
}

KVDriverOptionsExcel* KorvaneFileParserApp::MatchReportIdentifier(KVDriverOptionsMgr& mgr) {
    const std::vector<std::wstring> lines = kvjob::ReadFirstLines(m_strPrinterTextFile, kIdentifierLines);
    if (lines.empty()) {
        return nullptr;
    }
    KVExcelFileFieldInfoParser parser;
    parser.Parse(lines);
    for (KVDriverOptionsProfile* entry : mgr.GetExcelProfileArray()) {
        auto* pExcel = dynamic_cast<KVDriverOptionsExcel*>(entry);
        if (!pExcel) {
            continue;
        }
        const wchar_t* identifier = pExcel->GetReportIdentifier();
        if (!identifier || !*identifier) {
            continue;
        }
        if (parser.ContainsText(identifier)) {
            return pExcel;
        }
    }
    return nullptr;
}
