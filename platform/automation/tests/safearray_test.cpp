#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/automation/Automation.h"
#include "platform/automation/tests/TestObjects.h"

namespace {

// A 2-D array of VARIANT, rows -1..1 and columns 5..8.
SAFEARRAY* MakeGrid() {
    SAFEARRAYBOUND bounds[2] = {{3, -1}, {4, 5}};
    return SafeArrayCreate(VT_VARIANT, 2, bounds);
}

}  // namespace

TEST(automation_test, safearray_two_dimensions_with_lower_bounds) {
    const long arrays = sw::automation::LiveSafeArrayCount();
    SAFEARRAY* psa = MakeGrid();
    ASSERT_NE(psa, nullptr);
    EXPECT_EQ(SafeArrayGetDim(psa), 2U);
    EXPECT_EQ(SafeArrayGetElemsize(psa), sizeof(VARIANT));
    LONG lo = 0;
    LONG hi = 0;
    EXPECT_EQ(SafeArrayGetLBound(psa, 1, &lo), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &hi), S_OK);
    EXPECT_EQ(lo, -1);
    EXPECT_EQ(hi, 1);
    EXPECT_EQ(SafeArrayGetLBound(psa, 2, &lo), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(psa, 2, &hi), S_OK);
    EXPECT_EQ(lo, 5);
    EXPECT_EQ(hi, 8);
    EXPECT_EQ(SafeArrayGetLBound(psa, 0, &lo), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetUBound(psa, 3, &hi), DISP_E_BADINDEX);
    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
    EXPECT_EQ(vt, VT_VARIANT);
    // As on Windows, the descriptor lists the last dimension first.
    EXPECT_EQ(psa->rgsabound[0].lLbound, 5);

    // Every element starts empty; each one holds its own value.
    for (LONG r = -1; r <= 1; ++r) {
        for (LONG c = 5; c <= 8; ++c) {
            LONG idx[2] = {r, c};
            VARIANT v;
            ASSERT_EQ(SafeArrayGetElement(psa, idx, &v), S_OK);
            EXPECT_EQ(v.vt, VT_EMPTY);
            v.vt = VT_I4;
            v.lVal = r * 100 + c;
            ASSERT_EQ(SafeArrayPutElement(psa, idx, &v), S_OK);
        }
    }
    for (LONG r = -1; r <= 1; ++r) {
        for (LONG c = 5; c <= 8; ++c) {
            LONG idx[2] = {r, c};
            VARIANT v;
            ASSERT_EQ(SafeArrayGetElement(psa, idx, &v), S_OK);
            EXPECT_EQ(v.lVal, r * 100 + c);
        }
    }
    // The first index varies fastest in memory.
    VARIANT* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, reinterpret_cast<void**>(&data)), S_OK);
    EXPECT_EQ(data[0].lVal, -100 + 5);
    EXPECT_EQ(data[1].lVal, 0 + 5);
    EXPECT_EQ(data[3].lVal, -100 + 6);
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    ASSERT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayUnlock(psa), E_UNEXPECTED);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(sw::automation::LiveSafeArrayCount(), arrays);
}

TEST(automation_test, safearray_rejects_indices_outside_each_bound) {
    SAFEARRAY* psa = MakeGrid();
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I2;
    const LONG bad[][2] = {{-2, 5}, {2, 5}, {0, 4}, {0, 9}};
    for (const auto& b : bad) {
        LONG idx[2] = {b[0], b[1]};
        EXPECT_EQ(SafeArrayPutElement(psa, idx, &v), DISP_E_BADINDEX);
        EXPECT_EQ(SafeArrayGetElement(psa, idx, &v), DISP_E_BADINDEX);
    }
    EXPECT_EQ(SafeArrayPutElement(nullptr, nullptr, &v), E_INVALIDARG);
    SafeArrayDestroy(psa);
}

