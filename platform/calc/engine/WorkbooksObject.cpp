#include "platform/calc/engine/CalcObjects.h"

namespace calc {

void WorkbooksObject::Call(DISPID member, Kind kind, const Args& args, VARIANT& result) {
    switch (member) {
        case id::kAdd:
            Require(kind, Kind::Method);
            args.atMost(1);
            if (!args.missing(0)) {
                throw AppError{L"Workbooks.Add: only a new blank workbook can be created (no template)."};
            }
            ReturnObject(result, new WorkbookObject(state_, state_->addWorkbook()));
            return;
        case DISPID_VALUE:
        case id::kItem: {
            Require(kind, Kind::Get);
            args.atMost(1);
            size_t i = ItemIndex<std::shared_ptr<WorkbookModel>>(
                args, state_->workbooks, [](const std::shared_ptr<WorkbookModel>& b) { return b->name; });
            ReturnObject(result, new WorkbookObject(state_, state_->workbooks[i]));
            return;
        }
        case id::kCount:
            Require(kind, Kind::Get);
            result.vt = VT_I4;
            result.lVal = static_cast<LONG>(state_->workbooks.size());
            return;
        default:
            throw StatusError{DISP_E_MEMBERNOTFOUND};
    }
}

}  // namespace calc
