// SheetwiseProfiles list | show NAME | import FILE | export FILE [NAME...] | delete NAME
//
// Administers the stored spreadsheet profiles through the options manager.
// Exit status 0 on success; otherwise 1 (or 2 for bad arguments) with a
// one-line message on standard error.
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <exception>
#include <string>
#include <vector>

#include "lib/manager/KVDriverOptionsMgr.h"
#include "lib/options/KVDriverOptionsExcel.h"
#include "lib/registry/KVTRegistryValue.h"
#include "lib/util/KVLibUtility.h"
#include "platform/base/TextCodec.h"

namespace {

const char* const kUsage =
    "usage: SheetwiseProfiles list | show NAME | import FILE | export FILE [NAME...] | delete NAME";

// Command-line text as the library decodes narrow text: bytes that are not
// valid in the locale's encoding are Windows-1252, so a name reaches the
// profile that a file with the same bytes created.
std::wstring Widen(const char* text) {
    const std::size_t length = std::strlen(text);
    std::vector<wchar_t> wide(length + 1, L'\0');
    CopyLPSTRtoLPTSTR(text, wide.data(), static_cast<long>(length));
    return std::wstring(wide.data());
}

std::string Narrow(const wchar_t* text) {
    return text != nullptr ? sw::base::ToLocale(text) : std::string();
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "SheetwiseProfiles: %s\n", message.c_str());
    return 1;
}

int Usage(const std::string& message) {
    std::fprintf(stderr, "SheetwiseProfiles: %s (%s)\n", message.c_str(), kUsage);
    return 2;
}

std::string Quoted(const std::wstring& text) {
    return "\"" + Narrow(text.c_str()) + "\"";
}

const char* AnchorTypeName(KVExcelRemoveDataAnchor::enAnchorType type) {
    switch (type) {
        case KVExcelRemoveDataAnchor::enAnchorClearCell:
            return "Clear Cell";
        case KVExcelRemoveDataAnchor::enAnchorRemoveRow:
            return "Remove Row";
        case KVExcelRemoveDataAnchor::enAnchorRemoveColumn:
            return "Remove Column";
        case KVExcelRemoveDataAnchor::enAnchorRemoveRowAndColumn:
            return "Remove Row And Column";
        case KVExcelRemoveDataAnchor::enAnchorClearArea:
            return "Clear Area";
        default:
            return "None";
    }
}

void PrintField(const char* label, const wchar_t* value) {
    std::printf("%s: %s\n", label, Narrow(value).c_str());
}

void PrintField(const char* label, long value) {
    std::printf("%s: %ld\n", label, value);
}

// The profile of that name, the built-in default profile included.
KVDriverOptionsProfile* FindProfile(KVDriverOptionsMgr& manager, const std::wstring& name) {
    if (KVDriverOptionsProfile* profile = manager.GetExcelProfile(name.c_str())) {
        return profile;
    }
    KVDriverOptionsProfile* fallback = manager.GetDefaultExcelDriverOptions();
    if (fallback != nullptr && wcscasecmp(fallback->GetProfileName(), name.c_str()) == 0) {
        return fallback;
    }
    return nullptr;
}

// The manager rewrites the default profile whenever it starts; when that
// cannot be read back, the store itself is unusable (damaged, foreign or
// unreadable file) and an empty list would be a lie.
bool StoreUsable(std::string* why) {
    const std::wstring path = std::wstring(KVDriverOptions::msc_sExcelRegRoot) + L"-1\\ProfileName";
    if (KVTRegistryValue(path.c_str(), HKEY_CURRENT_USER).DoesKeyExist()) {
        return true;
    }
    *why = sw::registry::LastErrorText();
    return false;
}

int List(KVDriverOptionsMgr& manager) {
    for (const KVDriverOptionsProfile* profile : manager.GetExcelProfileArray()) {
        std::printf("%s\n", Narrow(profile->GetProfileName()).c_str());
    }
    return 0;
}

