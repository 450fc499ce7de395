#include "platform/calc/engine/CalcObjects.h"

namespace calc {

void WorkbookObject::Call(DISPID member, Kind kind, const Args& args, VARIANT& result) {
    switch (member) {
        case id::kSheets:
            Require(kind, Kind::Get);
            ReturnObject(result, new SheetsObject(state_, book_));
            return;
        case id::kName:
            Require(kind, Kind::Get);
            ReturnText(result, book_->name);
            return;
        case id::kSaveAs: {
            Require(kind, Kind::Method);
            args.atMost(12);
            std::wstring path = args.textAt(0);
            FileKind fileKind = FileKindForPath(path);
            if (!args.missing(1)) {
                int32_t format = args.int32At(1);
                if (format == kFileFormatXlsx) {
                    fileKind = FileKind::Xlsx;
                } else if (format == kFileFormatXls || format == kFileFormatNormal) {
                    fileKind = FileKind::Xls;
                } else {
                    throw AppError{L"SaveAs: file format " + std::to_wstring(format) +
                                   L" is not supported; use 51 (.xlsx) or 56 (.xls)."};
                }
            }
            SaveWorkbook(*book_, path, fileKind);
            ReturnBool(result, true);
            return;
        }
        default:
            throw StatusError{DISP_E_MEMBERNOTFOUND};
    }
}

}  // namespace calc