TEST(automation_test, safearray_elements_are_copies) {
    const long strings = sw::automation::LiveBstrCount();
    int deleted = 0;
    auto* probe = new automation_test::Probe(&deleted);
    SAFEARRAY* psa = MakeGrid();
    {
        COleVariant text(L"cell");
        LONG idx[2] = {0, 6};
        ASSERT_EQ(SafeArrayPutElement(psa, idx, static_cast<VARIANT*>(&text)), S_OK);
        text = L"changed";
        COleVariant back;
        ASSERT_EQ(SafeArrayGetElement(psa, idx, static_cast<VARIANT*>(&back)), S_OK);
        EXPECT_EQ(std::wstring(back.bstrVal), L"cell");

        VARIANT object;
        VariantInit(&object);
        object.vt = VT_DISPATCH;
        object.pdispVal = probe;
        LONG idx2[2] = {1, 8};
        ASSERT_EQ(SafeArrayPutElement(psa, idx2, &object), S_OK);
        EXPECT_EQ(probe->RefCount(), 2U);
        // Overwriting an element releases what it held.
        ASSERT_EQ(SafeArrayPutElement(psa, idx, &object), S_OK);
        EXPECT_EQ(probe->RefCount(), 3U);

        SAFEARRAY* copy = nullptr;
        ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
        EXPECT_EQ(probe->RefCount(), 5U);
        EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
        EXPECT_EQ(probe->RefCount(), 3U);
    }
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(probe->RefCount(), 1U);
    probe->Release();
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);
}

TEST(automation_test, safearray_of_strings_and_numbers) {
    const long strings = sw::automation::LiveBstrCount();
    SAFEARRAY* names = SafeArrayCreateVector(VT_BSTR, 1, 2);
    ASSERT_NE(names, nullptr);
    BSTR mine = SysAllocString(L"mine");
    LONG i = 2;
    ASSERT_EQ(SafeArrayPutElement(names, &i, mine), S_OK);
    SysFreeString(mine);  // the array holds its own copy
    BSTR got = nullptr;
    ASSERT_EQ(SafeArrayGetElement(names, &i, &got), S_OK);
    EXPECT_EQ(std::wstring(got), L"mine");
    SysFreeString(got);
    i = 3;
    EXPECT_EQ(SafeArrayGetElement(names, &i, &got), DISP_E_BADINDEX);
    SafeArrayDestroy(names);
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);

    SAFEARRAYBOUND b{4, 0};
    SAFEARRAY* numbers = SafeArrayCreate(VT_R8, 1, &b);
    double value = 2.5;
    i = 3;
    ASSERT_EQ(SafeArrayPutElement(numbers, &i, &value), S_OK);
    SAFEARRAYBOUND grown{6, 0};
    ASSERT_EQ(SafeArrayRedim(numbers, &grown), S_OK);
    LONG hi = 0;
    SafeArrayGetUBound(numbers, 1, &hi);
    EXPECT_EQ(hi, 5);
    double back = 0;
    ASSERT_EQ(SafeArrayGetElement(numbers, &i, &back), S_OK);
    EXPECT_EQ(back, 2.5);
    SafeArrayDestroy(numbers);

    EXPECT_EQ(SafeArrayCreate(VT_EMPTY, 1, &b), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 0, &b), nullptr);
}

