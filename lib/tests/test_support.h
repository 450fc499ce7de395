// Shared fixture and helpers of the library's tests: every test gets a fresh
// settings store of its own and a UTF-8 narrow encoding, so nothing depends on
// the developer's machine.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry/Registry.h"

namespace kvtest {

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // A path inside this test's own temporary folder.
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    std::wstring WPath(const std::string& name) const;

    std::string dir_;
};

bool KeyExists(const std::wstring& key, HKEY root = HKEY_CURRENT_USER);
bool ValueExists(const std::wstring& key, const std::wstring& value, HKEY root = HKEY_CURRENT_USER);
// Type and size of a stored value; false when absent.
bool QueryValue(const std::wstring& key, const std::wstring& value, DWORD* type, DWORD* size,
                HKEY root = HKEY_CURRENT_USER);
DWORD ReadDword(const std::wstring& key, const std::wstring& value, HKEY root = HKEY_CURRENT_USER);
std::wstring ReadText(const std::wstring& key, const std::wstring& value, HKEY root = HKEY_CURRENT_USER);
void WriteDword(const std::wstring& key, const std::wstring& value, DWORD data,
                HKEY root = HKEY_CURRENT_USER);
void WriteText(const std::wstring& key, const std::wstring& value, const std::wstring& data,
               HKEY root = HKEY_CURRENT_USER);
// Names of the direct subkeys of `key`.
std::vector<std::wstring> SubKeys(const std::wstring& key, HKEY root = HKEY_CURRENT_USER);

// The profile key "SOFTWARE\Sheetwise\Sheetwise Print Driver\Excel\<index>".
std::wstring ProfileKey(long index);

void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
std::wstring Widen(const std::string& text);

std::vector<std::string> Lines(const std::string& text);

}  // namespace kvtest
