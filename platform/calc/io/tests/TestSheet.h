// A plain in-memory sheet for the writer tests.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/calc/io/SheetView.h"

namespace calc::io::test {

class TestSheet : public SheetView {
public:
    explicit TestSheet(std::wstring name = L"Sheet1") : name_(std::move(name)) { styles_.emplace_back(); }

    uint32_t addStyle(const CellStyle& s) {
        styles_.push_back(s);
        return static_cast<uint32_t>(styles_.size() - 1);
    }
    void number(int32_t r, int32_t c, double v, uint32_t style = 0) {
        put(r, c, CellKind::Number, v, L"", style);
    }
    void text(int32_t r, int32_t c, const std::wstring& t, uint32_t style = 0) {
        put(r, c, CellKind::Text, 0, t, style);
    }
    void boolean(int32_t r, int32_t c, bool v, uint32_t style = 0) {
        put(r, c, CellKind::Boolean, v ? 1 : 0, L"", style);
    }
    void error(int32_t r, int32_t c, double code, uint32_t style = 0) {
        put(r, c, CellKind::Error, code, L"", style);
    }
    void blank(int32_t r, int32_t c, uint32_t style) { put(r, c, CellKind::Empty, 0, L"", style); }
    void width(int32_t c, double w) { widths_[c] = w; }
    void select(int32_t r, int32_t c) {
        activeRow_ = r;
        activeCol_ = c;
    }
    // Pretends a larger used range than the stored cells, as a sheet with formatted
    // but empty far-away cells would have.
    void extent(int32_t lastRow, int32_t lastCol) {
        forcedRow_ = lastRow;
        forcedCol_ = lastCol;
    }

    std::wstring name() const override { return name_; }
    const std::vector<CellStyle>& styles() const override { return styles_; }
    int32_t lastRow() const override {
        int32_t r = forcedRow_;
        for (const auto& [key, cell] : cells_) {
            r = std::max(r, key.first);
        }
        return r;
    }
    int32_t lastCol() const override {
        int32_t c = forcedCol_;
        for (const auto& [key, cell] : cells_) {
            c = std::max(c, key.second);
        }
        return c;
    }
    void forEachCell(const std::function<void(const CellRef&)>& visit) const override {
        for (const auto& [key, cell] : cells_) {
            CellRef ref;
            ref.row = key.first;
            ref.col = key.second;
            ref.kind = cell.kind;
            ref.number = cell.number;
            ref.text = cell.kind == CellKind::Text ? &cell.text : nullptr;
            ref.style = cell.style;
            visit(ref);
        }
    }
    double columnWidth(int32_t col) const override {
        auto it = widths_.find(col);
        return it == widths_.end() ? defaultColumnWidth() : it->second;
    }
    bool hasColumnWidth(int32_t col) const override { return widths_.count(col) != 0; }
    int32_t activeRow() const override { return activeRow_; }
    int32_t activeCol() const override { return activeCol_; }

private:
    struct Cell {
        CellKind kind;
        double number;
        std::wstring text;
        uint32_t style;
    };
    void put(int32_t r, int32_t c, CellKind kind, double v, const std::wstring& t, uint32_t style) {
        cells_[{r, c}] = Cell{kind, v, t, style};
    }