TEST(automation_test, ole_safe_array_block_of_variants) {
    const long arrays = sw::automation::LiveSafeArrayCount();
    const long strings = sw::automation::LiveBstrCount();
    auto* block = new COleSafeArray;
    DWORD elements[2] = {3, 2};
    block->Create(VT_VARIANT, 2, elements);
    EXPECT_EQ(block->vt, VT_ARRAY | VT_VARIANT);
    EXPECT_EQ(block->GetDim(), 2U);
    long idx[2] = {2, 1};
    COleVariant text(L"last");
    block->PutElement(idx, static_cast<VARIANT*>(&text));
    long lo = -1;
    long hi = -1;
    block->GetLBound(1, &lo);
    block->GetUBound(1, &hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 2);

    // Handed on as a VARIANT and copied, as a value block travels.
    COleSafeArray copy(*static_cast<VARIANT*>(block));
    COleVariant back;
    copy.GetElement(idx, static_cast<VARIANT*>(&back));
    EXPECT_EQ(std::wstring(back.bstrVal), L"last");
    long outside[2] = {3, 0};
    try {
        copy.GetElement(outside, static_cast<VARIANT*>(&back));
        FAIL() << "no failure object";
    } catch (COleException* e) {
        EXPECT_EQ(e->m_sc, DISP_E_BADINDEX);
        e->Delete();
    }
    block->Clear();
    delete block;
    copy.Clear();
    back.Clear();
    text.Clear();
    EXPECT_EQ(sw::automation::LiveSafeArrayCount(), arrays);
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);

    try {
        COleVariant notArray(5);
        COleSafeArray wrong(*static_cast<VARIANT*>(&notArray));
        FAIL() << "no failure object";
    } catch (COleException* e) {
        EXPECT_EQ(e->m_sc, DISP_E_TYPEMISMATCH);
        e->Delete();
    }
}

TEST(automation_test, nested_arrays_copy_and_clear_deeply) {
    const long arrays = sw::automation::LiveSafeArrayCount();
    const long strings = sw::automation::LiveBstrCount();
    {
        COleSafeArray inner;
        inner.CreateOneDim(VT_VARIANT, 2);
        COleVariant word(L"deep");
        long i = 1;
        inner.PutElement(&i, static_cast<VARIANT*>(&word));
        COleSafeArray outer;
        outer.CreateOneDim(VT_VARIANT, 1);
        i = 0;
        outer.PutElement(&i, static_cast<VARIANT*>(&inner));
        COleVariant copy(*static_cast<VARIANT*>(&outer));
        inner.Clear();
        outer.Clear();
        // The copy still reaches the string through its own arrays.
        COleVariant element;
        LONG zero = 0;
        ASSERT_EQ(SafeArrayGetElement(copy.parray, &zero, static_cast<VARIANT*>(&element)), S_OK);
        ASSERT_EQ(element.vt, VT_ARRAY | VT_VARIANT);
        COleVariant leaf;
        LONG one = 1;
        ASSERT_EQ(SafeArrayGetElement(element.parray, &one, static_cast<VARIANT*>(&leaf)), S_OK);
        EXPECT_EQ(std::wstring(leaf.bstrVal), L"deep");
    }
    EXPECT_EQ(sw::automation::LiveSafeArrayCount(), arrays);
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);
}

TEST(automation_test, safearray_destroy_releases_only_what_elements_own) {
    const long strings = sw::automation::LiveBstrCount();
    const long arrays = sw::automation::LiveSafeArrayCount();
    int deleted = 0;
    auto* probe = new automation_test::Probe(&deleted);
    BSTR callers = SysAllocString(L"the caller's");
    SAFEARRAY* psa = MakeGrid();
    VARIANT* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, reinterpret_cast<void**>(&data)), S_OK);
    data[0].vt = VT_BSTR;
    data[0].bstrVal = SysAllocString(L"owned");
    data[1].vt = VT_BSTR | VT_BYREF;
    data[1].pbstrVal = &callers;
    data[2].vt = VT_DISPATCH;
    data[2].pdispVal = probe;
    probe->AddRef();
    data[3].vt = VT_ARRAY | VT_VARIANT;
    data[3].parray = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    VARIANT nested;
    VariantInit(&nested);
    nested.vt = VT_BSTR;
    nested.bstrVal = SysAllocString(L"nested");
    LONG one = 1;
    ASSERT_EQ(SafeArrayPutElement(data[3].parray, &one, &nested), S_OK);
    VariantClear(&nested);
    data[4].vt = VT_R8;
    data[4].dblVal = 1.5;
    data[5].vt = VT_DISPATCH | VT_BYREF;
    data[5].ppdispVal = reinterpret_cast<IDispatch**>(&probe);
    ASSERT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(probe->RefCount(), 2U);

    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    // By-reference elements point at what the caller still holds.
    EXPECT_EQ(std::wstring(callers), L"the caller's");
    EXPECT_EQ(probe->RefCount(), 1U);
    EXPECT_EQ(deleted, 0);
    SysFreeString(callers);
    probe->Release();
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);
    EXPECT_EQ(sw::automation::LiveSafeArrayCount(), arrays);
}

