#include "platform/spooler/WinSpool.h"

#include <cups/cups.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/base/TextCodec.h"
#include "platform/spooler/PrinterNames.h"
#include "platform/vendor/PrinterSettings.h"
#include "platform/vendor/VendorPaths.h"

namespace {

constexpr DWORD kAccessDenied = 5;
constexpr DWORD kInvalidHandle = 6;
constexpr DWORD kInvalidParameter = 87;

thread_local DWORD t_lastError = 0;
thread_local std::string t_lastErrorText;

void Fail(DWORD error, std::string text = {}) {
    t_lastError = error;
    t_lastErrorText = std::move(text);
}

// ---- CUPS connection and requests ---------------------------------------------

struct HttpClose {
    void operator()(http_t* http) const { httpClose(http); }
};
using Http = std::unique_ptr<http_t, HttpClose>;

struct IppDelete {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDelete>;

Http Connect() {
    Http http(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000, nullptr));
    if (!http) {
        Fail(RPC_S_SERVER_UNAVAILABLE, std::string("cannot reach the print scheduler at ") + cupsServer());
    }
    return http;
}

std::string PrinterUri(const std::string& queue) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                     "/printers/%s", queue.c_str());
    return uri;
}

// Sends a request and keeps the answer only when the scheduler accepted it;
// otherwise the last error tells why.
Ipp Send(http_t* http, ipp_t* request, const char* resource = "/") {
    Ipp response(cupsDoRequest(http, request, resource));
    const ipp_status_t status = cupsLastError();
    if (status <= IPP_STATUS_OK_EVENTS_COMPLETE) {
        return response;
    }
    DWORD error = kInvalidParameter;
    if (status == IPP_STATUS_ERROR_NOT_FOUND) {
        error = ERROR_INVALID_PRINTER_NAME;
    } else if (status == IPP_STATUS_ERROR_FORBIDDEN || status == IPP_STATUS_ERROR_NOT_AUTHORIZED ||
               status == IPP_STATUS_ERROR_NOT_AUTHENTICATED) {
        error = kAccessDenied;
    } else if (status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE || status == IPP_STATUS_ERROR_INTERNAL) {
        error = RPC_S_SERVER_UNAVAILABLE;
    }
    Fail(error, cupsLastErrorString() != nullptr ? cupsLastErrorString() : ippErrorString(status));
    return nullptr;
}

ipp_t* NewRequest(ipp_op_t op, const std::string& queue) {
    ipp_t* request = ippNewRequest(op);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, PrinterUri(queue).c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return request;
}

void AskFor(ipp_t* request, const std::vector<const char*>& names) {
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(names.size()), nullptr, names.data());
}

std::string Text(ipp_t* ipp, const char* name) {
    ipp_attribute_t* attr = ippFindAttribute(ipp, name, IPP_TAG_ZERO);
    const char* value = attr != nullptr ? ippGetString(attr, 0, nullptr) : nullptr;
    return value != nullptr ? value : "";
}

int Number(ipp_t* ipp, const char* name, int fallback = 0) {
    ipp_attribute_t* attr = ippFindAttribute(ipp, name, IPP_TAG_ZERO);
    if (attr == nullptr) {
        return fallback;
    }
    const ipp_tag_t tag = ippGetValueTag(attr);
    if (tag == IPP_TAG_BOOLEAN) {
        return ippGetBoolean(attr, 0);
    }
    return ippGetInteger(attr, 0);
}

// ---- What the calls hand back, before packing ---------------------------------

struct PrinterData {
    std::string queue;
    std::wstring name;
    std::wstring port;
    std::wstring driver;
    std::wstring comment;
    std::wstring location;
    DWORD attributes = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_QUEUED;
    DWORD status = 0;
    DWORD jobs = 0;
};

const std::vector<const char*> kPrinterAttributes = {"printer-name",           "printer-info",
                                                     "printer-location",       "device-uri",
                                                     "printer-make-and-model", "printer-state",
                                                     "printer-is-shared",      "queued-job-count",
                                                     "printer-state-message",  "printer-is-accepting-jobs"};

