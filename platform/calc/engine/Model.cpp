#include "platform/calc/engine/Model.h"
#include "platform/base/TextCodec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "platform/calc/engine/AutomationObject.h"
#include "platform/calc/format/NumberFormat.h"
#include "platform/calc/io/SheetView.h"
#include "platform/ui/Interactive.h"

namespace calc {

namespace {

// Limits of the older file format.
constexpr int32_t kXlsRows = 65536;
constexpr int32_t kXlsCols = 256;

std::wstring ErrorText(double code) {
    switch (static_cast<int>(code)) {
        case 0x00:
            return L"#NULL!";
        case 0x07:
            return L"#DIV/0!";
        case 0x0F:
            return L"#VALUE!";
        case 0x17:
            return L"#REF!";
        case 0x1D:
            return L"#NAME?";
        case 0x24:
            return L"#NUM!";
        default:
            return L"#N/A";
    }
}

}  // namespace

AppState::AppState() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    currentYear = local.tm_year + 1900;
}

std::shared_ptr<WorkbookModel> AppState::addWorkbook() {
    auto book = std::make_shared<WorkbookModel>();
    book->name = L"Book" + std::to_wstring(++booksCreated);
    book->sheets.push_back(std::make_unique<Sheet>(L"Sheet1", currentYear));
    workbooks.push_back(book);
    return book;
}

FileKind FileKindForPath(const std::wstring& path) {
    constexpr std::wstring_view kExt = L".xlsx";
    if (path.size() < kExt.size()) {
        return FileKind::Xls;
    }
    std::wstring_view tail(path.data() + path.size() - kExt.size(), kExt.size());
    for (size_t i = 0; i < kExt.size(); ++i) {
        wchar_t ch = tail[i];
        if (ch >= L'A' && ch <= L'Z') {
            ch = static_cast<wchar_t>(ch - L'A' + L'a');
        }
        if (ch != kExt[i]) {
            return FileKind::Xls;
        }
    }
    return FileKind::Xlsx;
}

void SaveWorkbook(WorkbookModel& book, const std::wstring& path, FileKind kind) {
    if (path.empty()) {
        throw AppError{L"SaveAs needs a file name."};
    }
    std::vector<const io::SheetView*> views;
    for (const auto& sheet : book.sheets) {
        if (kind == FileKind::Xls && (sheet->lastRow() >= kXlsRows || sheet->lastCol() >= kXlsCols)) {
            throw AppError{
                L"The sheet \"" + sheet->name() + L"\" uses " + std::to_wstring(sheet->lastRow() + 1) +
                L" rows and " + std::to_wstring(sheet->lastCol() + 1) +
                L" columns, more than an Excel 97-2003 workbook holds (65,536 rows and 256 columns). "
                L"Nothing was saved; save it as an .xlsx workbook instead."};
        }
        views.push_back(sheet.get());
    }
    std::string file = sw::base::ToUtf8(path);
    // A file its owner protected from writing is not replaced, even where the
    // folder would allow the rename (or the superuser could write it anyway).
    struct stat existing {};
    if (::stat(file.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
        ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(file.c_str(), W_OK) != 0)) {
        throw AppError{L"Cannot save over " + path + L": the file is read-only. Nothing was saved."};
    }
    io::WriteResult r = kind == FileKind::Xlsx ? io::WriteXlsx(views, file) : io::WriteXls(views, file);
    if (!r.ok) {
        throw AppError{r.error.empty() ? L"The workbook could not be saved as " + path + L"."
                                       : sw::base::FromUtf8OrCp1252(r.error)};
    }
    book.savedPath = file;
}

std::wstring DisplayText(const Sheet& sheet, const Cell& cell) {
    const io::CellStyle& style = sheet.style(cell);
    switch (cell.kind) {
        case io::CellKind::Number:
            return format::FormatValue(cell.number, style.numberFormat);
        case io::CellKind::Text:
            return format::FormatText(sheet.text(cell), style.numberFormat);
        case io::CellKind::Boolean:
            return cell.number != 0.0 ? L"TRUE" : L"FALSE";
        case io::CellKind::Error:
            return ErrorText(cell.number);
        case io::CellKind::Empty:
            break;
    }
    return {};
}

namespace {

// The width of what cells show, remembered where a sheet repeats itself: a
// text by its index in the sheet's pool, a date or time by its value and
// style (a report's dates and times take a few hundred values over many rows,
// where its amounts mostly differ and are formatted each).
class ShownWidths {
public:
    // `cells`: about how many cells will be measured. A table over the pool
    // costs more than it saves when that is fewer than the pool's texts.
    ShownWidths(const Sheet& sheet, TextMeasure& measure, int64_t cells) : sheet_(sheet), measure_(measure) {
        if (cells >= static_cast<int64_t>(sheet.pooledTexts())) {
            texts_.resize(sheet.pooledTexts());
        }
    }