// Texts are freed in batches: a count that is not a multiple of a batch,
// among numbers, nested arrays and null texts, and an array of strings with
// null ones, must all be freed once.
TEST(automation_test, safearray_destroy_frees_every_text_of_a_large_array) {
    const long strings = sw::automation::LiveBstrCount();
    const long arrays = sw::automation::LiveSafeArrayCount();
    SAFEARRAYBOUND bounds[2] = {{700, 0}, {3, 0}};
    SAFEARRAY* psa = SafeArrayCreate(VT_VARIANT, 2, bounds);
    ASSERT_NE(psa, nullptr);
    VARIANT* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, reinterpret_cast<void**>(&data)), S_OK);
    for (std::size_t i = 0; i < 2100; ++i) {
        if (i % 7 == 3) {
            data[i].vt = VT_R8;
            data[i].dblVal = 2.5;
        } else if (i % 97 == 0) {
            data[i].vt = VT_ARRAY | VT_VARIANT;
            data[i].parray = SafeArrayCreateVector(VT_VARIANT, 0, 1);
            LONG zero = 0;
            VARIANT text;
            text.vt = VT_BSTR;
            text.bstrVal = SysAllocString(L"nested");
            ASSERT_EQ(SafeArrayPutElement(data[i].parray, &zero, &text), S_OK);
            SysFreeString(text.bstrVal);
        } else if (i % 11 == 5) {
            data[i].vt = VT_BSTR;
            data[i].bstrVal = nullptr;
        } else if (i % 2 == 0) {
            data[i].vt = VT_BSTR;
            data[i].bstrVal = SysAllocString(std::wstring(i % 300, L'x').c_str());
        }
    }
    ASSERT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_GT(sw::automation::LiveBstrCount(), strings + 800);  // over a batch
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);

    SAFEARRAY* texts = SafeArrayCreateVector(VT_BSTR, 0, 1030);
    BSTR* each = nullptr;
    ASSERT_EQ(SafeArrayAccessData(texts, reinterpret_cast<void**>(&each)), S_OK);
    for (std::size_t i = 0; i < 1030; i += 2) {
        each[i] = SysAllocString(L"text");
    }
    ASSERT_EQ(SafeArrayUnaccessData(texts), S_OK);
    EXPECT_EQ(SafeArrayDestroy(texts), S_OK);
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);
    EXPECT_EQ(sw::automation::LiveSafeArrayCount(), arrays);
}