// The state message of a queue that DeletePrinter marked: it stays until
// its jobs have ended. The scheduler keeps the message across restarts.
constexpr const char* kPendingDeletion = "Pending deletion: removed once its jobs have ended";

PrinterData ToPrinter(ipp_t* ipp) {
    PrinterData p;
    p.queue = Text(ipp, "printer-name");
    p.name = sw::spooler::PrinterNameOfQueue(p.queue);
    p.port = sw::base::FromUtf8OrCp1252(Text(ipp, "device-uri"));
    p.driver = sw::base::FromUtf8OrCp1252(Text(ipp, "printer-make-and-model"));
    p.comment = sw::base::FromUtf8OrCp1252(Text(ipp, "printer-info"));
    p.location = sw::base::FromUtf8OrCp1252(Text(ipp, "printer-location"));
    if (Number(ipp, "printer-is-shared") != 0) {
        p.attributes |= PRINTER_ATTRIBUTE_SHARED;
    }
    switch (Number(ipp, "printer-state", IPP_PSTATE_IDLE)) {
        case IPP_PSTATE_PROCESSING:
            p.status = PRINTER_STATUS_PRINTING;
            break;
        case IPP_PSTATE_STOPPED:
            p.status = PRINTER_STATUS_PAUSED;
            break;
        default:
            break;
    }
    p.jobs = static_cast<DWORD>(std::max(0, Number(ipp, "queued-job-count")));
    if (Number(ipp, "printer-is-accepting-jobs", 1) == 0 &&
        Text(ipp, "printer-state-message") == kPendingDeletion) {
        p.status |= PRINTER_STATUS_PENDING_DELETION;
    }
    return p;
}

struct JobData {
    DWORD id = 0;
    std::wstring printer;
    std::wstring machine;
    std::wstring user;
    std::wstring document;
    std::wstring datatype;
    std::wstring driver;
    std::wstring statusText;
    DWORD status = 0;
    DWORD priority = 0;
    DWORD position = 0;
    DWORD totalPages = 0;
    DWORD pagesPrinted = 0;
    DWORD size = 0;
    SYSTEMTIME submitted{};
    DWORD time = 0;
};

SYSTEMTIME ToSystemTime(std::time_t when) {
    SYSTEMTIME st{};
    std::tm tm{};
    if (when > 0 && gmtime_r(&when, &tm) != nullptr) {
        st.wYear = static_cast<WORD>(tm.tm_year + 1900);
        st.wMonth = static_cast<WORD>(tm.tm_mon + 1);
        st.wDayOfWeek = static_cast<WORD>(tm.tm_wday);
        st.wDay = static_cast<WORD>(tm.tm_mday);
        st.wHour = static_cast<WORD>(tm.tm_hour);
        st.wMinute = static_cast<WORD>(tm.tm_min);
        st.wSecond = static_cast<WORD>(tm.tm_sec);
    }
    return st;
}

DWORD JobStatus(int state) {
    switch (state) {
        case IPP_JSTATE_HELD:
            return JOB_STATUS_PAUSED;
        case IPP_JSTATE_PROCESSING:
            return JOB_STATUS_PRINTING;
        case IPP_JSTATE_STOPPED:
            return JOB_STATUS_PAUSED | JOB_STATUS_ERROR;
        case IPP_JSTATE_CANCELED:
            return JOB_STATUS_DELETED;
        case IPP_JSTATE_ABORTED:
            return JOB_STATUS_ERROR;
        case IPP_JSTATE_COMPLETED:
            return JOB_STATUS_PRINTED | JOB_STATUS_COMPLETE;
        default:
            return 0;
    }
}

// ---- Packing into the caller's buffer -----------------------------------------

