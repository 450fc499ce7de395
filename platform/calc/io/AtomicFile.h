// Writing a file so that readers see either the old file or the complete new one.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace calc::io {

// Creates a fresh, uniquely named file beside `path` (same folder, so the final
// rename stays on one file system). Returns its name, or "" with *error set.
std::string CreateSiblingTempFile(const std::string& path, std::string* error);

// Moves a finished temporary file over `path`; on failure removes the temporary
// file and leaves `path` as it was.
bool CommitTempFile(const std::string& tempPath, const std::string& path, std::string* error);

// Opens a sibling temporary file, lets `fill` write into it (buffered), flushes it to
// disk and renames it over `path`. When `fill` returns false (with *error set) or any
// write fails, the temporary file is removed and `path` is untouched.
bool WriteFileAtomically(const std::string& path, const std::function<bool(std::FILE*, std::string*)>& fill,
                         std::string* error);

}  // namespace calc::io