TEST(automation_test, safearray_of_report_size_behaves_as_a_small_one) {
    const long strings = sw::automation::LiveBstrCount();
    const long arrays = sw::automation::LiveSafeArrayCount();
    // 5.7 MB of elements, past the size at which the data gets its own mapping.
    constexpr LONG kRows = 3001;
    constexpr LONG kColumns = 119;
    SAFEARRAYBOUND bounds[2] = {{kRows, 1}, {kColumns, 1}};
    SAFEARRAY* psa = SafeArrayCreate(VT_VARIANT, 2, bounds);
    ASSERT_NE(psa, nullptr);
    const auto* bytes = static_cast<const unsigned char*>(psa->pvData);
    const std::size_t size = std::size_t{kRows} * kColumns * sizeof(VARIANT);
    std::size_t nonZero = 0;
    for (std::size_t i = 0; i < size; ++i) {
        nonZero += bytes[i] != 0;
    }
    EXPECT_EQ(nonZero, 0U);

    // Texts down the diagonal and in the far corner, numbers beside them.
    for (LONG r = 1; r <= kRows; r += 7) {
        const LONG c = 1 + (r % kColumns);
        LONG idx[2] = {r, c};
        COleVariant text(std::to_wstring(r).c_str());
        ASSERT_EQ(SafeArrayPutElement(psa, idx, static_cast<VARIANT*>(&text)), S_OK);
    }
    LONG corner[2] = {kRows, kColumns};
    COleVariant last(L"corner");
    ASSERT_EQ(SafeArrayPutElement(psa, corner, static_cast<VARIANT*>(&last)), S_OK);
    void* element = nullptr;
    ASSERT_EQ(SafeArrayPtrOfIndex(psa, corner, &element), S_OK);
    EXPECT_EQ(element, static_cast<void*>(static_cast<VARIANT*>(psa->pvData) + (size / sizeof(VARIANT) - 1)));
    LONG outside[2] = {kRows + 1, 1};
    EXPECT_EQ(SafeArrayPtrOfIndex(psa, outside, &element), DISP_E_BADINDEX);
    LONG outsideColumn[2] = {1, 0};
    EXPECT_EQ(SafeArrayPtrOfIndex(psa, outsideColumn, &element), DISP_E_BADINDEX);

    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    VARIANT back;
    ASSERT_EQ(SafeArrayGetElement(copy, corner, &back), S_OK);
    EXPECT_EQ(std::wstring(back.bstrVal), L"corner");
    VariantClear(&back);
    LONG diagonal[2] = {2997, 1 + (2997 % kColumns)};
    ASSERT_EQ(SafeArrayGetElement(copy, diagonal, &back), S_OK);
    EXPECT_EQ(std::wstring(back.bstrVal), L"2997");
    VariantClear(&back);

    // Shrinking below the size and growing past it again keeps the columns kept.
    SAFEARRAYBOUND fewer{2, 1};
    ASSERT_EQ(SafeArrayRedim(copy, &fewer), S_OK);
    SAFEARRAYBOUND more{kColumns, 1};
    ASSERT_EQ(SafeArrayRedim(copy, &more), S_OK);
    LONG kept[2] = {1, 2};
    ASSERT_EQ(SafeArrayGetElement(copy, kept, &back), S_OK);
    EXPECT_EQ(std::wstring(back.bstrVal), L"1");
    VariantClear(&back);
    ASSERT_EQ(SafeArrayGetElement(copy, corner, &back), S_OK);
    EXPECT_EQ(back.vt, VT_EMPTY);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    last.Clear();
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);
    EXPECT_EQ(sw::automation::LiveSafeArrayCount(), arrays);
}

