// bench_calc [--rows N] [--no-office] [--keep DIR]
//
// Drives the spreadsheet application through Invoke as the converter does,
// on a sheet of N rows x 16 columns (default 62,500: one million cells) of
// mixed text, numbers and dates, and prints the seconds of each phase, the
// slowest single-row deletion and the peak memory per cell. Then times the
// office suite converting the same data from CSV to .xls, for comparison.
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/automation/Bstr.h"
#include "platform/automation/ComRuntime.h"
#include "platform/automation/SafeArray.h"
#include "platform/automation/Variant.h"
#include "platform/calc/engine/CalcApplication.h"
#include "platform/calc/engine/CellAddress.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kCols = 16;
constexpr DISPID kWorkbooks = 0x23C, kAdd = 0xB5, kItem = 0xAA, kSheets = 0x1E5, kSaveAs = 0x11C,
                 kRange = 0xC5, kValue = 0x6, kNumberFormat = 0xC1, kEntireRow = 0xF7, kEntireColumn = 0xF6,
                 kDelete = 0x75, kAutoFit = 0xED;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// CPU seconds of this process: the machine may be shared, and wall time then
// includes waiting for a core.
double CpuNow() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

[[noreturn]] void Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "bench_calc: %s failed: 0x%08x\n", what, static_cast<unsigned>(hr));
    std::exit(1);
}

// One Invoke; arguments in call order; the put value last when `put`.
VARIANT Invoke(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args, const char* what) {
    std::reverse(args.begin(), args.end());
    DISPID named = DISPID_PROPERTYPUT;
    const bool put = flags == DISPATCH_PROPERTYPUT;
    DISPPARAMS params{args.empty() ? nullptr : args.data(), put ? &named : nullptr,
                      static_cast<UINT>(args.size()), put ? 1u : 0u};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO info{};
    HRESULT hr = object->Invoke(id, IID_NULL, 0, flags, &params, &result, &info, nullptr);
    if (FAILED(hr)) {
        if (info.bstrDescription) {
            std::fprintf(stderr, "%ls\n", info.bstrDescription);
        }
        Fail(what, hr);
    }
    return result;
}

IDispatch* GetObject(IDispatch* object, DISPID id, std::vector<VARIANT> args, const char* what) {
    VARIANT v = Invoke(object, id, DISPATCH_PROPERTYGET, std::move(args), what);
    if (v.vt != VT_DISPATCH || !v.pdispVal) {
        Fail(what, E_FAIL);
    }
    return v.pdispVal;
}

VARIANT Text(const std::wstring& s) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    return v;
}

VARIANT Int(LONG n) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = n;
    return v;
}

