#include <gtest/gtest.h>

#include "lib/registry/KVTRegistryValue.h"
#include "lib/tests/test_support.h"

namespace {

using kvtest::StoreTest;
const std::wstring kRoot = L"SOFTWARE\\Sheetwise\\Sheetwise Print Driver";

class registry_value_test : public StoreTest {};

TEST_F(registry_value_test, path_splits_at_the_last_backslash) {
    const KVTRegistryValue mru((kRoot + L"\\" + L"MRUProfileName").c_str(), HKEY_CURRENT_USER);
    EXPECT_EQ(mru.GetRegKeyName(), kRoot);
    EXPECT_EQ(mru.GetRegValName(), L"MRUProfileName");

    const KVTRegistryValue bare(L"Name", HKEY_CURRENT_USER);
    EXPECT_EQ(bare.GetRegKeyName(), L"");
    EXPECT_EQ(bare.GetRegValName(), L"Name");

    const KVTRegistryValue keyOnly((kRoot + L"\\").c_str(), HKEY_CURRENT_USER);
    EXPECT_EQ(keyOnly.GetRegKeyName(), kRoot);
    EXPECT_EQ(keyOnly.GetRegValName(), L"");
}

TEST_F(registry_value_test, does_key_exist_tests_the_value_not_the_key) {
    kvtest::WriteDword(kRoot, L"Other", 1);
    EXPECT_FALSE(KVTRegistryValue((kRoot + L"\\Missing").c_str(), HKEY_CURRENT_USER).DoesKeyExist());
    EXPECT_TRUE(KVTRegistryValue((kRoot + L"\\Other").c_str(), HKEY_CURRENT_USER).DoesKeyExist());
    EXPECT_FALSE(KVTRegistryValue(L"SOFTWARE\\Nowhere\\Other", HKEY_CURRENT_USER).DoesKeyExist());
}

TEST_F(registry_value_test, text_is_stored_as_reg_sz_with_its_terminator) {
    KVTRegistry_string<CString> value((kRoot + L"\\Text").c_str(), HKEY_CURRENT_USER);
    value.Set(L"abc");
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_TRUE(kvtest::QueryValue(kRoot, L"Text", &type, &size));
    EXPECT_EQ(type, REG_SZ);
    // Four characters, terminator included (8 bytes as UTF-16 in the file).
    EXPECT_EQ(size, 4 * sizeof(wchar_t));
    EXPECT_EQ(value.Get(), L"abc");
}

TEST_F(registry_value_test, absent_values_read_as_empty_or_zero) {
    EXPECT_EQ(KVTRegistry_string<CString>((kRoot + L"\\None").c_str(), HKEY_CURRENT_USER).Get(), L"");
    EXPECT_EQ(KVTRegistry_int<int>((kRoot + L"\\None").c_str(), HKEY_CURRENT_USER).Get(), 0);
    EXPECT_EQ(KVTRegistry_BOOL<int>((kRoot + L"\\None").c_str(), HKEY_CURRENT_USER).Get(), 0);
}

TEST_F(registry_value_test, integers_keep_their_sign) {
    KVTRegistry_int<int> value((kRoot + L"\\Int").c_str(), HKEY_CURRENT_USER);
    value.Set(-7);
    EXPECT_EQ(value.Get(), -7);
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_TRUE(kvtest::QueryValue(kRoot, L"Int", &type, &size));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, 4U);
}

TEST_F(registry_value_test, flags_read_as_zero_or_one_but_are_written_as_given) {
    KVTRegistry_BOOL<int> flag((kRoot + L"\\Flag").c_str(), HKEY_CURRENT_USER);
    flag.Set(5);
    EXPECT_EQ(kvtest::ReadDword(kRoot, L"Flag"), 5U);
    EXPECT_EQ(flag.Get(), 1);
}

TEST_F(registry_value_test, text_without_terminator_or_of_another_type_reads_terminated) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, kRoot.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    const wchar_t raw[3] = {L'x', L'y', L'z'};
    ASSERT_EQ(RegSetValueExW(key, L"Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), sizeof(raw)),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(KVTRegistry_string<CString>((kRoot + L"\\Raw").c_str(), HKEY_CURRENT_USER).Get(), L"xyz");

    kvtest::WriteDword(kRoot, L"Number", 0x41);
    const CString asText =
        KVTRegistry_string<CString>((kRoot + L"\\Number").c_str(), HKEY_CURRENT_USER).Get();
    EXPECT_LE(asText.size(), 1U);
}

TEST_F(registry_value_test, remove_value_and_single_key_delete) {
    kvtest::WriteDword(kRoot + L"\\Parent", L"V", 1);
    kvtest::WriteDword(kRoot + L"\\Parent\\Child", L"V", 1);

    KVTRegistryValue((kRoot + L"\\Parent\\V").c_str(), HKEY_CURRENT_USER).RemoveRegValue();
    EXPECT_FALSE(kvtest::ValueExists(kRoot + L"\\Parent", L"V"));

    // A key that still has subkeys stays in place.
    KVTRegistryValue((kRoot + L"\\Parent\\").c_str(), HKEY_CURRENT_USER).RemoveRegKey();
    EXPECT_TRUE(kvtest::KeyExists(kRoot + L"\\Parent"));
    KVTRegistryValue((kRoot + L"\\Parent\\Child\\").c_str(), HKEY_CURRENT_USER).RemoveRegKey();
    KVTRegistryValue((kRoot + L"\\Parent\\").c_str(), HKEY_CURRENT_USER).RemoveRegKey();
    EXPECT_FALSE(kvtest::KeyExists(kRoot + L"\\Parent"));
}

}  // namespace