// Structures first, then the driver settings, then the texts, as the
// original calls lay them out.
class Packer {
public:
    Packer(LPBYTE buffer, std::size_t structBytes, std::size_t total)
        : buffer_(buffer), tail_(buffer + total), structs_(structBytes) {}
    LPWSTR Put(const std::wstring& text) {
        const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        tail_ -= bytes;
        auto* out = reinterpret_cast<LPWSTR>(tail_);
        std::copy(text.begin(), text.end(), out);
        out[text.size()] = L'\0';
        return out;
    }
    LPDEVMODEW PutDevMode(const std::vector<std::uint8_t>& dm) {
        tail_ -= dm.size();
        std::memcpy(tail_, dm.data(), dm.size());
        return reinterpret_cast<LPDEVMODEW>(tail_);
    }
    template <typename T>
    T* Struct(std::size_t index) {
        return reinterpret_cast<T*>(buffer_) + index;
    }

private:
    LPBYTE buffer_;
    LPBYTE tail_;
    std::size_t structs_;
};

std::size_t TextBytes(std::initializer_list<const std::wstring*> texts) {
    std::size_t bytes = 0;
    for (const std::wstring* text : texts) {
        bytes += (text->size() + 1) * sizeof(wchar_t);
    }
    return bytes;
}

const std::wstring kEmpty;
const std::wstring kRaw = L"RAW";

// Checks the buffer and reports the size needed; true when it fits.
bool Fits(LPBYTE buffer, DWORD cbBuf, std::size_t needed, LPDWORD pcbNeeded) {
    if (pcbNeeded != nullptr) {
        *pcbNeeded = static_cast<DWORD>(needed);
    }
    if (needed > cbBuf || (needed > 0 && buffer == nullptr)) {
        Fail(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    return true;
}

std::size_t StructSize(DWORD level) {
    switch (level) {
        case 1:
            return sizeof(PRINTER_INFO_1W);
        case 2:
            return sizeof(PRINTER_INFO_2W);
        case 4:
            return sizeof(PRINTER_INFO_4W);
        case 5:
            return sizeof(PRINTER_INFO_5W);
        default:
            return 0;
    }
}

std::size_t PrinterBytes(const PrinterData& p, DWORD level) {
    switch (level) {
        case 1:
            return TextBytes({&p.comment, &p.name, &p.comment});
        case 2:
            return TextBytes({&p.name, &p.port, &p.driver, &p.comment, &p.location, &kRaw}) +
                   sw::vendor::kDevModeSize;
        case 4:
            return TextBytes({&p.name});
        case 5:
            return TextBytes({&p.name, &p.port});
        default:
            return 0;
    }
}

void PackPrinter(Packer& packer, std::size_t index, const PrinterData& p, DWORD level) {
    switch (level) {
        case 1: {
            auto* info = packer.Struct<PRINTER_INFO_1W>(index);
            *info = {};
            info->Flags = PRINTER_ENUM_LOCAL;
            info->pDescription = packer.Put(p.comment);
            info->pName = packer.Put(p.name);
            info->pComment = packer.Put(p.comment);
            break;
        }
        case 2: {
            auto* info = packer.Struct<PRINTER_INFO_2W>(index);
            *info = {};
            info->pDevMode = packer.PutDevMode(sw::vendor::DefaultDevMode(p.name));
            info->pPrinterName = packer.Put(p.name);
            info->pPortName = packer.Put(p.port);
            info->pDriverName = packer.Put(p.driver);
            info->pComment = packer.Put(p.comment);
            info->pLocation = packer.Put(p.location);
            info->pDatatype = packer.Put(kRaw);
            info->Attributes = p.attributes;
            info->Status = p.status;
            info->cJobs = p.jobs;
            break;
        }
        case 4: {
            auto* info = packer.Struct<PRINTER_INFO_4W>(index);
            *info = {};
            info->pPrinterName = packer.Put(p.name);
            info->Attributes = p.attributes;
            break;
        }
        case 5: {
            auto* info = packer.Struct<PRINTER_INFO_5W>(index);
            *info = {};
            info->pPrinterName = packer.Put(p.name);
            info->pPortName = packer.Put(p.port);
            info->Attributes = p.attributes;
            break;
        }
        default:
            break;
    }
}

struct PrinterHandle {
    std::string queue;
    std::wstring name;
};

// Handles are checked against the open ones, so a closed or made-up handle
// is refused without being read.
std::mutex g_handlesLock;
std::unordered_set<const void*> g_handles;

PrinterHandle* HandleOf(HANDLE h) {
    const std::lock_guard<std::mutex> lock(g_handlesLock);
    if (h == nullptr || g_handles.count(h) == 0) {
        Fail(kInvalidHandle, "not an open printer");
        return nullptr;
    }
    return static_cast<PrinterHandle*>(h);
}

bool QueryPrinter(const std::string& queue, PrinterData& out) {
    Http http = Connect();
    if (!http) {
        return false;
    }
    ipp_t* request = NewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, queue);
    AskFor(request, kPrinterAttributes);
    Ipp response = Send(http.get(), request);
    if (!response) {
        return false;
    }
    out = ToPrinter(response.get());
    return true;
}

}  // namespace

