#include "monitor/app/KVParserLauncher.h"

#include <unistd.h>

#include <cstdlib>
#include <cwctype>

#include "platform/shell/Shell.h"

namespace kvmonitor {

bool IsPdfJob(const std::wstring& documentName) {
    if (documentName.size() < 5) {
        return false;
    }
    std::wstring tail = documentName.substr(documentName.size() - 4);
    for (wchar_t& c : tail) {
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    }
    return tail == L".PDF";
}

std::wstring ParserParameters(const std::wstring& documentName, const std::wstring& groupFileName) {
    if (IsPdfJob(documentName)) {
        return L"-pdf \"" + documentName + L"\"";
    }
    return L"-print \"" + groupFileName + L"\"";
}

std::wstring FindParser() {
    const std::wstring beside = sw::shell::ProgramFolder() + msc_sParserProgram;
    if (::access(sw::shell::ToNarrow(beside).c_str(), X_OK) == 0) {
        return beside;
    }
    const char* path = std::getenv("PATH");
    const std::string folders = path != nullptr ? path : "";
    const std::string name = sw::shell::ToNarrow(msc_sParserProgram);
    std::size_t from = 0;
    while (from <= folders.size()) {
        const std::size_t colon = folders.find(':', from);
        const std::string folder =
            folders.substr(from, colon == std::string::npos ? std::string::npos : colon - from);
        std::string candidate = folder;
        candidate += '/';
        candidate += name;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) {
            return sw::shell::FromNarrow(candidate);
        }
        if (colon == std::string::npos) {
            break;
        }
        from = colon + 1;
    }
    return {};
}

bool StartParser(const std::wstring& documentName, const std::wstring& groupFileName, std::wstring* error) {
    const std::wstring program = FindParser();
    if (program.empty()) {
        *error = std::wstring(msc_sParserProgram) + L" is neither beside the print monitor nor on the PATH.";
        return false;
    }
    sw::shell::Process process;
    // Not waited for: the monitor ends while the converter runs.
    return sw::shell::Execute(L"\"" + program + L"\"", ParserParameters(documentName, groupFileName),
                              sw::shell::ShowMode::Normal, &process, error);
}

}  // namespace kvmonitor
