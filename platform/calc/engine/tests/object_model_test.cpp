// The spreadsheet application as the converter drives it: created by program
// identifier and reached only through IDispatch::Invoke.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <thread>

#include "platform/automation/ComRuntime.h"
#include "platform/automation/DispatchObject.h"
#include "platform/calc/engine/CalcApplication.h"
#include "platform/calc/engine/TypedInput.h"
#include "platform/calc/engine/tests/InvokeHelpers.h"
#include "platform/ui/Interactive.h"
#include "tests/support/WorkbookReader.h"

namespace calc {
namespace {

using namespace calc::testing;
namespace fs = std::filesystem;

// Members by DISPID.
constexpr DISPID kWorkbooks = 0x23C, kDisplayAlerts = 0x157, kQuit = 0x12E, kUserControl = 0x4BA,
                 kVisible = 0x22E, kActiveCell = 0x131;
constexpr DISPID kAdd = 0xB5, kItem = 0xAA, kCount = 0x76, kSheets = 0x1E5, kSaveAs = 0x11C;
constexpr DISPID kRange = 0xC5, kColumns = 0xF1, kRows = 0x102;
constexpr DISPID kValue = 0x6, kNumberFormat = 0xC1, kFont = 0x92, kEntireRow = 0xF7, kEntireColumn = 0xF6,
                 kDelete = 0x75, kClear = 0x6F, kAutoFit = 0xED, kSelect = 0xEB, kColumnWidth = 0xF2,
                 kHorizontalAlignment = 0x88, kOffset = 0xFE, kRow = 0x101, kColumn = 0xF0;
constexpr DISPID kName = 0x6E, kSize = 0x68, kBold = 0x60, kItalic = 0x65, kUnderline = 0x6A;

constexpr LONG kShiftUp = -4162, kShiftToLeft = -4159, kAlignLeft = -4131;
constexpr SCODE kAppError = static_cast<SCODE>(0x800A03ECU);

std::string Narrow(const std::wstring& w) {
    return std::string(w.begin(), w.end());
}

bool HasLine(const std::string& text, const std::string& line) {
    size_t at = 0;
    while ((at = text.find(line, at)) != std::string::npos) {
        const bool starts = at == 0 || text[at - 1] == '\n';
        const size_t end = at + line.size();
        if (starts && (end == text.size() || text[end] == '\n')) {
            return true;
        }
        at = end;
    }
    return false;
}

class object_model_test : public ::testing::Test {
protected:
    void SetUp() override {
        liveBstrs_ = sw::automation::LiveBstrCount();
        liveArrays_ = sw::automation::LiveSafeArrayCount();
        liveObjects_ = sw::automation::DispatchObject::LiveCount();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_EQ(RegisterExcelApplication(), S_OK);
        app_ = Create();
        ASSERT_TRUE(app_);
        Obj books = GetObj(app_.get(), kWorkbooks);
        Obj book = CallObj(books.get(), kAdd, {Missing()});
        Obj sheets = GetObj(book.get(), kSheets);
        sheet_ = GetObj(sheets.get(), kItem, {I2(1)});
        ASSERT_TRUE(sheet_);
        dir_ = fs::temp_directory_path() / ("calc_test_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }

    void TearDown() override {
        sheet_.reset();
        if (app_) {
            Put(app_.get(), kDisplayAlerts, Bool(true));
        }
        app_.reset();
        CoUninitialize();
        // Every object, string and array handed out was released exactly once.
        EXPECT_EQ(sw::automation::DispatchObject::LiveCount(), liveObjects_);
        EXPECT_EQ(sw::automation::LiveBstrCount(), liveBstrs_);
        EXPECT_EQ(sw::automation::LiveSafeArrayCount(), liveArrays_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    static Obj Create() {
        CLSID clsid;
        EXPECT_EQ(CLSIDFromProgID(L"Excel.Application", &clsid), S_OK);
        IDispatch* p = nullptr;
        EXPECT_EQ(
            CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IDispatch, reinterpret_cast<void**>(&p)),
            S_OK);
        return Obj(p);
    }

    Obj Range(const std::wstring& first, const std::wstring& second) {
        return GetObj(sheet_.get(), kRange, {Bstr(first), Bstr(second)});
    }
    Obj Cell(const std::wstring& name) { return Range(name, name); }
    Var ValueOf(const std::wstring& name) { return Get(Cell(name).get(), kValue); }
    std::wstring FormatOf(const std::wstring& name) { return Text(Get(Cell(name).get(), kNumberFormat)); }
    void SetValue(const std::wstring& name, const Var& v) { Put(Cell(name).get(), kValue, v); }
    double WidthOf(const std::wstring& column) {
        Obj col = GetObj(Cell(column + L"1").get(), kEntireColumn);
        Var w = Get(col.get(), kColumnWidth);
        EXPECT_EQ(w.vt, VT_R8);
        return w.dblVal;
    }
    Var Save(const fs::path& path) {
        Obj books = GetObj(app_.get(), kWorkbooks);
        Obj book = GetObj(books.get(), kItem, {I2(1)});
        CallResult r = TryCall(book.get(), kSaveAs,
                               {Bstr(path.wstring()), Missing(), Missing(), Missing(), Missing(), Missing(),
                                I4(0), Missing(), Missing(), Missing(), Missing()});
        saveError_ = r.description;
        Var hr;
        hr.vt = VT_ERROR;
        hr.scode = r.hr;
        return hr;
    }

    // An independent reader's dump of a saved file.
    std::string ReadBack(const std::string& kind, const fs::path& file) {
        const WorkbookText read = DumpWorkbook(kind, file.string());
        if (read.status == 3 || read.status == 127) {
            skipReason_ = "the python3 reader for ." + kind + " is not installed: " + read.text;
        } else {
            EXPECT_EQ(read.status, 0) << read.text;
        }
        return read.text;
    }

    Obj app_;
    Obj sheet_;
    std::string skipReason_;
    fs::path dir_;
    std::wstring saveError_;
    long liveBstrs_ = 0;
    long liveArrays_ = 0;
    long liveObjects_ = 0;

    void ExpectBlockPutAsCellPuts(int kPutRows, int keepEvery);
};

TEST_F(object_model_test, creation_by_program_identifier_opens_one_workbook_with_a_sheet) {
    Obj books = GetObj(app_.get(), kWorkbooks);
    EXPECT_EQ(Get(books.get(), kCount).lVal, 1);
    Obj book = GetObj(books.get(), kItem, {I2(1)});
    EXPECT_TRUE(book);
    EXPECT_EQ(TryGet(books.get(), kItem, {I2(2)}).hr, DISP_E_BADINDEX);
    Obj sheets = GetObj(book.get(), kSheets);
    EXPECT_EQ(TryGet(sheets.get(), kItem, {I2(0)}).hr, DISP_E_BADINDEX);
    // A second application is independent of the first.
    Obj other = Create();
    Obj otherBooks = GetObj(other.get(), kWorkbooks);
    EXPECT_EQ(Get(otherBooks.get(), kCount).lVal, 0);
}

// A block read of ragged rows, larger than the stored area and not starting
// at A1, puts each value at its own place and leaves the rest empty.
TEST_F(object_model_test, block_get_places_every_value_of_ragged_rows) {
    auto valueAt = [](LONG r, LONG c) { return ((r * 7 + c * 3) % 5 == 0) ? r * 100.0 + c : -1.0; };
    std::vector<std::vector<Var>> rows;
    for (LONG r = 0; r < 150; ++r) {
        rows.emplace_back();
        for (LONG c = 0; c < 1 + r % 6; ++c) {  // rows of 1 to 6 cells
            rows.back().push_back(valueAt(r, c) >= 0.0 ? R8(valueAt(r, c)) : Var());
        }
        rows.back().resize(6);
    }
    Put(Range(L"A1", L"F150").get(), kValue, Block(rows));
    Var back = Get(Range(L"B3", L"G200").get(), kValue);
    ASSERT_EQ(back.vt, VT_ARRAY | VT_VARIANT);
    for (LONG i = 1; i <= 198; ++i) {
        for (LONG j = 1; j <= 6; ++j) {
            const LONG r = i + 1;
            const LONG c = j;
            Var v = Element(back, i, j);
            const bool stored = r < 150 && c < 1 + r % 6 && valueAt(r, c) >= 0.0;
            ASSERT_EQ(v.vt, stored ? VT_R8 : VT_EMPTY) << i << "," << j;
            if (stored) {
                EXPECT_EQ(v.dblVal, valueAt(r, c));
            }
        }
    }
}

// A block of a whole report is large and mostly empty; the parts no one
// wrote are taken as empty without being read. Values there before the put
// must still go, and values beside unwritten parts must all land.
TEST_F(object_model_test, large_sparse_block_put_stores_every_value_and_empties_the_rest) {
    constexpr LONG kBlockRows = 12000;
    constexpr LONG kBlockColumns = 40;  // 7.7 MB of elements
    Put(Range(L"A1", L"AN12000").get(), kValue, Var());
    for (const wchar_t* name : {L"B2", L"D11999", L"AN12000"}) {
        SetValue(name, Bstr(L"before"));
    }
    auto stored = [](LONG r, LONG c) {
        return c % 4 == 0 ? r % 53 == c % 53 : (c == 5 && r >= 250 && r <= 260);
    };
    SAFEARRAYBOUND bounds[2] = {{kBlockRows, 0}, {kBlockColumns, 0}};
    Var block;
    block.vt = VT_ARRAY | VT_VARIANT;
    block.parray = SafeArrayCreate(VT_VARIANT, 2, bounds);
    for (LONG c = 0; c < kBlockColumns; ++c) {
        for (LONG r = 0; r < kBlockRows; ++r) {
            if (stored(r, c)) {
                LONG idx[2] = {r, c};
                Var v = c % 8 == 0 ? Bstr(L"t" + std::to_wstring(r)) : R8(r + c / 100.0);
                SafeArrayPutElement(block.parray, idx, &v);
            }
        }
    }
    Put(Range(L"A1", L"AN12000").get(), kValue, block);
    Var back = Get(Range(L"A1", L"AN12000").get(), kValue);
    ASSERT_EQ(back.vt, VT_ARRAY | VT_VARIANT);
    for (LONG c = 0; c < kBlockColumns; ++c) {
        for (LONG r = 0; r < kBlockRows; ++r) {
            Var v = Element(back, r + 1, c + 1);
            if (!stored(r, c)) {
                ASSERT_EQ(v.vt, VT_EMPTY) << r << "," << c;
            } else if (c % 8 == 0) {
                ASSERT_EQ(Text(v), L"t" + std::to_wstring(r)) << r << "," << c;
            } else {
                ASSERT_EQ(v.vt, VT_R8) << r << "," << c;
                ASSERT_EQ(v.dblVal, r + c / 100.0);
            }
        }
    }
}

// Puts a block of kPutRows rows (every keepEvery-th element holding a value)
// and checks that the workbook saves exactly as putting the same values one
// cell at a time does, cells formatted as text and with formats of their own
// included.
void object_model_test::ExpectBlockPutAsCellPuts(int kPutRows, int keepEvery) {
    constexpr int kPutCols = 120;
    const wchar_t* const typed[] = {L"1,234.50", L"12.5%", L"03/12/2026", L"10:45 AM",
                                    L"'0012",    L"Total", L"1 1/2",      L"$1,200",
                                    L"Jan 31",   L" 42 ",  L"",           L"3/4/2005 10:30 PM"};
    auto valueAt = [&](int r, int c) {
        const int k = r * kPutCols + c;
        if (k % keepEvery != 0) {
            return Var();
        }
        if (k % 11 == 4) {
            return R8(k / 8.0);
        }
        if (k % 13 == 6) {
            return Var();
        }
        if (k % 17 == 9) {
            return Bool(k % 2 == 0);
        }
        return k % 5 == 0 ? Bstr(L"t" + std::to_wstring(k % 900)) : Bstr(typed[k % std::size(typed)]);
    };
    auto colName = [](int c) {
        std::wstring name;
        for (int n = c + 1; n > 0; n = (n - 1) / 26) {
            name.insert(name.begin(), static_cast<wchar_t>(L'A' + (n - 1) % 26));
        }
        return name;
    };
    auto cellName = [&](int r, int c) { return colName(c) + std::to_wstring(r + 1); };
    const std::wstring last = cellName(kPutRows - 1, kPutCols - 1);
    auto sheetOf = [](const Obj& app) {
        Obj books = GetObj(app.get(), kWorkbooks);
        Obj book = CallObj(books.get(), kAdd, {Missing()});
        Obj sheets = GetObj(book.get(), kSheets);
        return GetObj(sheets.get(), kItem, {I2(1)});
    };
    auto range = [](const Obj& sheet, const std::wstring& a, const std::wstring& b) {
        return GetObj(sheet.get(), kRange, {Bstr(a), Bstr(b)});
    };
    // Text columns, a text row and cells with formats of their own, set before the values.
    auto preformat = [&](const Obj& sheet) {
        for (const wchar_t* col : {L"C", L"H", L"BZ"}) {
            Put(range(sheet, std::wstring(col) + L"1", std::wstring(col) + std::to_wstring(kPutRows)).get(),
                kNumberFormat, Bstr(L"@"));
        }
        Put(range(sheet, L"A50", colName(kPutCols - 1) + L"50").get(), kNumberFormat, Bstr(L"@"));
        for (int r = 0; r < kPutRows; r += 9) {
            Put(range(sheet, cellName(r, r % kPutCols), cellName(r, r % kPutCols)).get(), kNumberFormat,
                Bstr(L"0.000"));
        }
    };
    auto save = [](const Obj& app, const fs::path& path) {
        Obj books = GetObj(app.get(), kWorkbooks);
        Obj book = GetObj(books.get(), kItem, {I2(1)});
        EXPECT_EQ(TryCall(book.get(), kSaveAs,
                          {Bstr(path.wstring()), Missing(), Missing(), Missing(), Missing(), Missing(), I4(0),
                           Missing(), Missing(), Missing(), Missing()})
                      .hr,
                  S_OK);
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };

    preformat(sheet_);
    std::vector<std::vector<Var>> rows(kPutRows);
    for (int r = 0; r < kPutRows; ++r) {
        for (int c = 0; c < kPutCols; ++c) {
            rows[static_cast<size_t>(r)].push_back(valueAt(r, c));
        }
    }
    Put(Range(L"A1", last).get(), kValue, Block(rows));

    Obj other = Create();
    Obj single = sheetOf(other);
    preformat(single);
    for (int r = 0; r < kPutRows; ++r) {
        for (int c = 0; c < kPutCols; ++c) {
            Var value = valueAt(r, c);
            if (value.vt != VT_EMPTY) {  // an empty put on an empty cell changes nothing
                Put(range(single, cellName(r, c), cellName(r, c)).get(), kValue, value);
            }
        }
    }

    // The formats had their say: a date stays text in a text column.
    const std::wstring textDate = keepEvery == 1 ? L"C1" : L"C6";  // element 2, or 602 of a sparse block
    EXPECT_EQ(ValueOf(textDate).vt, VT_BSTR);
    EXPECT_EQ(Text(ValueOf(textDate)), L"03/12/2026");
    if (keepEvery == 1) {
        EXPECT_EQ(ValueOf(L"B1").vt, VT_R8);
    }
    const std::string block = save(app_, dir_ / "block.xls");
    const std::string cells = save(other, dir_ / "cells.xls");
    ASSERT_GT(block.size(), 100000u);
    EXPECT_TRUE(block == cells) << "the saved workbooks differ";
    Put(other.get(), kDisplayAlerts, Bool(true));
}

// A block large enough to have its typed texts converted on a second thread.
TEST_F(object_model_test, large_block_put_saves_as_cell_by_cell_puts_do) {
    ExpectBlockPutAsCellPuts(200, 1);
}

// A block large enough to be checked and listed in two halves of its columns.
TEST_F(object_model_test, block_put_in_two_halves_saves_as_cell_by_cell_puts_do) {
    ExpectBlockPutAsCellPuts(9000, 7);
}

TEST_F(object_model_test, block_put_converts_typed_text_and_block_get_has_lower_bounds_one) {
    Obj block = Range(L"A1", L"C2");
    Put(block.get(), kValue,
        Block({{Bstr(L"1,234"), Bstr(L"1/31/2005"), Bstr(L"Total")}, {Bstr(L"10:30"), Bstr(L"12%"), Var()}}));
    Var back = Get(block.get(), kValue);
    ASSERT_EQ(back.vt, VT_ARRAY | VT_VARIANT);
    LONG lb = -1;
    SafeArrayGetLBound(back.parray, 1, &lb);
    EXPECT_EQ(lb, 1);
    SafeArrayGetLBound(back.parray, 2, &lb);
    EXPECT_EQ(lb, 1);
    LONG ub = 0;
    SafeArrayGetUBound(back.parray, 2, &ub);
    EXPECT_EQ(ub, 3);
    Var a1 = Element(back, 1, 1);
    EXPECT_EQ(a1.vt, VT_R8);
    EXPECT_EQ(a1.dblVal, 1234.0);
    Var b1 = Element(back, 1, 2);
    EXPECT_EQ(b1.vt, VT_DATE);
    EXPECT_EQ(b1.date, 38383.0);
    EXPECT_EQ(Text(Element(back, 1, 3)), L"Total");
    Var a2 = Element(back, 2, 1);
    EXPECT_EQ(a2.vt, VT_DATE);
    EXPECT_EQ(a2.date, 0.4375);  // a time alone lies on 30 December 1899
    EXPECT_EQ(Element(back, 2, 2).vt, VT_R8);
    EXPECT_EQ(Element(back, 2, 3).vt, VT_EMPTY);
    // The formats a converting put gives, as NumberFormat reads them.
    EXPECT_EQ(FormatOf(L"A1"), L"#,##0");
    EXPECT_EQ(FormatOf(L"B1"), L"d-mmm-yy");
    EXPECT_EQ(FormatOf(L"C1"), L"General");
    EXPECT_EQ(FormatOf(L"A2"), L"h:mm");
    EXPECT_EQ(FormatOf(L"B2"), L"0%");
    EXPECT_EQ(FormatOf(L"C2"), L"General");
}

TEST_F(object_model_test, block_put_fills_from_the_first_cell_whatever_the_lower_bounds) {
    Put(Range(L"B2", L"C3").get(), kValue, Block({{Bstr(L"a"), Bstr(L"b")}, {Bstr(L"c"), Bstr(L"d")}}, 5));
    EXPECT_EQ(Text(ValueOf(L"B2")), L"a");
    EXPECT_EQ(Text(ValueOf(L"C3")), L"d");
    // A range larger than the array gets #N/A in the cells the array does not reach.
    Put(Range(L"E1", L"F1").get(), kValue, Block({{Bstr(L"x")}}));
    Var f1 = ValueOf(L"F1");
    EXPECT_EQ(f1.vt, VT_ERROR);
    EXPECT_EQ(static_cast<uint32_t>(f1.scode), 0x800A07FAU);
    // Away from the corner: an empty element empties the value under it,
    // and the rows and columns past the array get #N/A too.
    for (const wchar_t* name : {L"C5", L"B6", L"D5", L"B7"}) {
        SetValue(name, Bstr(L"before"));
    }
    Put(Range(L"B5", L"D7").get(), kValue, Block({{Bstr(L"p"), Var()}, {Var(), Bstr(L"q")}}));
    EXPECT_EQ(Text(ValueOf(L"B5")), L"p");
    EXPECT_EQ(ValueOf(L"C5").vt, VT_EMPTY);
    EXPECT_EQ(ValueOf(L"B6").vt, VT_EMPTY);
    EXPECT_EQ(Text(ValueOf(L"C6")), L"q");
    for (const wchar_t* name : {L"D5", L"D6", L"B7", L"D7"}) {
        EXPECT_EQ(ValueOf(name).vt, VT_ERROR) << name;
    }
}

TEST_F(object_model_test, single_cell_values_keep_their_variant_types) {
    SetValue(L"A1", R8(2.5));
    SetValue(L"A2", Date(38383.5));
    SetValue(L"A3", Bool(true));
    SetValue(L"A4", Bstr(L"plain"));
    SetValue(L"A5", I4(7));
    EXPECT_EQ(ValueOf(L"A1").vt, VT_R8);
    Var a2 = ValueOf(L"A2");
    EXPECT_EQ(a2.vt, VT_DATE);
    EXPECT_EQ(a2.date, 38383.5);
    EXPECT_EQ(FormatOf(L"A2"), L"m/d/yyyy h:mm");
    EXPECT_EQ(ValueOf(L"A3").vt, VT_BOOL);
    EXPECT_EQ(Text(ValueOf(L"A4")), L"plain");
    EXPECT_EQ(ValueOf(L"A5").dblVal, 7.0);
    EXPECT_EQ(ValueOf(L"Z99").vt, VT_EMPTY);
    EXPECT_EQ(FormatOf(L"Z99"), L"General");
    // A number no cell can hold is the #NUM! error, as the saved files have it.
    SetValue(L"A6", R8(std::numeric_limits<double>::quiet_NaN()));
    SetValue(L"A7", Date(-std::numeric_limits<double>::infinity()));
    for (const wchar_t* name : {L"A6", L"A7"}) {
        Var v = ValueOf(name);
        EXPECT_EQ(v.vt, VT_ERROR);
        EXPECT_EQ(static_cast<uint32_t>(v.scode), 0x800A07F4U);  // #NUM!
    }
    // An empty put empties the cell.
    SetValue(L"A4", Var());
    EXPECT_EQ(ValueOf(L"A4").vt, VT_EMPTY);
    // A value no cell can hold is refused and changes nothing.
    Var object;
    object.vt = VT_DISPATCH;
    object.pdispVal = nullptr;
    EXPECT_EQ(TryPut(Cell(L"A1").get(), kValue, object).hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(TryPut(Range(L"A1", L"B1").get(), kValue, Block({{R8(9), object}})).hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(ValueOf(L"A1").dblVal, 2.5);
    // So is a large block with one such value, in either half of its columns.
    for (const size_t badColumn : {size_t{3}, size_t{100}}) {
        std::vector<std::vector<Var>> rows(9000, std::vector<Var>(120));
        rows[0][0] = R8(9);
        rows[8000][badColumn] = object;
        EXPECT_EQ(TryPut(Range(L"A1", L"DP9000").get(), kValue, Block(rows)).hr, DISP_E_TYPEMISMATCH);
        EXPECT_EQ(ValueOf(L"A1").dblVal, 2.5);
    }
}

TEST_F(object_model_test, scalar_puts_fill_the_range_and_vectors_fill_a_row) {
    Var money;
    money.vt = VT_CY;
    money.cyVal.int64 = 123450;  // 12.345
    Put(Range(L"A1", L"B2").get(), kValue, money);
    EXPECT_EQ(ValueOf(L"B2").dblVal, 12.345);
    EXPECT_EQ(ValueOf(L"B2").vt, VT_R8);
    EXPECT_EQ(FormatOf(L"A1"), L"$#,##0.00_);($#,##0.00)");
    Var row;
    row.vt = VT_ARRAY | VT_VARIANT;
    row.parray = SafeArrayCreateVector(VT_VARIANT, 1, 3);
    for (LONG i = 1; i <= 3; ++i) {
        Var v = I4(i * 10);
        SafeArrayPutElement(row.parray, &i, &v);
    }
    Put(Range(L"C5", L"E5").get(), kValue, row);
    EXPECT_EQ(ValueOf(L"C5").dblVal, 10.0);
    EXPECT_EQ(ValueOf(L"E5").dblVal, 30.0);
    EXPECT_EQ(ValueOf(L"C6").vt, VT_EMPTY);
    // Emptying a whole column leaves the rest alone.
    Put(GetObj(Cell(L"A1").get(), kEntireColumn).get(), kValue, Var());
    EXPECT_EQ(ValueOf(L"A2").vt, VT_EMPTY);
    EXPECT_EQ(ValueOf(L"B2").dblVal, 12.345);
}

TEST_F(object_model_test, bad_cell_names_raise_an_application_error) {
    for (const wchar_t* bad : {L"", L"A0", L"XFE1", L"A1048577", L"Total", L"1A"}) {
        CallResult r = TryGet(sheet_.get(), kRange, {Bstr(bad), Bstr(L"A1")});
        EXPECT_EQ(r.hr, DISP_E_EXCEPTION) << Narrow(bad);
        EXPECT_EQ(r.scode, kAppError);
        EXPECT_NE(r.description.find(L"cell reference"), std::wstring::npos) << Narrow(r.description);
    }
    CallResult last = TryGet(sheet_.get(), kRange, {Bstr(L"XFD1048576"), Bstr(L"XFD1048576")});
    EXPECT_EQ(last.hr, S_OK);
}

TEST_F(object_model_test, range_corners_may_be_range_objects_or_one_reference) {
    Obj b2 = Cell(L"B2");
    Obj c3 = Cell(L"C3");
    Var first;
    first.vt = VT_DISPATCH;
    first.pdispVal = b2.get();
    first.pdispVal->AddRef();
    Var second;
    second.vt = VT_DISPATCH;
    second.pdispVal = c3.get();
    second.pdispVal->AddRef();
    Obj box = GetObj(sheet_.get(), kRange, {second, first});
    EXPECT_EQ(Get(box.get(), kCount).lVal, 4);
    EXPECT_EQ(Get(box.get(), kRow).lVal, 2);
    Obj single = GetObj(sheet_.get(), kRange, {Bstr(L"A1:C3")});
    EXPECT_EQ(Get(single.get(), kCount).lVal, 9);
    // An object that is not a range of this sheet is refused.
    Var app;
    app.vt = VT_DISPATCH;
    app.pdispVal = app_.get();
    app.pdispVal->AddRef();
    EXPECT_EQ(TryGet(sheet_.get(), kRange, {app, Bstr(L"A1")}).hr, DISP_E_EXCEPTION);
}

TEST_F(object_model_test, counts_of_rows_columns_and_cells) {
    Obj rows = GetObj(sheet_.get(), kRows);
    Obj cols = GetObj(sheet_.get(), kColumns);
    Var n = Get(rows.get(), kCount);
    EXPECT_EQ(n.vt, VT_I4);
    EXPECT_EQ(n.lVal, 1048576);
    EXPECT_EQ(Get(cols.get(), kCount).lVal, 16384);
    EXPECT_EQ(Get(Range(L"A1", L"C2").get(), kCount).lVal, 6);
    EXPECT_EQ(Get(GetObj(Cell(L"B2").get(), kEntireRow).get(), kCount).lVal, 1);  // one row
}

TEST_F(object_model_test, deleting_entire_rows_and_columns_shifts_cells) {
    Put(Range(L"A1", L"C3").get(), kValue,
        Block({{Bstr(L"a1"), Bstr(L"b1"), Bstr(L"c1")},
               {Bstr(L"a2"), Bstr(L"b2"), Bstr(L"c2")},
               {Bstr(L"a3"), Bstr(L"b3"), Bstr(L"c3")}}));
    Call(GetObj(Cell(L"A2").get(), kEntireRow).get(), kDelete, {I4(kShiftUp)});
    EXPECT_EQ(Text(ValueOf(L"A2")), L"a3");
    EXPECT_EQ(ValueOf(L"A3").vt, VT_EMPTY);
    Put(Cell(L"C1").get(), kColumnWidth, I4(20));
    Call(GetObj(Cell(L"A1").get(), kEntireColumn).get(), kDelete, {I4(kShiftToLeft)});
    EXPECT_EQ(Text(ValueOf(L"A1")), L"b1");
    EXPECT_EQ(Text(ValueOf(L"B2")), L"c3");
    EXPECT_EQ(ValueOf(L"C1").vt, VT_EMPTY);
    // Column widths move with their columns.
    EXPECT_EQ(WidthOf(L"B"), 20.0);
    EXPECT_EQ(WidthOf(L"C"), 8.43);
}

TEST_F(object_model_test, deleting_a_partial_row_span_when_empty_shifts_only_its_cells) {
    // As the converter drops an empty row: read the span, check it, delete it.
    Put(Range(L"A1", L"C3").get(), kValue,
        Block({{Bstr(L"a1"), Bstr(L"b1"), Bstr(L"keep")},
               {Var(), Var(), Bstr(L"x")},
               {Bstr(L"a3"), Bstr(L"b3"), Var()}}));
    Obj span = Range(L"A2", L"C2");
    Var cells = Get(span.get(), kValue);
    EXPECT_EQ(Element(cells, 1, 1).vt, VT_EMPTY);
    EXPECT_EQ(Element(cells, 1, 2).vt, VT_EMPTY);
    EXPECT_EQ(Element(cells, 1, 3).vt, VT_BSTR);
    Call(span.get(), kDelete, {I4(kShiftUp)});
    EXPECT_EQ(Text(ValueOf(L"A2")), L"a3");
    EXPECT_EQ(Text(ValueOf(L"C1")), L"keep");
    EXPECT_EQ(ValueOf(L"C2").vt, VT_EMPTY);  // C3 was empty and moved up
    // The shift may come as a short integer as well.
    Call(Range(L"A1", L"A2").get(), kDelete, {I2(static_cast<short>(kShiftToLeft))});
    EXPECT_EQ(Text(ValueOf(L"A1")), L"b1");
    EXPECT_EQ(Text(ValueOf(L"A2")), L"b3");
    EXPECT_EQ(TryCall(Cell(L"A1").get(), kDelete, {I4(5)}).hr, DISP_E_EXCEPTION);
    EXPECT_EQ(Text(ValueOf(L"A1")), L"b1");
}

TEST_F(object_model_test, clear_around_a_cell_through_offsets) {
    for (const wchar_t* name : {L"A1", L"B1", L"C1", L"D1", L"A2", L"B2", L"C2", L"D2", L"A3", L"D3"}) {
        SetValue(name, Bstr(name));
    }
    Put(Cell(L"A1").get(), kNumberFormat, Bstr(L"0.00"));
    // Cell (2, 3) with 5 rows up and 5 columns left, clamped to A1; 1 right, 0 down.
    Obj cell = Cell(L"C2");
    Obj corner = GetObj(cell.get(), kOffset, {I4(-1), I4(-2)});
    EXPECT_EQ(Get(corner.get(), kRow).lVal, 1);
    EXPECT_EQ(Get(corner.get(), kColumn).lVal, 1);
    for (LONG i = 0; i <= 1; ++i) {
        Obj at = GetObj(corner.get(), kOffset, {I4(i), I4(0)});
        for (int k = 0; k < 4; ++k) {
            Call(at.get(), kClear);
            at = GetObj(at.get(), kOffset, {I4(0), I4(1)});
        }
    }
    for (const wchar_t* cleared : {L"A1", L"B1", L"C1", L"D1", L"A2", L"B2", L"C2", L"D2"}) {
        EXPECT_EQ(ValueOf(cleared).vt, VT_EMPTY) << Narrow(cleared);
    }
    EXPECT_EQ(FormatOf(L"A1"), L"General");
    EXPECT_EQ(Text(ValueOf(L"A3")), L"A3");
    // An offset off the sheet is the application's error.
    CallResult off = TryGet(corner.get(), kOffset, {I4(-1), I4(0)});
    EXPECT_EQ(off.hr, DISP_E_EXCEPTION);
}

TEST_F(object_model_test, font_members_apply_to_every_cell_of_the_range) {
    Obj block = Range(L"A1", L"B2");
    Obj font = GetObj(block.get(), kFont);
    Put(font.get(), kName, Bstr(L"Courier New"));
    Put(font.get(), kSize, I4(12));
    Put(font.get(), kBold, I2(1));
    Put(font.get(), kItalic, I2(0));
    Put(font.get(), kUnderline, I2(2));
    Obj one = GetObj(Cell(L"B2").get(), kFont);
    EXPECT_EQ(Text(Get(one.get(), kName)), L"Courier New");
    EXPECT_EQ(Get(one.get(), kSize).dblVal, 12.0);
    EXPECT_EQ(Get(one.get(), kBold).boolVal, VARIANT_TRUE);
    EXPECT_EQ(Get(one.get(), kItalic).boolVal, VARIANT_FALSE);
    EXPECT_EQ(Get(one.get(), kUnderline).lVal, 2);
    Put(font.get(), kUnderline, I4(-4142));
    EXPECT_EQ(Get(one.get(), kUnderline).lVal, -4142);
    // A range whose cells differ reads as Null.
    Obj wider = GetObj(Range(L"A1", L"C1").get(), kFont);
    EXPECT_EQ(Get(wider.get(), kBold).vt, VT_NULL);
    // A name no file can store is refused and leaves the font as it was.
    EXPECT_EQ(TryPut(font.get(), kName, Bstr(std::wstring(256, L'x'))).hr, DISP_E_EXCEPTION);
    EXPECT_EQ(TryPut(font.get(), kName, Bstr(L"")).hr, DISP_E_EXCEPTION);
    EXPECT_EQ(Text(Get(one.get(), kName)), L"Courier New");
    EXPECT_EQ(TryPut(font.get(), kSize, Bstr(L"big")).hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(TryPut(font.get(), kSize, I4(0)).hr, DISP_E_EXCEPTION);
}

TEST_F(object_model_test, number_formats_read_back_as_written) {
    SetValue(L"A1", Bstr(L"0.25"));
    EXPECT_EQ(FormatOf(L"A1"), L"General");
    Put(Cell(L"A1").get(), kNumberFormat, Bstr(L"0.0%"));
    EXPECT_EQ(FormatOf(L"A1"), L"0.0%");
    Put(Range(L"B1", L"B3").get(), kNumberFormat, Bstr(L"yyyy-mm-dd;@"));
    EXPECT_EQ(Text(Get(Range(L"B1", L"B3").get(), kNumberFormat)), L"yyyy-mm-dd;@");
    EXPECT_EQ(Get(Range(L"A1", L"B1").get(), kNumberFormat).vt, VT_NULL);
    // A number under a date format reads back as a date.
    SetValue(L"B1", R8(38383));
    EXPECT_EQ(ValueOf(L"B1").vt, VT_DATE);
}

TEST_F(object_model_test, a_list_of_areas_takes_a_number_format_and_nothing_else) {
    Obj areas = GetObj(sheet_.get(), kRange, {Bstr(L"B2,D4:E5,$A$9")});
    Put(areas.get(), kNumberFormat, Bstr(L"0.0%"));
    for (const wchar_t* name : {L"B2", L"D4", L"E4", L"D5", L"E5", L"A9"}) {
        EXPECT_EQ(FormatOf(name), L"0.0%") << Narrow(name);
    }
    for (const wchar_t* name : {L"A1", L"C3", L"B4", L"F5", L"A8", L"B9"}) {
        EXPECT_EQ(FormatOf(name), L"General") << Narrow(name);
    }
    // Only the number format is offered on several areas.
    EXPECT_EQ(TryGet(areas.get(), kValue).scode, kAppError);
    EXPECT_EQ(TryGet(areas.get(), kNumberFormat).scode, kAppError);
    EXPECT_EQ(TryPut(areas.get(), kValue, Bstr(L"x")).scode, kAppError);
    EXPECT_EQ(ValueOf(L"B2").vt, VT_EMPTY);
    // A bad name anywhere in the list, or a list longer than 255 characters,
    // names no range.
    EXPECT_EQ(TryGet(sheet_.get(), kRange, {Bstr(L"B2,,C3")}).scode, kAppError);
    EXPECT_EQ(TryGet(sheet_.get(), kRange, {Bstr(L"B2,C3,")}).scode, kAppError);
    EXPECT_EQ(TryGet(sheet_.get(), kRange, {Bstr(L"B2,ZZZZ1")}).scode, kAppError);
    std::wstring longList = L"A1";
    while (longList.size() <= 255) {
        longList += L",A1";
    }
    EXPECT_EQ(TryGet(sheet_.get(), kRange, {Bstr(longList)}).scode, kAppError);
}

TEST_F(object_model_test, unusable_number_formats_are_refused_and_change_nothing) {
    Put(Cell(L"A1").get(), kNumberFormat, Bstr(L"0.00"));
    for (const std::wstring& bad :
         {std::wstring(256, L'0'), std::wstring(L"\"abc"), std::wstring(L"[Red0.00"),
          std::wstring(L"0;0;0;0;0"), std::wstring(L"0.00\\"), std::wstring(L"0_")}) {
        CallResult r = TryPut(Cell(L"A1").get(), kNumberFormat, Bstr(bad));
        EXPECT_EQ(r.hr, DISP_E_EXCEPTION) << Narrow(bad);
        EXPECT_EQ(r.scode, kAppError);
        EXPECT_NE(r.description.find(L"NumberFormat"), std::wstring::npos) << Narrow(r.description);
        EXPECT_EQ(FormatOf(L"A1"), L"0.00");
    }
    // Quotes, brackets, escapes and padding may hold any character, and four
    // sections are allowed; the longest allowed code still saves as .xls.
    for (const std::wstring& good :
         {std::wstring(L"\"a;b[\" 0;[Red]-0;\"\\\";@"), std::wstring(L"0_);(0)"), std::wstring(L"\\;0* "),
          std::wstring(L"[$-409]d-mmm-yy"), std::wstring(255, L'0')}) {
        Put(Cell(L"A1").get(), kNumberFormat, Bstr(good));
        EXPECT_EQ(FormatOf(L"A1"), good);
    }
    SetValue(L"A1", R8(1));
    EXPECT_EQ(Save(dir_ / "long.xls").scode, S_OK) << Narrow(saveError_);
}

TEST_F(object_model_test, column_width_and_alignment) {
    Put(Cell(L"C1").get(), kColumnWidth, I4(20));
    EXPECT_EQ(WidthOf(L"C"), 20.0);
    EXPECT_EQ(WidthOf(L"D"), 8.43);
    EXPECT_EQ(TryPut(Cell(L"C1").get(), kColumnWidth, I4(300)).hr, DISP_E_EXCEPTION);
    EXPECT_EQ(WidthOf(L"C"), 20.0);
    Obj column = Range(L"B1", L"B5");
    Put(column.get(), kHorizontalAlignment, I4(kAlignLeft));
    EXPECT_EQ(Get(column.get(), kHorizontalAlignment).lVal, kAlignLeft);
    EXPECT_EQ(Get(Range(L"B1", L"B6").get(), kHorizontalAlignment).vt, VT_NULL);
    EXPECT_EQ(TryPut(column.get(), kHorizontalAlignment, I4(12345)).hr, DISP_E_EXCEPTION);
}

TEST_F(object_model_test, autofit_sizes_a_column_to_its_widest_displayed_text) {
    SetValue(L"A1", Bstr(L"short"));
    SetValue(L"A2", Bstr(L"a considerably longer piece of text"));
    SetValue(L"B1", Bstr(L"a considerably longer piece of text"));
    SetValue(L"C1", Bstr(L"1/31/2005"));
    Put(Cell(L"C1").get(), kNumberFormat, Bstr(L"dddd, mmmm dd, yyyy"));
    Put(GetObj(Cell(L"B1").get(), kFont).get(), kBold, I2(1));
    Put(Cell(L"E1").get(), kColumnWidth, I4(30));
    for (const wchar_t* col : {L"A1", L"B1", L"C1", L"E1"}) {
        Call(GetObj(Cell(col).get(), kEntireColumn).get(), kAutoFit);
    }
    const double a = WidthOf(L"A");
    // About 35 characters of Arial 10 at 7 pixels per digit width.
    EXPECT_GT(a, 25.0);
    EXPECT_LT(a, 40.0);
    EXPECT_GT(WidthOf(L"B"), a);  // bold is wider
    // The displayed date "Monday, January 31, 2005", not the typed text.
    EXPECT_GT(WidthOf(L"C"), 18.0);
    EXPECT_LT(WidthOf(L"C"), 28.0);
    EXPECT_EQ(WidthOf(L"E"), 8.43);  // nothing to show: the standard width
    // Only the text in the fitted column counts.
    SetValue(L"A2", Var());
    Call(GetObj(Cell(L"A1").get(), kEntireColumn).get(), kAutoFit);
    EXPECT_LT(WidthOf(L"A"), 8.0);
    // Fitting again after a font change or a column deletion measures anew.
    const double boldB = WidthOf(L"B");
    Put(GetObj(Cell(L"B1").get(), kFont).get(), kSize, I4(20));
    Call(GetObj(Cell(L"B1").get(), kEntireColumn).get(), kAutoFit);
    const double largeB = WidthOf(L"B");
    EXPECT_GT(largeB, boldB * 1.5);
    Call(GetObj(Cell(L"A1").get(), kEntireColumn).get(), kDelete);
    Call(GetObj(Cell(L"A1").get(), kEntireColumn).get(), kAutoFit);
    EXPECT_EQ(WidthOf(L"A"), largeB);
    Call(GetObj(Cell(L"B1").get(), kEntireColumn).get(), kAutoFit);
    EXPECT_GT(WidthOf(L"B"), 18.0);  // the date moved into B
}

TEST_F(object_model_test, select_makes_the_active_cell) {
    Call(Cell(L"C5").get(), kSelect);
    Obj active = GetObj(app_.get(), kActiveCell);
    EXPECT_EQ(Get(active.get(), kRow).lVal, 5);
    EXPECT_EQ(Get(active.get(), kColumn).lVal, 3);
}

TEST_F(object_model_test, save_as_writes_by_extension) {
    SetValue(L"A1", Bstr(L"hello"));
    const fs::path xls = dir_ / "out.xls";
    const fs::path xlsx = dir_ / "out.XLSX";
    EXPECT_EQ(Save(xls).scode, S_OK) << Narrow(saveError_);
    EXPECT_EQ(Save(xlsx).scode, S_OK) << Narrow(saveError_);
    auto magic = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::string head(4, '\0');
        in.read(head.data(), 4);
        return head;
    };
    EXPECT_EQ(magic(xls), std::string("\xD0\xCF\x11\xE0", 4));
    EXPECT_EQ(magic(xlsx), std::string("PK\x03\x04", 4));
}

TEST_F(object_model_test, save_failures_are_application_errors_and_write_nothing) {
    SetValue(L"A1", Bstr(L"x"));
    EXPECT_EQ(Save(dir_ / "missing-folder" / "out.xls").scode, DISP_E_EXCEPTION);
    EXPECT_FALSE(saveError_.empty());
    // Beyond the older format's 65,536 rows: refused, never cut short.
    SetValue(L"A70000", Bstr(L"too far"));
    const fs::path xls = dir_ / "big.xls";
    EXPECT_EQ(Save(xls).scode, DISP_E_EXCEPTION);
    EXPECT_NE(saveError_.find(L"65,536"), std::wstring::npos) << Narrow(saveError_);
    EXPECT_FALSE(fs::exists(xls));
    SetValue(L"A70000", Var());
    SetValue(L"IW1", Bstr(L"too wide"));
    EXPECT_EQ(Save(xls).scode, DISP_E_EXCEPTION);
    EXPECT_NE(saveError_.find(L"256"), std::wstring::npos);
    EXPECT_EQ(Save(dir_ / "big.xlsx").scode, S_OK) << Narrow(saveError_);
}

// A workbook built through the object model, saved in both formats and read
// back by independent readers: every value, format, font, width, alignment
// and the active cell the application held must be in the file.
TEST_F(object_model_test, saved_workbooks_read_back_as_the_application_held_them) {
    Put(Range(L"A1", L"E3").get(), kValue,
        Block({{Bstr(L"Item"), Bstr(L"Amount"), Bstr(L"Date"), Bstr(L"Time"), Bstr(L"Share")},
               {Bstr(L"drop me"), Var(), Var(), Var(), Var()},
               {Bstr(L"Widget"), Bstr(L"1,234.50"), Bstr(L"1/31/2005"), Bstr(L"10:30 PM"), Bstr(L"12.5%")}}));
    Call(GetObj(Cell(L"A2").get(), kEntireRow).get(), kDelete, {I4(kShiftUp)});
    SetValue(L"A3", R8(-2.25));
    Put(Cell(L"A3").get(), kNumberFormat, Bstr(L"0.00"));
    Put(Cell(L"C2").get(), kNumberFormat, Bstr(L"yyyy-mm-dd"));
    Obj header = GetObj(Range(L"A1", L"E1").get(), kFont);
    Put(header.get(), kName, Bstr(L"Courier New"));
    Put(header.get(), kSize, I4(12));
    Put(header.get(), kBold, I2(1));
    Put(header.get(), kItalic, I2(1));
    Put(header.get(), kUnderline, I2(2));
    Put(Range(L"B1", L"B2").get(), kHorizontalAlignment, I4(kAlignLeft));
    Put(Cell(L"D1").get(), kColumnWidth, I4(20));
    Call(GetObj(Cell(L"A1").get(), kEntireColumn).get(), kAutoFit);
    Call(Cell(L"B2").get(), kSelect);
    const double widthA = WidthOf(L"A");

    const fs::path xls = dir_ / "held.xls";
    const fs::path xlsx = dir_ / "held.xlsx";
    ASSERT_EQ(Save(xls).scode, S_OK) << Narrow(saveError_);
    ASSERT_EQ(Save(xlsx).scode, S_OK) << Narrow(saveError_);
    const std::string x = ReadBack("xls", xls);
    const std::string y = ReadBack("xlsx", xlsx);
    if (!skipReason_.empty()) {
        GTEST_SKIP() << skipReason_;
    }
    // The deleted row is gone, so the data row is row 2 in both files.
    for (const char* line : {
             "sheet 0 Sheet1 rows=3 cols=5",
             "cell 0 A1 text Item fmt=General ifmt=0 font=Courier New|240|b1|i1|u1|w700 align=0",
             "cell 0 B1 text Amount fmt=General ifmt=0 font=Courier New|240|b1|i1|u1|w700 align=1",
             "cell 0 E1 text Share fmt=General ifmt=0 font=Courier New|240|b1|i1|u1|w700 align=0",
             "cell 0 A2 text Widget fmt=General ifmt=0 font=Arial|200|b0|i0|u0|w400 align=0",
             "cell 0 B2 number 1234.5 fmt=#,##0.00 ifmt=4 font=Arial|200|b0|i0|u0|w400 align=1",
             "cell 0 C2 date 38383.0/(2005, 1, 31, 0, 0, 0) fmt=yyyy-mm-dd ifmt=164 "
             "font=Arial|200|b0|i0|u0|w400 "
             "align=0",
             "cell 0 D2 date 0.9375/(0, 0, 0, 22, 30, 0) fmt=h:mm AM/PM ifmt=18 font=Arial|200|b0|i0|u0|w400 "
             "align=0",
             "cell 0 E2 number 0.125 fmt=0.00% ifmt=10 font=Arial|200|b0|i0|u0|w400 align=0",
             "cell 0 A3 number -2.25 fmt=0.00 ifmt=2 font=Arial|200|b0|i0|u0|w400 align=0",
             "active 0 B2",
         }) {
        EXPECT_TRUE(HasLine(x, line)) << line << "\n" << x;
    }
    for (const char* line : {
             "sheet 0 Sheet1 rows=3 cols=5",
             "cell 0 A1 s Item fmt=General font=Courier New|12.0|b1|i1|usingle align=None date=0",
             "cell 0 B1 s Amount fmt=General font=Courier New|12.0|b1|i1|usingle align=left date=0",
             "cell 0 A2 s Widget fmt=General font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 B2 n 1234.5 fmt=#,##0.00 font=Arial|10.0|b0|i0|uNone align=left date=0",
             "cell 0 C2 d 2005-01-31 00:00:00 fmt=yyyy-mm-dd font=Arial|10.0|b0|i0|uNone align=None date=1",
             "cell 0 D2 d 22:30:00 fmt=h:mm AM/PM font=Arial|10.0|b0|i0|uNone align=None date=1",
             "cell 0 E2 n 0.125 fmt=0.00% font=Arial|10.0|b0|i0|uNone align=None date=0",
             "cell 0 A3 n -2.25 fmt=0.00 font=Arial|10.0|b0|i0|uNone align=None date=0",
             "active 0 B2",
         }) {
        EXPECT_TRUE(HasLine(y, line)) << line << "\n" << y;
    }
    // Files store widths with the cell padding; read back as the application
    // reads them (whole pixels of a 7-pixel digit), they are the widths held.
    auto heldWidth = [](const std::string& dump, const std::string& column, double unitsPerChar) {
        const std::string key = "width 0 " + column + " ";
        size_t at = dump.find(key);
        if (at == std::string::npos) {
            return -1.0;
        }
        const double stored = std::stod(dump.substr(at + key.size())) * unitsPerChar;
        const double pixels = std::floor((stored + std::floor(128.0 / 7)) / 256 * 7);
        return std::floor((pixels - 5) / 7 * 100 + 0.5) / 100;
    };
    EXPECT_DOUBLE_EQ(heldWidth(x, "A", 1), widthA);
    EXPECT_DOUBLE_EQ(heldWidth(y, "A", 256), widthA);
    EXPECT_DOUBLE_EQ(heldWidth(x, "D", 1), 20.0);
    EXPECT_DOUBLE_EQ(heldWidth(y, "D", 256), 20.0);
    EXPECT_EQ(x.find("width 0 B"), std::string::npos);  // never set: left at the standard width
}

TEST_F(object_model_test, save_as_never_replaces_a_read_only_file) {
    SetValue(L"A1", Bstr(L"new"));
    const fs::path out = dir_ / "kept.xls";
    std::ofstream(out) << "old";
    fs::permissions(out, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    // Refused even where the folder allows replacing it, and by the superuser.
    EXPECT_EQ(Save(out).scode, DISP_E_EXCEPTION);
    EXPECT_NE(saveError_.find(L"read-only"), std::wstring::npos) << Narrow(saveError_);
    EXPECT_EQ(fs::file_size(out), 3u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);  // no leftovers
    // Writable again, it is replaced whole.
    fs::permissions(out, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(Save(out).scode, S_OK) << Narrow(saveError_);
    EXPECT_GT(fs::file_size(out), 3u);
}

TEST_F(object_model_test, application_flags_and_quit) {
    Put(app_.get(), kDisplayAlerts, Bool(false));
    EXPECT_EQ(Get(app_.get(), kDisplayAlerts).boolVal, VARIANT_FALSE);
    Put(app_.get(), kVisible, Bool(true));
    Put(app_.get(), kUserControl, Bool(true));
    EXPECT_EQ(Get(app_.get(), kVisible).boolVal, VARIANT_TRUE);
    Call(app_.get(), kQuit);
    Obj books = GetObj(app_.get(), kWorkbooks);
    EXPECT_EQ(Get(books.get(), kCount).lVal, 0);
}

TEST_F(object_model_test, invoke_refuses_unknown_members_and_bad_calls) {
    EXPECT_EQ(TryGet(sheet_.get(), 0x7777).hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(TryPut(Cell(L"A1").get(), kCount, I4(3)).hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(TryGet(sheet_.get(), kRange, {Bstr(L"A1"), Bstr(L"A1"), Bstr(L"A1")}).hr, DISP_E_BADPARAMCOUNT);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    Var result;
    GUID other = IID_IDispatch;
    EXPECT_EQ(sheet_.get()->Invoke(kRows, other, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
}

// Hand-over: the viewer is a script that records what it was asked to open.
class hand_over_test : public object_model_test {
protected:
    void SetUp() override {
        object_model_test::SetUp();
        record_ = dir_ / "opened.txt";
        const fs::path script = dir_ / "viewer.sh";
        std::ofstream(script) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << record_.string() << ".tmp' && mv '"
                              << record_.string() << ".tmp' '" << record_.string() << "'\n";
        fs::permissions(script, fs::perms::owner_all);
        setenv("SHEETWISE_VIEWER", script.c_str(), 1);
        sw::ui::detail::SetInteractive(true);
    }
    void TearDown() override {
        unsetenv("SHEETWISE_VIEWER");
        sw::ui::detail::SetInteractive(false);
        object_model_test::TearDown();
    }
    // What the viewer opened, waiting a little for the detached process.
    std::string Opened() {
        for (int i = 0; i < 100 && !fs::exists(record_); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::ifstream in(record_);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void Release(bool visible) {
        if (visible) {
            Put(app_.get(), kVisible, Bool(true));
            Put(app_.get(), kUserControl, Bool(true));
        }
        sheet_.reset();
        app_.reset();
    }
    fs::path record_;
};

TEST_F(hand_over_test, saved_workbook_opens_in_the_viewer) {
    SetValue(L"A1", Bstr(L"x"));
    const fs::path out = dir_ / "report.xls";
    EXPECT_EQ(Save(out).scode, S_OK);
    Release(true);
    EXPECT_EQ(Opened(), out.string());
}

TEST_F(hand_over_test, unsaved_workbook_opens_as_a_temporary_copy) {
    SetValue(L"A1", Bstr(L"x"));
    Release(true);
    std::string opened = Opened();
    ASSERT_FALSE(opened.empty());
    EXPECT_TRUE(fs::exists(opened));
    EXPECT_EQ(fs::path(opened).extension(), ".xlsx");
    fs::remove_all(fs::path(opened).parent_path());
}

TEST_F(hand_over_test, nothing_opens_in_batch_mode) {
    sw::ui::detail::SetInteractive(false);
    Release(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(fs::exists(record_));
}

TEST_F(hand_over_test, nothing_opens_when_released_invisible) {
    Release(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(fs::exists(record_));
}

TEST_F(hand_over_test, nothing_opens_after_quit) {
    Put(app_.get(), kVisible, Bool(true));
    Put(app_.get(), kUserControl, Bool(true));
    Call(app_.get(), kQuit);
    Release(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(fs::exists(record_));
}

}  // namespace
}  // namespace calc