    double of(const Cell& c) {
        Style& style = styleOf(c.style);
        if (c.kind == io::CellKind::Text && sheet_.generalFormat(c.style)) {
            if (texts_.empty()) {
                return measure_.width(sheet_.text(c), style.face);
            }
            TextWidth& t = texts_[c.text];
            if (!t.measured || t.face != style.face) {
                t = TextWidth{measure_.width(sheet_.text(c), style.face), style.face, true};
            }
            return t.px;
        }
        if (c.kind != io::CellKind::Number) {
            return measure_.width(DisplayText(sheet_, c), style.face);
        }
        if (!style.formatter) {
            style.formatter.emplace(sheet_.styleAt(c.style).numberFormat);
        }
        if (!sheet_.dateTimeFormat(c.style)) {
            style.formatter->format(c.number, shown_);
            return measure_.width(shown_, style.face);
        }
        if (numbers_.empty()) {
            numbers_.resize(kNumberSlots);
        }
        uint64_t bits;
        std::memcpy(&bits, &c.number, sizeof bits);
        NumberWidth& n = numbers_[static_cast<size_t>(((bits ^ c.style) * 0x9E3779B97F4A7C15ULL) >> 52)];
        if (n.style != c.style || n.bits != bits) {
            style.formatter->format(c.number, shown_);
            n = NumberWidth{bits, c.style, measure_.width(shown_, style.face)};
        }
        return n.px;
    }

private:
    static constexpr size_t kNumberSlots = size_t{1} << 12;  // direct-mapped by the top 12 bits
    struct TextWidth {
        double px = 0.0;
        TextMeasure::Face face;  // measured in
        bool measured = false;
    };
    struct NumberWidth {
        uint64_t bits = 0;
        uint32_t style = UINT32_MAX;
        double px = 0.0;
    };
    // What a style's cells are measured and formatted with, found once.
    struct Style {
        bool found = false;
        TextMeasure::Face face;
        std::optional<format::ValueFormatter> formatter;  // for its numbers
    };

    Style& styleOf(uint32_t id) {
        if (id >= styles_.size()) {
            styles_.resize(static_cast<size_t>(id) + 1);
        }
        Style& style = styles_[id];
        if (!style.found) {
            style.face = measure_.face(sheet_.styleAt(id).font);
            style.found = true;
        }
        return style;
    }

    const Sheet& sheet_;
    TextMeasure& measure_;
    std::vector<TextWidth> texts_;
    std::vector<NumberWidth> numbers_;
    std::vector<Style> styles_;  // by style id
    std::wstring shown_;
};

// Widens `widths`, one for each column from c1 to c2, to the widest
// displayed value of rows first to last, in pixels (< 0: nothing shown).
void MeasureRows(ShownWidths& shown, const Rect& area, int32_t first, int32_t last, const Sheet& sheet,
                 std::vector<double>& widths) {
    // Row by row, as the cells are stored.
    for (int32_t row = first; row <= last; ++row) {
        for (const Cell& c : sheet.rowCells(row, area.c1, area.c2)) {
            if (c.kind == io::CellKind::Empty) {
                continue;
            }
            double& widest = widths[static_cast<size_t>(c.col - area.c1)];
            widest = std::max(widest, shown.of(c));
        }
    }
}

// The widest displayed value of each column from c1 to c2 over rows r1 to r2,
// in pixels (< 0: nothing shown). With a second measure, many rows are
// shared with another thread, which takes runs of rows from the bottom up
// while this one takes them from the top down, until they meet: measuring
// only reads the sheet (a row read brings only itself up to date), and each
// thread keeps its own fonts and remembered widths. A thread held up by
// another program leaves the other more runs.
std::vector<double> MeasureColumns(const Sheet& sheet, TextMeasure& measure, const Rect& area,
                                   TextMeasure* second) {
    // Below this a thread's start costs about what it saves.
    constexpr int32_t kRowsForTwoThreads = 2048;
    constexpr int32_t kRowsPerTake = 512;
    const int32_t lastRow = std::min(area.r2, static_cast<int32_t>(sheet.storedRows()) - 1);
    const int64_t cells = static_cast<int64_t>(lastRow - area.r1 + 1) * area.cols();
    std::vector<double> widths(static_cast<size_t>(area.cols()), -1.0);
    if (!second || lastRow - area.r1 + 1 < kRowsForTwoThreads) {
        ShownWidths shown(sheet, measure, cells);
        MeasureRows(shown, area, area.r1, lastRow, sheet, widths);
        return widths;
    }
    // The runs not taken yet, first and last, in one word.
    const auto runs = static_cast<uint32_t>((lastRow - area.r1) / kRowsPerTake + 1);
    std::atomic<uint64_t> left{uint64_t{runs - 1} << 32};
    // The next run from the top (or the bottom), or -1 when none is left.
    auto take = [&left](bool top) -> int64_t {
        uint64_t ends = left.load();
        for (;;) {
            const auto first = static_cast<uint32_t>(ends);
            const auto last = static_cast<uint32_t>(ends >> 32);
            if (first > last || last == UINT32_MAX) {
                return -1;
            }
            const uint64_t rest = top ? (ends + 1) : (ends - (uint64_t{1} << 32));
            if (left.compare_exchange_weak(ends, rest)) {
                return top ? first : last;
            }
        }
    };
    auto share = [&](TextMeasure& m, bool top, std::vector<double>& into) {
        ShownWidths shown(sheet, m, cells);
        for (int64_t run = take(top); run >= 0; run = take(top)) {
            const auto first = static_cast<int32_t>(area.r1 + run * kRowsPerTake);
            MeasureRows(shown, area, first, std::min(lastRow, first + kRowsPerTake - 1), sheet, into);
        }
    };
    std::vector<double> others(widths.size(), -1.0);
    std::exception_ptr failed;
    {
        std::jthread other([&] {
            try {
                share(*second, false, others);
            } catch (...) {
                failed = std::current_exception();
            }
        });
        share(measure, true, widths);
    }
    if (failed) {
        std::rethrow_exception(failed);
    }
    for (size_t i = 0; i < widths.size(); ++i) {
        widths[i] = std::max(widths[i], others[i]);
    }
    return widths;
}

}  // namespace