VARIANT Missing() {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

// The typed text of cell (r, c): a report's mix of labels, amounts and dates.
std::wstring CellText(int r, int c) {
    wchar_t buf[64];
    const int day = r % 28 + 1;
    const int month = r % 12 + 1;
    static const wchar_t* kMonths[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                       L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
    switch (c) {
        case 0:
            std::swprintf(buf, 64, L"INV-%07d", r);
            break;
        case 1:
            std::swprintf(buf, 64, L"%d/%d/%d", month, day, 2000 + r % 25);
            break;
        case 2:
            std::swprintf(buf, 64, L"Customer %d", r % 5000);
            break;
        case 3:
            std::swprintf(buf, 64, L"%d", r * 7 % 100000);
            break;
        case 4:
            std::swprintf(buf, 64, L"%d,%03d.%02d", r % 900 + 1, r % 1000, r % 100);
            break;
        case 5:
            std::swprintf(buf, 64, L"%d.%d%%", r % 100, r % 10);
            break;
        case 6:
            std::swprintf(buf, 64, L"%d-%ls-%02d", day, kMonths[month - 1], r % 100);
            break;
        case 7:
            std::swprintf(buf, 64, L"$%d.%02d", r % 10000, r % 100);
            break;
        case 8:
            std::swprintf(buf, 64, L"%d:%02d", r % 24, r % 60);
            break;
        case 9:
            std::swprintf(buf, 64, L"Region %c", static_cast<wchar_t>(L'A' + r % 26));
            break;
        case 10:
            std::swprintf(buf, 64, L"-%d.%02d", r % 5000, r % 100);
            break;
        case 11:
            std::swprintf(buf, 64, L"%d-%02d-%02d", 2000 + r % 25, month, day);
            break;
        case 12:
            std::swprintf(buf, 64, L"Product line %d description", r % 777);
            break;
        case 13:
            std::swprintf(buf, 64, L"%d", r);
            break;
        case 14:
            std::swprintf(buf, 64, L"(%d.%02d)", r % 300, r % 100);
            break;
        default:
            std::swprintf(buf, 64, L"Note %d", r % 97);
            break;
    }
    return buf;
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Runs a command, returning its seconds, or a negative value when it failed.
double Run(const std::vector<std::string>& argv, double* cpuSeconds) {
    std::fflush(stdout);  // or the child would print our buffered lines again
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    auto start = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) {
            _exit(126);
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    auto secs = [](const timeval& tv) {
        return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) * 1e-6;
    };
    *cpuSeconds = secs(after.ru_utime) + secs(after.ru_stime) - secs(before.ru_utime) - secs(before.ru_stime);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? Seconds(start) : -1.0;
}

}  // namespace

int main(int argc, char** argv) {
    int rows = 62500;
    bool office = true;
    std::string keep;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rows") == 0 && i + 1 < argc) {
            rows = std::max(1100, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--no-office") == 0) {
            office = false;
        } else if (std::strcmp(argv[i], "--keep") == 0 && i + 1 < argc) {
            keep = argv[++i];
        } else {
            std::fprintf(stderr, "usage: bench_calc [--rows N] [--no-office] [--keep DIR]\n");
            return 2;
        }
    }
    const fs::path dir = keep.empty() ? fs::temp_directory_path() / ("bench_calc_" + std::to_string(getpid()))
                                      : fs::path(keep);
    fs::create_directories(dir);
    const long cells = static_cast<long>(rows) * kCols;

    CoInitialize(nullptr);
    calc::RegisterExcelApplication();
    CLSID clsid;
    IDispatch* app = nullptr;
    if (FAILED(CLSIDFromProgID(L"Excel.Application", &clsid)) ||
        FAILED(
            CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IDispatch, reinterpret_cast<void**>(&app)))) {
        Fail("creating the application", E_FAIL);
    }
    IDispatch* books = GetObject(app, kWorkbooks, {}, "Workbooks");
    VARIANT bookVar = Invoke(books, kAdd, DISPATCH_METHOD, {Missing()}, "Workbooks.Add");
    IDispatch* book = bookVar.pdispVal;
    IDispatch* sheets = GetObject(book, kSheets, {}, "Sheets");
    VARIANT one;
    VariantInit(&one);
    one.vt = VT_I2;
    one.iVal = 1;
    IDispatch* sheet = GetObject(sheets, kItem, {one}, "Sheets.Item");

    // The value block the converter builds (not timed: it is the caller's work).
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(rows), 0}, {static_cast<ULONG>(kCols), 0}};
    SAFEARRAY* block = SafeArrayCreate(VT_VARIANT, 2, bounds);
    {
        VARIANT* data = nullptr;
        SafeArrayAccessData(block, reinterpret_cast<void**>(&data));
        for (int c = 0; c < kCols; ++c) {
            for (int r = 0; r < rows; ++r) {
                data[static_cast<size_t>(r) + static_cast<size_t>(c) * static_cast<size_t>(rows)] =
                    Text(CellText(r, c));
            }
        }
        SafeArrayUnaccessData(block);
    }
    const std::wstring last = calc::CellName(rows - 1, kCols - 1);
    std::printf("cells: %d rows x %d columns = %ld\n", rows, kCols, cells);

    auto total = Clock::now();
    const double totalCpu = CpuNow();
    double cpu = CpuNow();
    auto t = Clock::now();
    IDispatch* range = GetObject(sheet, kRange, {Text(L"A1"), Text(last)}, "Range");
    VARIANT blockVar;
    VariantInit(&blockVar);
    blockVar.vt = VT_ARRAY | VT_VARIANT;
    blockVar.parray = block;
    Invoke(range, kValue, DISPATCH_PROPERTYPUT, {blockVar}, "Value put");
    const double putSeconds = Seconds(t);
    const double putCpu = CpuNow() - cpu;
    SafeArrayDestroy(block);

    t = Clock::now();
    cpu = CpuNow();
    VARIANT readBack = Invoke(range, kValue, DISPATCH_PROPERTYGET, {}, "Value get");
    const double getSeconds = Seconds(t);
    const double getCpu = CpuNow() - cpu;
    VariantClear(&readBack);
    range->Release();

    // One NumberFormat put per cell, each on the cell's own Range object.
    t = Clock::now();
    cpu = CpuNow();
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < kCols; ++c) {
            const std::wstring name = calc::CellName(r, c);
            VARIANT first = Text(name);
            VARIANT second = Text(name);
            IDispatch* cell = GetObject(sheet, kRange, {first, second}, "Range");
            VariantClear(&first);
            VariantClear(&second);
            VARIANT format = Text(c % 3 == 1 ? L"m/d/yyyy" : L"#,##0.00");
            Invoke(cell, kNumberFormat, DISPATCH_PROPERTYPUT, {format}, "NumberFormat put");
            VariantClear(&format);
            cell->Release();
        }
    }
    const double formatSeconds = Seconds(t);
    const double formatCpu = CpuNow() - cpu;

    // 1,000 single-row deletions near the top, each timed.
    t = Clock::now();
    cpu = CpuNow();
    double slowest = 0.0;
    double slowestCpu = 0.0;
    for (int i = 0; i < 1000; ++i) {
        auto started = Clock::now();
        const double startedCpu = CpuNow();
        VARIANT a = Text(L"A2");
        VARIANT b = Text(L"A2");
        IDispatch* cell = GetObject(sheet, kRange, {a, b}, "Range");
        VariantClear(&a);
        VariantClear(&b);
        IDispatch* row = GetObject(cell, kEntireRow, {}, "EntireRow");
        VARIANT result = Invoke(row, kDelete, DISPATCH_METHOD, {Int(-4162)}, "Delete");
        VariantClear(&result);
        row->Release();
        cell->Release();
        slowest = std::max(slowest, Seconds(started));
        slowestCpu = std::max(slowestCpu, CpuNow() - startedCpu);
    }
    const double deleteSeconds = Seconds(t);
    const double deleteCpu = CpuNow() - cpu;

    t = Clock::now();
    cpu = CpuNow();
    for (int c = 0; c < kCols; ++c) {
        const std::wstring name = calc::CellName(0, c);
        VARIANT a = Text(name);
        VARIANT b = Text(name);
        IDispatch* cell = GetObject(sheet, kRange, {a, b}, "Range");
        VariantClear(&a);
        VariantClear(&b);
        IDispatch* column = GetObject(cell, kEntireColumn, {}, "EntireColumn");
        VARIANT result = Invoke(column, kAutoFit, DISPATCH_METHOD, {}, "AutoFit");
        VariantClear(&result);
        column->Release();
        cell->Release();
    }
    const double autofitSeconds = Seconds(t);
    const double autofitCpu = CpuNow() - cpu;

    double saveCpu = 0.0;
    auto save = [&](const fs::path& path) {
        auto start = Clock::now();
        const double startCpu = CpuNow();
        VARIANT name = Text(path.wstring());
        std::vector<VARIANT> args{name,   Missing(), Missing(), Missing(), Missing(), Missing(),
                                  Int(0), Missing(), Missing(), Missing(), Missing()};
        VARIANT result = Invoke(book, kSaveAs, DISPATCH_METHOD, args, "SaveAs");
        VariantClear(&result);
        VariantClear(&name);
        saveCpu = CpuNow() - startCpu;
        return Seconds(start);
    };
    const double xlsSeconds = save(dir / "bench.xls");
    const double xlsCpu = saveCpu;
    const double sequence = Seconds(total);
    const double sequenceCpu = CpuNow() - totalCpu;
    const double xlsxSeconds = save(dir / "bench.xlsx");
    const double xlsxCpu = saveCpu;
    const long peakKb = PeakRssKb();

    std::printf("%-34s %8s %8s\n", "phase", "wall s", "cpu s");
    auto line = [](const char* phase, double wall, double cpuSeconds, const std::string& note) {
        std::printf("%-34s %8.3f %8.3f  %s\n", phase, wall, cpuSeconds, note.c_str());
    };
    line("Value put (block, converting)", putSeconds, putCpu, "");
    line("Value get (block)", getSeconds, getCpu, "");
    line("NumberFormat put per cell", formatSeconds, formatCpu,
         std::to_string(formatCpu * 1e6 / static_cast<double>(cells)) + " us cpu per cell");
    line("1,000 single-row deletions", deleteSeconds, deleteCpu,
         "slowest " + std::to_string(slowest * 1e3) + " ms wall, " + std::to_string(slowestCpu * 1e3) +
             " ms cpu (target < 5 ms)");
    line("AutoFit of every column", autofitSeconds, autofitCpu, "");
    line("SaveAs .xls", xlsSeconds, xlsCpu, std::to_string(fs::file_size(dir / "bench.xls")) + " bytes");
    line("SaveAs .xlsx", xlsxSeconds, xlsxCpu, std::to_string(fs::file_size(dir / "bench.xlsx")) + " bytes");
    line("whole sequence, saving .xls", sequence, sequenceCpu, "(target < 4 s)");
    std::printf("%-34s %8.1f    (target < 400; %ld KB peak)\n", "peak RSS bytes per cell",
                static_cast<double>(peakKb) * 1024.0 / static_cast<double>(cells), peakKb);

    sheet->Release();
    sheets->Release();
    book->Release();
    books->Release();
    app->Release();
    CoUninitialize();

    if (office) {
        const fs::path csv = dir / "bench.csv";
        {
            std::ofstream out(csv);
            for (int r = 0; r < rows; ++r) {
                for (int c = 0; c < kCols; ++c) {
                    std::wstring w = CellText(r, c);
                    out << (c ? "," : "") << '"' << std::string(w.begin(), w.end()) << '"';
                }
                out << '\n';
            }
        }
        const fs::path profile = dir / "office-profile";
        double officeCpu = 0.0;
        const double seconds =
            Run({"soffice", "-env:UserInstallation=file://" + profile.string(), "--headless", "--convert-to",
                 "xls", "--outdir", (dir / "office").string(), csv.string()},
                &officeCpu);
        if (seconds < 0.0) {
            std::printf("office suite: not available or failed; no comparison\n");
        } else {
            line("office suite CSV -> .xls", seconds, officeCpu,
                 "ratio to our sequence: " + std::to_string(seconds / sequence) + " wall, " +
                     std::to_string(officeCpu / sequenceCpu) + " cpu");
        }
    }
    if (keep.empty()) {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    return 0;
}