    std::wstring name_;
    std::vector<CellStyle> styles_;
    std::map<std::pair<int32_t, int32_t>, Cell> cells_;
    std::map<int32_t, double> widths_;
    int32_t activeRow_ = 0, activeCol_ = 0;
    int32_t forcedRow_ = -1, forcedCol_ = -1;
};

// A view with default column widths and A1 selected, for the sheets below.
class PlainLayoutView : public SheetView {
public:
    double columnWidth(int32_t) const override { return defaultColumnWidth(); }
    bool hasColumnWidth(int32_t) const override { return false; }
    int32_t activeRow() const override { return 0; }
    int32_t activeCol() const override { return 0; }
};

// One row per entry of `uses`, whose text is pool[uses[i]]: cells that show one
// text share its address, as a sheet keeping each text once hands them over;
// `numbered`, they also carry its place in the pool as the text's number.
class PooledSheet : public PlainLayoutView {
public:
    PooledSheet(std::wstring name, std::vector<std::wstring> pool, std::vector<size_t> uses,
                bool numbered = false)
        : name_(std::move(name)), pool_(std::move(pool)), uses_(std::move(uses)), numbered_(numbered) {
        styles_.emplace_back();
    }
    uint32_t textNumbers() const override { return numbered_ ? static_cast<uint32_t>(pool_.size()) : 0; }
    std::wstring name() const override { return name_; }
    const std::vector<CellStyle>& styles() const override { return styles_; }
    int32_t lastRow() const override { return static_cast<int32_t>(uses_.size()) - 1; }
    int32_t lastCol() const override { return uses_.empty() ? -1 : 0; }
    void forEachCell(const std::function<void(const CellRef&)>& visit) const override {
        for (size_t r = 0; r < uses_.size(); ++r) {
            CellRef ref;
            ref.row = static_cast<int32_t>(r);
            ref.kind = CellKind::Text;
            ref.text = &pool_[uses_[r]];
            if (numbered_) {
                ref.textNumber = static_cast<uint32_t>(uses_[r]);
            }
            visit(ref);
        }
    }

private:
    std::wstring name_;
    std::vector<std::wstring> pool_;
    std::vector<size_t> uses_;
    bool numbered_;
    std::vector<CellStyle> styles_;
};

// A large generated sheet: `rows` x `cols` of mixed text, numbers and dates,
// produced on the fly so the test holds no per-cell storage (its few texts are
// pooled, as a view keeps them).
class GeneratedSheet : public PlainLayoutView {
public:
    GeneratedSheet(int32_t rows, int32_t cols) : rows_(rows), cols_(cols) {
        for (int32_t k = 0; k < kTexts; ++k) {
            texts_.push_back(L"Item " + std::to_wstring(k));
        }
        styles_.emplace_back();
        CellStyle date;
        date.numberFormat = L"m/d/yyyy";
        styles_.push_back(date);
        CellStyle money;
        money.numberFormat = L"#,##0.00";
        money.font.bold = true;
        styles_.push_back(money);
    }
    std::wstring name() const override { return L"Data"; }
    const std::vector<CellStyle>& styles() const override { return styles_; }
    int32_t lastRow() const override { return rows_ - 1; }
    int32_t lastCol() const override { return cols_ - 1; }
    void forEachCell(const std::function<void(const CellRef&)>& visit) const override {
        for (int32_t r = 0; r < rows_; ++r) {
            for (int32_t c = 0; c < cols_; ++c) {
                CellRef ref;
                ref.row = r;
                ref.col = c;
                switch (c % 4) {
                    case 0:
                        ref.kind = CellKind::Text;
                        ref.text = &texts_[static_cast<size_t>(r % kTexts)];
                        break;
                    case 1:
                        ref.kind = CellKind::Number;
                        ref.number = r * 16 + c;
                        break;
                    case 2:
                        ref.kind = CellKind::Number;
                        ref.number = 38383 + r % 1000;
                        ref.style = 1;
                        break;
                    default:
                        ref.kind = CellKind::Number;
                        ref.number = r * 1.37 + c / 7.0;
                        ref.style = 2;
                        break;
                }
                visit(ref);
            }
        }
    }

private:
    static constexpr int32_t kTexts = 5000;
    int32_t rows_, cols_;
    std::vector<std::wstring> texts_;
    std::vector<CellStyle> styles_;
};

// A sheet exercising every value kind, font attribute, alignment and format family.
inline TestSheet RichSheet() {
    TestSheet s(L"Report");
    CellStyle header;
    header.font.size = 12;
    header.font.bold = true;
    header.align = HAlign::Left;
    uint32_t hdr = s.addStyle(header);
    CellStyle under;
    under.font.italic = true;
    under.font.underline = true;
    under.align = HAlign::Center;
    uint32_t und = s.addStyle(under);
    auto fmt = [&](const wchar_t* code) {
        CellStyle st;
        st.numberFormat = code;
        return s.addStyle(st);
    };
    CellStyle courier;
    courier.font.name = L"Courier New";
    courier.align = HAlign::Right;
    uint32_t cour = s.addStyle(courier);
    CellStyle boldBlank;
    boldBlank.font.bold = true;
    uint32_t bb = s.addStyle(boldBlank);

    s.text(0, 0, L"Name", hdr);
    s.text(0, 1, L"Amount", und);
    s.text(1, 0, L"Widget \u20ac");
    s.number(1, 1, 1234.5, fmt(L"#,##0.00"));
    s.text(2, 0, L"\u00dcn\u00efc\u00f6d\u00e9");
    s.number(2, 1, -5, fmt(L"$#,##0.00"));
    s.text(3, 0, L"\u65e5\u672c\u8a9e", cour);
    s.number(3, 1, 0.125, fmt(L"0.0%"));
    s.number(1, 2, 38383, fmt(L"m/d/yyyy"));
    s.number(2, 2, 38383.4375, fmt(L"dddd, mmmm dd, yyyy"));
    s.number(3, 2, 0.4375, fmt(L"h:mm:ss AM/PM"));
    s.number(4, 2, 38383, fmt(L"yyyy-mm-dd;@"));
    s.boolean(1, 3, true);
    s.error(2, 3, 2007);
    s.blank(3, 3, bb);
    s.number(1, 4, 1.0 / 3.0);
    s.number(2, 4, 123456789);
    s.number(3, 4, 12.34);
    s.number(4, 4, 1e300);
    s.width(0, 20);
    s.width(2, 30.5);
    s.select(6, 2);
    return s;
}

}  // namespace calc::io::test
