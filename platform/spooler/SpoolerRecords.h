// The spooler's records in the machine's settings store: one key per
// driver, print processor, monitor and port list, under the paths the
// original spooler uses. Internal to the spooler layer.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sw::spooler::records {

inline constexpr const wchar_t* kDrivers =
    L"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3";
inline constexpr const wchar_t* kProcessors =
    L"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Print Processors";
inline constexpr const wchar_t* kMonitors = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";

std::wstring Join(const std::wstring& key, const std::wstring& name);

// Each returns the registry result (0 for success).
long SetText(const std::wstring& key, const std::wstring& value, const std::wstring& text);
std::optional<std::wstring> GetText(const std::wstring& key, const std::wstring& value);
bool KeyExists(const std::wstring& key);
// Names of the subkeys, and the REG_SZ values as name and text.
std::vector<std::wstring> SubKeys(const std::wstring& key);
std::vector<std::pair<std::wstring, std::wstring>> TextValues(const std::wstring& key);
long DeleteValue(const std::wstring& key, const std::wstring& value);
// Deletes a key with everything below it.
long DeleteTree(const std::wstring& key);

// A name found among names, compared without regard to case.
std::optional<std::wstring> FindName(const std::vector<std::wstring>& names, const std::wstring& name);
bool SameText(const std::wstring& a, const std::wstring& b);

}  // namespace sw::spooler::records
