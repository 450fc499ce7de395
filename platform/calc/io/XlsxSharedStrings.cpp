#include "platform/calc/io/XlsxSharedStrings.h"

#include "platform/calc/io/XmlText.h"

namespace calc::io {
namespace {

constexpr size_t kMaxLength = 32767;

}  // namespace

void XlsxSharedStrings::beginSheet(uint32_t textNumbers) {
    sheetTexts_ = std::make_unique<KnownTexts>(textNumbers);
}

uint32_t XlsxSharedStrings::indexOf(const CellRef& cell) {
    ++references_;
    uint32_t index = 0;
    if (sheetTexts_->find(cell, &index)) {
        return index;
    }
    // A text new to this sheet: written out, then looked for among the
    // strings of earlier sheets (and, where the sheet does not number its
    // texts, among its own), and taken back when it is there already.
    static const std::wstring kEmpty;
    const std::wstring& text = cell.text ? *cell.text : kEmpty;
    if (text.size() > kMaxLength / 2 && xml::Utf16Length(text) > kMaxLength) {
        --references_;
        return kTooLong;
    }
    const size_t entry = body_.size();
    body_ += xml::NeedsPreserve(text) ? "<si><t xml:space=\"preserve\">" : "<si><t>";
    const size_t start = body_.size();
    xml::AppendText(body_, text);
    const size_t end = body_.size();
    const std::string_view escaped(body_.data() + start, end - start);
    const auto fresh = static_cast<uint32_t>(start_.size());
    index = byContent_.findOrAdd(escaped, TextIndex::Hash(escaped), fresh, [this](uint32_t id) {
        return std::string_view(body_.data() + start_[id], end_[id] - start_[id]);
    });
    if (index == fresh) {
        body_ += "</t></si>";
        start_.push_back(start);
        end_.push_back(end);
    } else {
        body_.resize(entry);
    }
    sheetTexts_->add(cell, index);
    return index;
}

std::string XlsxSharedStrings::head() const {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"" +
           std::to_string(references_) + "\" uniqueCount=\"" + std::to_string(start_.size()) + "\">";
}

}  // namespace calc::io