// A large block is mostly pages nobody wrote. They are told apart from the
// written ones exactly, so skipping them (when destroying, or by a reader)
// never skips an element that holds something.
TEST(automation_test, safearray_knows_the_pages_no_one_wrote) {
    sw::automation::ReleaseKeptArrayMemory();  // a fresh mapping, not one kept from another test
    const long strings = sw::automation::LiveBstrCount();
    SAFEARRAYBOUND small[2] = {{10, 0}, {10, 0}};
    SAFEARRAY* tiny = SafeArrayCreate(VT_VARIANT, 2, small);
    EXPECT_FALSE(sw::automation::FindUntouchedPages(tiny).known());
    EXPECT_FALSE(sw::automation::FindUntouchedPages(nullptr).known());
    SafeArrayDestroy(tiny);

    constexpr LONG kRows = 20000;
    constexpr LONG kColumns = 40;
    SAFEARRAYBOUND bounds[2] = {{kRows, 0}, {kColumns, 0}};
    SAFEARRAY* psa = SafeArrayCreate(VT_VARIANT, 2, bounds);
    ASSERT_NE(psa, nullptr);
    sw::automation::UntouchedPages fresh = sw::automation::FindUntouchedPages(psa);
    if (!fresh.known()) {
        GTEST_SKIP() << "the page table cannot be read here";
    }
    const std::size_t pages = fresh.untouched.size();
    EXPECT_EQ(std::count(fresh.untouched.begin(), fresh.untouched.end(), true), static_cast<long>(pages));

    // Texts in every fourth column, and on both sides of one page boundary
    // in a column otherwise left alone.
    const std::size_t perPage = fresh.pageBytes / sizeof(VARIANT);
    std::vector<std::size_t> written;
    auto put = [&](LONG r, LONG c) {
        LONG idx[2] = {r, c};
        COleVariant text(std::to_wstring(r * 100 + c).c_str());
        ASSERT_EQ(SafeArrayPutElement(psa, idx, static_cast<VARIANT*>(&text)), S_OK);
        written.push_back(static_cast<std::size_t>(r) + static_cast<std::size_t>(c) * kRows);
    };
    for (LONG c = 0; c < kColumns; c += 4) {
        for (LONG r = c; r < kRows; r += 97) {
            put(r, c);
        }
    }
    const std::size_t boundary = (std::size_t{3} * kRows / perPage + 1) * perPage;  // in column 3
    put(static_cast<LONG>(boundary - 1 - 3 * kRows), 3);
    put(static_cast<LONG>(boundary - 3 * kRows), 3);

    sw::automation::UntouchedPages now = sw::automation::FindUntouchedPages(psa);
    ASSERT_TRUE(now.known());
    for (std::size_t element : written) {
        EXPECT_FALSE(now.at(element * sizeof(VARIANT))) << "element " << element;
    }
    const auto untouched = std::count(now.untouched.begin(), now.untouched.end(), true);
    EXPECT_GT(untouched, static_cast<long>(pages / 2));
    EXPECT_LT(untouched, static_cast<long>(pages));
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings + static_cast<long>(written.size()));
    // Destroying frees every text, those beside the unwritten pages too.
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);
}

