// A fresh, private store folder for every test.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/registry/Registry.h"

class RegistryFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/registry_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        setenv("SHEETWISE_REGISTRY_DIR", dir_.c_str(), 1);
        sw::registry::CloseAllConnections();
    }
    void TearDown() override {
        sw::registry::CloseAllConnections();
        unsetenv("SHEETWISE_REGISTRY_DIR");
        std::error_code ignored;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string UserFile() const { return dir_ + "/user.db"; }
    std::string MachineFile() const { return dir_ + "/machine.db"; }

    static std::string ReadAll(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void WriteAll(const std::string& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    }

    static HKEY Create(HKEY root, const wchar_t* path, REGSAM sam = KEY_ALL_ACCESS) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, sam, nullptr, &key, nullptr), ERROR_SUCCESS)
            << path;
        return key;
    }
    static LONG SetString(HKEY key, const wchar_t* name, const std::wstring& text) {
        return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    static LONG SetDword(HKEY key, const wchar_t* name, DWORD value) {
        return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    // The text of a string value, or a description of the failure.
    static std::wstring GetString(HKEY key, const wchar_t* name) {
        DWORD type = 0;
        DWORD size = 0;
        LONG rc = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
        if (rc != ERROR_SUCCESS) {
            return L"<error " + std::to_wstring(rc) + L">";
        }
        std::wstring text(size / sizeof(wchar_t), L'\0');
        rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size);
        if (rc != ERROR_SUCCESS) {
            return L"<error " + std::to_wstring(rc) + L">";
        }
        while (!text.empty() && text.back() == L'\0') {
            text.pop_back();
        }
        return text;
    }
    static LONG GetDword(HKEY key, const wchar_t* name, DWORD& value) {
        DWORD size = sizeof value;
        return RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    }

    std::string dir_;
};
