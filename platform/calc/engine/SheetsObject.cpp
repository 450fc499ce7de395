#include "platform/calc/engine/CalcObjects.h"

namespace calc {

void SheetsObject::Call(DISPID member, Kind kind, const Args& args, VARIANT& result) {
    switch (member) {
        case DISPID_VALUE:
        case id::kItem: {
            Require(kind, Kind::Get);
            args.atMost(1);
            size_t i = ItemIndex<std::unique_ptr<Sheet>>(
                args, book_->sheets, [](const std::unique_ptr<Sheet>& s) { return s->name(); });
            ReturnObject(result, new WorksheetObject(SheetHandle{state_, book_, book_->sheets[i].get()}));
            return;
        }
        case id::kCount:
            Require(kind, Kind::Get);
            result.vt = VT_I4;
            result.lVal = static_cast<LONG>(book_->sheets.size());
            return;
        default:
            throw StatusError{DISP_E_MEMBERNOTFOUND};
    }
}

}  // namespace calc
