#include "lib/tests/test_support.h"

#include <stdlib.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace kvtest {

void StoreTest::SetUp() {
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    std::string pattern = (std::filesystem::temp_directory_path() / "kvlib-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    std::filesystem::create_directories(dir_ + "/store");
    sw::registry::CloseAllConnections();
    ASSERT_EQ(setenv("SHEETWISE_REGISTRY_DIR", (dir_ + "/store").c_str(), 1), 0);
}

void StoreTest::TearDown() {
    sw::registry::CloseAllConnections();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

std::wstring StoreTest::WPath(const std::string& name) const {
    return Widen(Path(name));
}

bool KeyExists(const std::wstring& key, HKEY root) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(handle);
    return true;
}

bool QueryValue(const std::wstring& key, const std::wstring& value, DWORD* type, DWORD* size, HKEY root) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return false;
    }
    const bool found = RegQueryValueExW(handle, value.c_str(), nullptr, type, nullptr, size) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return found;
}

bool ValueExists(const std::wstring& key, const std::wstring& value, HKEY root) {
    DWORD type = 0;
    DWORD size = 0;
    return QueryValue(key, value, &type, &size, root);
}

DWORD ReadDword(const std::wstring& key, const std::wstring& value, HKEY root) {
    HKEY handle = nullptr;
    DWORD data = 0xDEADBEEF;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) == ERROR_SUCCESS) {
        DWORD size = sizeof(data);
        RegQueryValueExW(handle, value.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size);
        RegCloseKey(handle);
    }
    return data;
}

std::wstring ReadText(const std::wstring& key, const std::wstring& value, HKEY root) {
    HKEY handle = nullptr;
    std::wstring text;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) == ERROR_SUCCESS) {
        DWORD size = 0;
        if (RegQueryValueExW(handle, value.c_str(), nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
            std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
            RegQueryValueExW(handle, value.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                             &size);
            text = buffer.data();
        }
        RegCloseKey(handle);
    }
    return text;
}

void WriteDword(const std::wstring& key, const std::wstring& value, DWORD data, HKEY root) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(handle, value.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                             sizeof(data)),
              ERROR_SUCCESS);
    RegCloseKey(handle);
}

void WriteText(const std::wstring& key, const std::wstring& value, const std::wstring& data, HKEY root) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(handle, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                             static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(handle);
}

std::vector<std::wstring> SubKeys(const std::wstring& key, HKEY root) {
    std::vector<std::wstring> names;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return names;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256] = {};
        DWORD length = 256;
        if (RegEnumKeyExW(handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name);
    }
    RegCloseKey(handle);
    return names;
}

std::wstring ProfileKey(long index) {
    return L"SOFTWARE\\Sheetwise\\Sheetwise Print Driver\\Excel\\" + std::to_wstring(index);
}

void WriteFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::wstring Widen(const std::string& text) {
    std::wstring out(text.size() + 1, L'\0');
    const std::size_t n = std::mbstowcs(out.data(), text.c_str(), out.size());
    out.resize(n == static_cast<std::size_t>(-1) ? 0 : n);
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace kvtest