int Show(KVDriverOptionsMgr& manager, const std::wstring& name) {
    const auto* profile = dynamic_cast<const KVDriverOptionsExcel*>(FindProfile(manager, name));
    if (profile == nullptr) {
        return Fail("unknown profile " + Quoted(name));
    }
    PrintField("ProfileName", profile->GetProfileName());
    PrintField("ReportIdentifier", profile->GetReportIdentifier());
    PrintField("OutputFolder", profile->GetDefaultOutputFolder());
    PrintField("LastFileOpened", profile->GetLastFileOpened());
    PrintField("MoveToTopLeftCell", profile->GetMoveToTopLeftCell());
    PrintField("ResizeCells", profile->GetResizeCells());
    PrintField("RemoveFormattingOfCells", profile->GetRemoveFormattingOfCells());
    PrintField("FontName", profile->GetFontName());
    PrintField("FontSize", profile->GetFontSize());
    PrintField("FontBold", profile->GetFontBold());
    PrintField("FontUnderline", profile->GetFontUnderline());
    PrintField("FontItalicize", profile->GetFontItalicize());
    PrintField("RemoveDataSection", profile->GetRemoveDataSection());
    PrintField("RemoveRowsWithSpace", profile->GetRemoveRowsWithSpace());
    PrintField("RemoveColumnsWithSpace", profile->GetRemoveColumnsWithSpace());
    PrintField("DateFormat", profile->GetDateFormatW());
    PrintField("CustomDateFormat", profile->GetCustomDateFormat());
    PrintField("NumericFormat", profile->GetNumericFormat());
    PrintField("AnchorCount", profile->GetRemoveDataAnchorCount());
    for (long i = 0; i < profile->GetRemoveDataAnchorCount(); ++i) {
        const KVExcelRemoveDataAnchor* anchor = profile->GetRemoveDataAnchor(i);
        const CRect& area = anchor->GetAreaToRemove();
        std::printf("Anchor %ld Descriptor: %s\n", i, Narrow(anchor->GetAnchorDescriptor()).c_str());
        std::printf("Anchor %ld Type: %s\n", i, AnchorTypeName(anchor->GetAnchorType()));
        std::printf("Anchor %ld Index: %ld\n", i, anchor->GetAnchorIndex());
        std::printf("Anchor %ld Area: left %ld, up %ld, right %ld, down %ld\n", i, area.left, area.top,
                    area.right, area.bottom);
    }
    return 0;
}

// Whether a fresh look at the store finds every one of `names`.
bool AllStored(const std::vector<std::wstring>& names) {
    KVDriverOptionsMgr check;
    for (const std::wstring& name : names) {
        if (check.GetExcelProfile(name.c_str()) == nullptr) {
            return false;
        }
    }
    return true;
}

int Import(KVDriverOptionsMgr& manager, const std::string& file) {
    struct stat info {};
    if (stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || access(file.c_str(), R_OK) != 0) {
        return Fail("cannot read " + file);
    }
    const std::wstring path = Widen(file.c_str());
    // Copy the list: saving disposes of the imported objects.
    const std::vector<KVDriverOptionsProfile*> imported = manager.ImportProfiles(path.c_str());
    if (imported.empty()) {
        const std::wstring& reason = manager.GetImportError();
        return Fail(file + " is not a valid profile file" +
                    (reason.empty() ? std::string() : ": " + Narrow(reason.c_str())));
    }
    std::vector<std::wstring> names;
    std::vector<std::string> renamed;
    int replaced = 0;
    for (KVDriverOptionsProfile* profile : imported) {
        std::wstring name = profile->GetProfileName();
        KVDriverOptionsProfile* target = manager.GetExcelProfile(name.c_str());
        if (target != nullptr) {
            ++replaced;
        } else {
            if (manager.DoesProfileExist(name.c_str())) {
                // The built-in profile is made anew at every start: the
                // imported one is kept beside it under a name of its own.
                const std::wstring kept = manager.GetFreeProfileName(name.c_str());
                renamed.push_back(Quoted(name) + " is built in: imported as " + Quoted(kept));
                name = kept;
            }
            target = manager.CreateNewDriverOption(KVFileParserTypes::enFileParserExcel, name.c_str());
            if (target == nullptr) {
                return Fail("out of memory while importing " + file);
            }
        }
        target->CopyFrom(*profile);
        target->SetProfileName(name.c_str());
        names.push_back(target->GetProfileName());
    }
    manager.SaveSettings(nullptr);
    if (!AllStored(names)) {
        return Fail("the profiles could not be stored; the stored profiles are unchanged");
    }
    for (const std::string& line : renamed) {
        std::printf("%s\n", line.c_str());
    }
    std::printf("Imported %zu profile(s) from %s (%d replaced)\n", names.size(), file.c_str(), replaced);
    return 0;
}

