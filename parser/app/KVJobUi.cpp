#include "parser/app/KVJobUi.h"

#include "platform/ui/MessageBox.h"

int KVHeadlessProfileEditor::DoModal(KVDriverOptionsMgr* /*pOptionsMgr*/, bool /*bSelectOutputFile*/,
                                     std::wstring& /*strOutputFile*/) {
    return IDCANCEL;
}

bool KVHeadlessSaveDialog::AskOutputPath(std::wstring& /*strPath*/) {
    return false;
}
