#include "platform/calc/engine/CalcObjects.h"

namespace calc {

ApplicationObject::~ApplicationObject() {
    // Released visible and under user control: the user takes the workbooks over.
    if (!state_->quit && state_->visible && state_->userControl) {
        for (const auto& book : state_->workbooks) {
            try {
                HandOver(*book);
            } catch (...) {
                // Nothing to tell anyone at release time: the workbook stays
                // wherever it was saved.
            }
        }
    }
}

void ApplicationObject::Call(DISPID member, Kind kind, const Args& args, VARIANT& result) {
    auto flag = [&](bool& field) {
        if (kind == Kind::Put) {
            field = Args::ToBool(args.value());
        } else {
            ReturnBool(result, field);
        }
    };
    switch (member) {
        case id::kWorkbooks:
            Require(kind, Kind::Get);
            ReturnObject(result, new WorkbooksObject(state_));
            return;
        case id::kDisplayAlerts:
            flag(state_->displayAlerts);
            return;
        case id::kUserControl:
            flag(state_->userControl);
            return;
        case id::kVisible:
            flag(state_->visible);
            return;
        case id::kQuit:
            Require(kind, Kind::Method);
            // Unsaved work is discarded without asking.
            state_->quit = true;
            state_->workbooks.clear();
            return;
        case id::kActiveCell: {
            Require(kind, Kind::Get);
            if (state_->workbooks.empty()) {
                throw AppError{L"There is no active cell: no workbook is open."};
            }
            auto book = state_->workbooks.back();
            Sheet* sheet = book->sheets.front().get();
            CellPos p{sheet->activeRow(), sheet->activeCol()};
            ReturnObject(result, new RangeObject(SheetHandle{state_, book, sheet},
                                                 Rect{p.row, p.col, p.row, p.col}, RangeMode::Cells));
            return;
        }
        default:
            throw StatusError{DISP_E_MEMBERNOTFOUND};
    }
}

}  // namespace calc