void AutoFitColumns(Sheet& sheet, TextMeasure& measure, const Rect& area, TextMeasure* second) {
    const int mdw = measure.maxDigitWidth(io::FontSpec{});
    std::vector<double> widths;
    if (area.r1 == 0 && area.r2 >= sheet.lastRow()) {
        // Whole columns, usually fitted one call at a time: every column is
        // measured in one pass and kept until a cell changes.
        Sheet::ColumnFit& fit = sheet.columnFit();
        if (fit.generation != sheet.generation()) {
            const int32_t lastCol = sheet.lastCol();
            fit.pixels = lastCol < 0 ? std::vector<double>()
                                     : MeasureColumns(sheet, measure, Rect{0, 0, area.r2, lastCol}, second);
            fit.generation = sheet.generation();
        }
        widths.assign(static_cast<size_t>(area.cols()), -1.0);
        const auto measured = static_cast<int32_t>(fit.pixels.size());
        for (int32_t col = area.c1; col <= std::min(area.c2, measured - 1); ++col) {
            widths[static_cast<size_t>(col - area.c1)] = fit.pixels[static_cast<size_t>(col)];
        }
    } else {
        widths = MeasureColumns(sheet, measure, area, second);
    }
    for (int32_t col = area.c1; col <= area.c2; ++col) {
        const double widest = widths[static_cast<size_t>(col - area.c1)];
        if (widest < 0.0) {
            // A column with nothing to show goes back to the standard width.
            sheet.resetColumnWidth(col);
        } else {
            sheet.setColumnWidth(col, ColumnWidthForPixels(widest, mdw));
        }
    }
}

std::optional<std::string> HandOver(WorkbookModel& book) {
    if (!sw::ui::IsInteractive()) {
        return std::nullopt;
    }
    std::string path = book.savedPath;
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        // Unsaved: the user gets a copy in a private temporary folder.
        const char* tmp = std::getenv("TMPDIR");
        std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/sheetwise-XXXXXX";
        if (!::mkdtemp(dir.data())) {
            return std::nullopt;
        }
        path = dir + "/" + sw::base::ToUtf8(book.name) + ".xlsx";
        std::vector<const io::SheetView*> views;
        for (const auto& sheet : book.sheets) {
            views.push_back(sheet.get());
        }
        if (!io::WriteXlsx(views, path).ok) {
            ::rmdir(dir.c_str());
            return std::nullopt;
        }
    }
    const char* viewerEnv = std::getenv("SHEETWISE_VIEWER");
    std::string viewer = viewerEnv && *viewerEnv ? viewerEnv : "xdg-open";
    // The viewer may carry its own arguments; the path goes as $1 so that no
    // character of it is interpreted by the shell.
    std::string script = viewer + " \"$1\"";
    pid_t child = ::fork();
    if (child < 0) {
        return std::nullopt;
    }
    if (child == 0) {
        // Detach twice, so the viewer outlives us and never becomes a zombie.
        ::setsid();
        if (::fork() != 0) {
            ::_exit(0);
        }
        int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        ::execl("/bin/sh", "sh", "-c", script.c_str(), "sheetwise-viewer", path.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return path;
}

}  // namespace calc