// A large array's memory serves the next one of its size once, and that one
// starts out as zeros however the first was written: as a fresh array, every
// variant empty and nothing owned twice.
TEST(automation_test, safearray_memory_kept_for_the_next_block_starts_zeroed) {
    sw::automation::ReleaseKeptArrayMemory();
    const long strings = sw::automation::LiveBstrCount();
    constexpr LONG kRows = 30000;
    constexpr LONG kColumns = 30;
    SAFEARRAYBOUND bounds[2] = {{kRows, 1}, {kColumns, 1}};
    SAFEARRAY* first = SafeArrayCreate(VT_VARIANT, 2, bounds);
    ASSERT_NE(first, nullptr);
    if (!sw::automation::FindUntouchedPages(first).known()) {
        SafeArrayDestroy(first);
        GTEST_SKIP() << "the page table cannot be read here";
    }
    for (LONG c = 1; c <= kColumns; c += 3) {
        for (LONG r = c; r <= kRows; r += 41) {
            LONG idx[2] = {r, c};
            COleVariant value = r % 2 == 0 ? COleVariant(L"text") : COleVariant(static_cast<double>(r));
            ASSERT_EQ(SafeArrayPutElement(first, idx, static_cast<VARIANT*>(&value)), S_OK);
        }
    }
    void* const firstData = first->pvData;
    ASSERT_EQ(SafeArrayDestroy(first), S_OK);
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);

    SAFEARRAY* second = SafeArrayCreate(VT_VARIANT, 2, bounds);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->pvData, firstData);
    const auto* bytes = static_cast<const unsigned char*>(second->pvData);
    const std::size_t size = static_cast<std::size_t>(kRows) * kColumns * sizeof(VARIANT);
    EXPECT_EQ(std::count(bytes, bytes + size, 0), static_cast<long>(size));
    // Written again and freed, the memory that was handed on is given back.
    {
        LONG idx[2] = {7, 7};
        COleVariant text(L"again");
        ASSERT_EQ(SafeArrayPutElement(second, idx, static_cast<VARIANT*>(&text)), S_OK);
    }
    ASSERT_EQ(SafeArrayDestroy(second), S_OK);
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);

    // An array of texts, released run by run, reads as zeros next time.
    SAFEARRAYBOUND texts[1] = {{static_cast<ULONG>(size / sizeof(BSTR)), 0}};
    SAFEARRAY* named = SafeArrayCreate(VT_BSTR, 1, texts);
    ASSERT_NE(named, nullptr);
    for (LONG i = 0; i < static_cast<LONG>(texts[0].cElements); i += 509) {
        BSTR text = SysAllocString((L"name " + std::to_wstring(i)).c_str());
        EXPECT_EQ(SafeArrayPutElement(named, &i, text), S_OK);
        SysFreeString(text);
    }
    ASSERT_EQ(SafeArrayDestroy(named), S_OK);
    EXPECT_EQ(sw::automation::LiveBstrCount(), strings);
    SAFEARRAY* unnamed = SafeArrayCreate(VT_BSTR, 1, texts);
    ASSERT_NE(unnamed, nullptr);
    const auto* names = static_cast<const unsigned char*>(unnamed->pvData);
    EXPECT_EQ(std::count(names, names + size, 0), static_cast<long>(size));
    ASSERT_EQ(SafeArrayDestroy(unnamed), S_OK);

    // An array of plain bytes, every one written, reads as zeros next time.
    SAFEARRAYBOUND flat[1] = {{static_cast<ULONG>(size), 0}};
    SAFEARRAY* raw = SafeArrayCreate(VT_UI1, 1, flat);
    ASSERT_NE(raw, nullptr);
    std::memset(raw->pvData, 0xA5, size);
    ASSERT_EQ(SafeArrayDestroy(raw), S_OK);
    SAFEARRAY* again = SafeArrayCreate(VT_UI1, 1, flat);
    ASSERT_NE(again, nullptr);
    const auto* fresh = static_cast<const unsigned char*>(again->pvData);
    EXPECT_EQ(std::count(fresh, fresh + size, 0), static_cast<long>(size));
    ASSERT_EQ(SafeArrayDestroy(again), S_OK);
    sw::automation::ReleaseKeptArrayMemory();
}

// A thread that freed a small array keeps its block until it ends, then
// gives it back; arrays on other threads are not disturbed.
TEST(automation_test, safearray_small_blocks_kept_per_thread_go_with_the_thread) {
    const long arrays = sw::automation::LiveSafeArrayCount();
    auto rowRound = [] {
        SAFEARRAYBOUND row[2] = {{1, 1}, {120, 1}};
        for (int round = 0; round < 3; ++round) {
            SAFEARRAY* psa = SafeArrayCreate(VT_VARIANT, 2, row);
            ASSERT_NE(psa, nullptr);
            const auto* bytes = static_cast<const unsigned char*>(psa->pvData);
            EXPECT_EQ(std::count(bytes, bytes + 120 * sizeof(VARIANT), 0),
                      static_cast<long>(120 * sizeof(VARIANT)));
            LONG idx[2] = {1, 7 + round};
            COleVariant value(static_cast<double>(round + 1));
            ASSERT_EQ(SafeArrayPutElement(psa, idx, static_cast<VARIANT*>(&value)), S_OK);
            ASSERT_EQ(SafeArrayDestroy(psa), S_OK);
        }
    };
    std::thread first(rowRound);
    first.join();
    std::thread second(rowRound);
    rowRound();
    second.join();
    EXPECT_EQ(sw::automation::LiveSafeArrayCount(), arrays);
}
