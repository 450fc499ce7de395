// The application's state behind its automation objects: open workbooks,
// the window flags, saving and handing a workbook over to the user.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/calc/engine/Sheet.h"
#include "platform/calc/engine/TextMeasure.h"

namespace calc {

struct WorkbookModel {
    std::wstring name;  // "Book1"
    std::vector<std::unique_ptr<Sheet>> sheets;
    std::string savedPath;  // empty until saved
};

struct AppState {
    std::vector<std::shared_ptr<WorkbookModel>> workbooks;
    bool visible = false;
    bool userControl = false;
    bool displayAlerts = true;
    bool quit = false;
    int booksCreated = 0;
    int currentYear = 2000;
    TextMeasure measure;
    TextMeasure secondMeasure;  // AutoFit's second thread's

    AppState();
    std::shared_ptr<WorkbookModel> addWorkbook();
};

enum class FileKind { Xls, Xlsx };

// The format a file name asks for: ".xlsx" in any case, else the older one.
FileKind FileKindForPath(const std::wstring& path);

// Writes the workbook; throws AppError with a sentence for the user, having
// written nothing, when it cannot.
void SaveWorkbook(WorkbookModel& book, const std::wstring& path, FileKind kind);

// What a cell shows, as AutoFit measures it.
std::wstring DisplayText(const Sheet& sheet, const Cell& cell);

// Fits the columns c1..c2 of `area` to the widest text of its rows r1..r2.
// A `second` measure, used by no one else meanwhile, lets another thread
// measure part of many rows.
void AutoFitColumns(Sheet& sheet, TextMeasure& measure, const Rect& area, TextMeasure* second = nullptr);

// Opens the workbook for the user as the application is released visible
// with user control: the saved file, or a temporary copy of an unsaved one,
// in $SHEETWISE_VIEWER (else xdg-open), detached. Nothing when the program
// shows no windows (sw::ui::IsInteractive). Returns the path handed over.
std::optional<std::string> HandOver(WorkbookModel& book);

}  // namespace calc