DWORD SpoolerGetLastError() {
    return t_lastError;
}

void SpoolerSetLastError(DWORD error) {
    Fail(error);
}

const char* SpoolerLastErrorText() {
    return t_lastErrorText.c_str();
}

BOOL OpenPrinterW(LPCWSTR pPrinterName, LPHANDLE phPrinter, const PRINTER_DEFAULTSW* /*pDefault*/) {
    if (phPrinter == nullptr || pPrinterName == nullptr) {
        Fail(kInvalidParameter);
        return FALSE;
    }
    *phPrinter = nullptr;
    const std::string queue = sw::spooler::QueueOfPrinterName(pPrinterName);
    if (!sw::spooler::IsValidQueueName(queue)) {
        Fail(ERROR_INVALID_PRINTER_NAME, "not a printer name");
        return FALSE;
    }
    PrinterData data;
    if (!QueryPrinter(queue, data)) {
        return FALSE;
    }
    auto handle = std::make_unique<PrinterHandle>();
    handle->queue = queue;
    handle->name = sw::spooler::PrinterNameOfQueue(queue);
    {
        const std::lock_guard<std::mutex> lock(g_handlesLock);
        g_handles.insert(handle.get());
    }
    *phPrinter = handle.release();
    Fail(0);
    return TRUE;
}

BOOL ClosePrinter(HANDLE hPrinter) {
    PrinterHandle* handle = HandleOf(hPrinter);
    if (handle == nullptr) {
        return FALSE;
    }
    {
        const std::lock_guard<std::mutex> lock(g_handlesLock);
        g_handles.erase(handle);
    }
    delete handle;
    return TRUE;
}