int Export(KVDriverOptionsMgr& manager, const std::string& file, const std::vector<std::wstring>& names) {
    std::vector<KVDriverOptionsProfile*> profiles;
    if (names.empty()) {
        profiles = manager.GetExcelProfileArray();
    } else {
        for (const std::wstring& name : names) {
            KVDriverOptionsProfile* profile = FindProfile(manager, name);
            if (profile == nullptr) {
                return Fail("unknown profile " + Quoted(name));
            }
            profiles.push_back(profile);
        }
    }
    if (profiles.empty()) {
        return Fail("there are no stored profiles to export");
    }
    if (!manager.ExportProfiles(&profiles, Widen(file.c_str()).c_str())) {
        return Fail("cannot write " + file);
    }
    std::printf("Exported %zu profile(s) to %s\n", profiles.size(), file.c_str());
    return 0;
}

int Delete(KVDriverOptionsMgr& manager, const std::wstring& name) {
    KVDriverOptionsProfile* profile = manager.GetExcelProfile(name.c_str());
    if (profile == nullptr) {
        if (FindProfile(manager, name) != nullptr) {
            return Fail("the built-in profile " + Quoted(name) + " cannot be deleted");
        }
        return Fail("unknown profile " + Quoted(name));
    }
    const std::wstring stored = profile->GetProfileName();
    const long before = manager.GetExcelProfileCount();
    manager.RemoveProfile(profile);
    manager.SaveSettings(nullptr);
    KVDriverOptionsMgr check;
    if (check.GetExcelProfileCount() != before - 1 || check.GetExcelProfile(stored.c_str()) != nullptr) {
        return Fail("the profile could not be deleted from the settings store");
    }
    std::printf("Deleted %s\n", Quoted(stored).c_str());
    return 0;
}

int Dispatch(const std::string& command, int argc, char** argv) {
    KVDriverOptionsMgr manager;
    std::string why;
    if (!StoreUsable(&why)) {
        return Fail("cannot use the settings store" + (why.empty() ? std::string() : ": " + why));
    }
    if (command == "list") {
        return List(manager);
    }
    if (command == "show") {
        return Show(manager, Widen(argv[2]));
    }
    if (command == "delete") {
        return Delete(manager, Widen(argv[2]));
    }
    if (command == "import") {
        return Import(manager, argv[2]);
    }
    std::vector<std::wstring> names;
    for (int i = 3; i < argc; ++i) {
        names.push_back(Widen(argv[i]));
    }
    return Export(manager, argv[2], names);
}

int Run(int argc, char** argv) {
    if (argc < 2) {
        return Usage("no command given");
    }
    const std::string command = argv[1];
    const int extra = argc - 2;
    if (command == "list") {
        if (extra != 0) {
            return Usage("list takes no arguments");
        }
    } else if (command == "show" || command == "delete" || command == "import") {
        if (extra != 1 || argv[2][0] == '\0') {
            return Usage(command + " takes exactly one " + (command == "import" ? "FILE" : "NAME"));
        }
    } else if (command == "export") {
        if (extra < 1 || argv[2][0] == '\0') {
            return Usage("export needs a FILE");
        }
    } else {
        return Usage("unknown command \"" + command + "\"");
    }
    return Dispatch(command, argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    // Without a configured locale the narrow encoding would be ASCII and
    // every other character would be lost on the way to and from files.
    if (std::strcmp(nl_langinfo(CODESET), "ANSI_X3.4-1968") == 0) {
        std::setlocale(LC_CTYPE, "C.UTF-8");
    }
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        return Fail(std::string("unexpected failure: ") + error.what());
    }
}