BOOL GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded) {
    PrinterHandle* handle = HandleOf(hPrinter);
    if (handle == nullptr) {
        return FALSE;
    }
    if (StructSize(Level) == 0) {
        Fail(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    PrinterData data;
    if (!QueryPrinter(handle->queue, data)) {
        return FALSE;
    }
    const std::size_t needed = StructSize(Level) + PrinterBytes(data, Level);
    if (!Fits(pPrinter, cbBuf, needed, pcbNeeded)) {
        return FALSE;
    }
    Packer packer(pPrinter, StructSize(Level), needed);
    PackPrinter(packer, 0, data, Level);
    Fail(0);
    return TRUE;
}

BOOL EnumPrintersW(DWORD /*Flags*/, LPCWSTR /*Name*/, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                   LPDWORD pcbNeeded, LPDWORD pcReturned) {
    if (pcReturned != nullptr) {
        *pcReturned = 0;
    }
    if (StructSize(Level) == 0) {
        Fail(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    Http http = Connect();
    if (!http) {
        return FALSE;
    }
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    AskFor(request, kPrinterAttributes);
    Ipp response = Send(http.get(), request);
    std::vector<PrinterData> printers;
    if (!response) {
        if (cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND) {  // no printers at all is an empty list
            return FALSE;
        }
    } else {
        // One printer's attributes run from one group separator to the next.
        ipp_t* one = ippNew();
        for (ipp_attribute_t* attr = ippFirstAttribute(response.get()); attr != nullptr;
             attr = ippNextAttribute(response.get())) {
            if (ippGetGroupTag(attr) != IPP_TAG_PRINTER) {
                if (ippFindAttribute(one, "printer-name", IPP_TAG_ZERO) != nullptr) {
                    printers.push_back(ToPrinter(one));
                }
                ippDelete(one);
                one = ippNew();
                continue;
            }
            ippCopyAttribute(one, attr, 0);
        }
        if (ippFindAttribute(one, "printer-name", IPP_TAG_ZERO) != nullptr) {
            printers.push_back(ToPrinter(one));
        }
        ippDelete(one);
    }
    std::size_t needed = 0;
    for (const auto& p : printers) {
        needed += StructSize(Level) + PrinterBytes(p, Level);
    }
    if (!Fits(pPrinterEnum, cbBuf, needed, pcbNeeded)) {
        return FALSE;
    }
    Packer packer(pPrinterEnum, StructSize(Level) * printers.size(), needed);
    for (std::size_t i = 0; i < printers.size(); ++i) {
        PackPrinter(packer, i, printers[i], Level);
    }
    if (pcReturned != nullptr) {
        *pcReturned = static_cast<DWORD>(printers.size());
    }
    Fail(0);
    return TRUE;
}

BOOL EnumJobsW(HANDLE hPrinter, DWORD FirstJob, DWORD NoJobs, DWORD Level, LPBYTE pJob, DWORD cbBuf,
               LPDWORD pcbNeeded, LPDWORD pcReturned) {
    if (pcReturned != nullptr) {
        *pcReturned = 0;
    }
    PrinterHandle* handle = HandleOf(hPrinter);
    if (handle == nullptr) {
        return FALSE;
    }
    if (Level != 1 && Level != 2) {
        Fail(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    Http http = Connect();
    if (!http) {
        return FALSE;
    }
    ipp_t* request = NewRequest(IPP_OP_GET_JOBS, handle->queue);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "not-completed");
    AskFor(request, {"job-id", "job-name", "job-originating-user-name", "job-originating-host-name",
                     "job-state", "job-state-message", "job-priority", "time-at-creation", "job-k-octets",
                     "job-impressions", "job-impressions-completed", "document-format"});
    Ipp response = Send(http.get(), request);
    std::vector<JobData> jobs;
    if (!response) {
        if (cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND) {
            return FALSE;
        }
    } else {
        ipp_t* one = ippNew();
        auto take = [&] {
            const int id = Number(one, "job-id");
            if (id > 0) {
                JobData j;
                j.id = static_cast<DWORD>(id);
                j.printer = handle->name;
                j.machine = sw::base::FromUtf8OrCp1252(Text(one, "job-originating-host-name"));
                j.user = sw::base::FromUtf8OrCp1252(Text(one, "job-originating-user-name"));
                j.document = sw::spooler::DocumentNameOfJob(Text(one, "job-name"));
                j.datatype = sw::base::FromUtf8OrCp1252(Text(one, "document-format"));
                j.statusText = sw::base::FromUtf8OrCp1252(Text(one, "job-state-message"));
                j.status = JobStatus(Number(one, "job-state"));
                j.priority = static_cast<DWORD>(std::max(0, Number(one, "job-priority")));
                j.totalPages = static_cast<DWORD>(std::max(0, Number(one, "job-impressions")));
                j.pagesPrinted = static_cast<DWORD>(std::max(0, Number(one, "job-impressions-completed")));
                j.size = static_cast<DWORD>(std::max(0, Number(one, "job-k-octets"))) * 1024U;
                j.submitted = ToSystemTime(Number(one, "time-at-creation"));
                jobs.push_back(std::move(j));
            }
            ippDelete(one);
            one = ippNew();
        };
        for (ipp_attribute_t* attr = ippFirstAttribute(response.get()); attr != nullptr;
             attr = ippNextAttribute(response.get())) {
            if (ippGetGroupTag(attr) != IPP_TAG_JOB) {
                take();
                continue;
            }
            ippCopyAttribute(one, attr, 0);
        }
        take();
        ippDelete(one);
    }
    std::sort(jobs.begin(), jobs.end(), [](const JobData& a, const JobData& b) { return a.id < b.id; });
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        jobs[i].position = static_cast<DWORD>(i + 1);
    }
    // The caller's window onto the list: NoJobs jobs from position FirstJob.
    const std::size_t first = std::min<std::size_t>(FirstJob, jobs.size());
    const std::size_t count = std::min<std::size_t>(NoJobs, jobs.size() - first);
    const std::size_t structSize = Level == 1 ? sizeof(JOB_INFO_1W) : sizeof(JOB_INFO_2W);
    std::size_t needed = structSize * count;
    for (std::size_t i = first; i < first + count; ++i) {
        const JobData& j = jobs[i];
        needed += TextBytes({&j.printer, &j.machine, &j.user, &j.document, &j.datatype, &j.statusText});
        if (Level == 2) {
            needed += TextBytes({&j.user, &kEmpty, &j.driver});
        }
    }
    if (!Fits(pJob, cbBuf, needed, pcbNeeded)) {
        return FALSE;
    }
    Packer packer(pJob, structSize * count, needed);
    for (std::size_t i = 0; i < count; ++i) {
        const JobData& j = jobs[first + i];
        if (Level == 1) {
            auto* info = packer.Struct<JOB_INFO_1W>(i);
            *info = {};
            info->JobId = j.id;
            info->pPrinterName = packer.Put(j.printer);
            info->pMachineName = packer.Put(j.machine);
            info->pUserName = packer.Put(j.user);
            info->pDocument = packer.Put(j.document);
            info->pDatatype = packer.Put(j.datatype);
            info->pStatus = packer.Put(j.statusText);
            info->Status = j.status;
            info->Priority = j.priority;
            info->Position = j.position;
            info->TotalPages = j.totalPages;
            info->PagesPrinted = j.pagesPrinted;
            info->Submitted = j.submitted;
        } else {
            auto* info = packer.Struct<JOB_INFO_2W>(i);
            *info = {};
            info->JobId = j.id;
            info->pPrinterName = packer.Put(j.printer);
            info->pMachineName = packer.Put(j.machine);
            info->pUserName = packer.Put(j.user);
            info->pDocument = packer.Put(j.document);
            info->pNotifyName = packer.Put(j.user);
            info->pDatatype = packer.Put(j.datatype);
            info->pParameters = packer.Put(kEmpty);
            info->pDriverName = packer.Put(j.driver);
            info->pStatus = packer.Put(j.statusText);
            info->Status = j.status;
            info->Priority = j.priority;
            info->Position = j.position;
            info->TotalPages = j.totalPages;
            info->Size = j.size;
            info->Submitted = j.submitted;
            info->PagesPrinted = j.pagesPrinted;
        }
    }
    if (pcReturned != nullptr) {
        *pcReturned = static_cast<DWORD>(count);
    }
    Fail(0);
    return TRUE;
}

BOOL SetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE /*pJob*/, DWORD Command) {
    PrinterHandle* handle = HandleOf(hPrinter);
    if (handle == nullptr) {
        return FALSE;
    }
    if (Level != 0) {
        Fail(ERROR_NOT_SUPPORTED, "only job commands are supported");
        return FALSE;
    }
    ipp_op_t op = IPP_OP_CANCEL_JOB;
    switch (Command) {
        case JOB_CONTROL_CANCEL:
        case JOB_CONTROL_DELETE:
            op = IPP_OP_CANCEL_JOB;
            break;
        case JOB_CONTROL_PAUSE:
            op = IPP_OP_HOLD_JOB;
            break;
        case JOB_CONTROL_RESUME:
            op = IPP_OP_RELEASE_JOB;
            break;
        case JOB_CONTROL_RESTART:
            op = IPP_OP_RESTART_JOB;
            break;
        default:
            Fail(ERROR_INVALID_PRINTER_COMMAND);
            return FALSE;
    }
    Http http = Connect();
    if (!http) {
        return FALSE;
    }
    ipp_t* request = NewRequest(op, handle->queue);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", static_cast<int>(JobId));
    if (!Send(http.get(), request, "/jobs/")) {
        if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) {
            Fail(kInvalidParameter, "no such job");
        }
        return FALSE;
    }
    Fail(0);
    return TRUE;
}

LONG DocumentPropertiesW(HWND /*hWnd*/, HANDLE hPrinter, LPCWSTR pDeviceName, PDEVMODEW pDevModeOutput,
                         PDEVMODEW /*pDevModeInput*/, DWORD fMode) {
    PrinterHandle* handle = HandleOf(hPrinter);
    if (handle == nullptr) {
        return -1;
    }
    if (fMode == 0) {
        return static_cast<LONG>(sw::vendor::kDevModeSize);
    }
    if ((fMode & DM_OUT_BUFFER) != 0) {
        if (pDevModeOutput == nullptr) {
            Fail(kInvalidParameter);
            return -1;
        }
        const std::wstring name = pDeviceName != nullptr ? std::wstring(pDeviceName) : handle->name;
        const std::vector<std::uint8_t> dm = sw::vendor::DefaultDevMode(name);
        std::memcpy(pDevModeOutput, dm.data(), dm.size());
    }
    return IDOK;
}

namespace {

// One request on the queue of an open printer; true when the scheduler
// accepted it.
bool QueueRequest(const PrinterHandle& handle, ipp_op_t op, const char* message = nullptr) {
    Http http = Connect();
    if (!http) {
        return false;
    }
    ipp_t* request = NewRequest(op, handle.queue);
    if (message != nullptr) {
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_TEXT, "printer-state-message", nullptr, message);
    }
    return Send(http.get(), request, "/admin/") != nullptr;
}

}  // namespace

BOOL SetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE /*pPrinter*/, DWORD Command) {
    PrinterHandle* handle = HandleOf(hPrinter);
    if (handle == nullptr) {
        return FALSE;
    }
    if (Level != 0) {
        Fail(ERROR_NOT_SUPPORTED, "only printer commands are supported");
        return FALSE;
    }
    bool ok = false;
    if (Command == PRINTER_CONTROL_RESUME) {
        ok = QueueRequest(*handle, IPP_OP_CUPS_ACCEPT_JOBS) && QueueRequest(*handle, IPP_OP_RESUME_PRINTER);
    } else if (Command == PRINTER_CONTROL_PAUSE) {
        ok = QueueRequest(*handle, IPP_OP_PAUSE_PRINTER) && QueueRequest(*handle, IPP_OP_CUPS_REJECT_JOBS);
    } else {
        Fail(ERROR_INVALID_PRINTER_COMMAND);
        return FALSE;
    }
    if (ok) {
        Fail(0);
    }
    return ok ? TRUE : FALSE;
}

BOOL DeletePrinter(HANDLE hPrinter) {
    PrinterHandle* handle = HandleOf(hPrinter);
    if (handle == nullptr) {
        return FALSE;
    }
    PrinterData data;
    if (!QueryPrinter(handle->queue, data)) {
        return FALSE;
    }
    if (data.jobs > 0) {
        // Deleting the queue now would cancel the jobs it holds.
        if (!QueueRequest(*handle, IPP_OP_CUPS_REJECT_JOBS, kPendingDeletion)) {
            return FALSE;
        }
        Fail(0);
        return TRUE;
    }
    if (!QueueRequest(*handle, IPP_OP_CUPS_DELETE_PRINTER)) {
        return FALSE;
    }
    ::unlink(sw::vendor::SettingsFile(handle->queue).c_str());
    Fail(0);
    return TRUE;
}
