#include "tools/reg/RegTool.h"
#include "platform/base/TextCodec.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "platform/registry/Registry.h"

namespace sw::regtool {

namespace {

// A failure to report: one line on standard error, exit status 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

const char kUsage[] =
    "usage: SheetwiseReg query KEY [/v NAME | /ve] | add KEY [/v NAME | /ve] [/t REG_SZ|REG_DWORD] [/d DATA] "
    "[/f]"
    " | delete KEY [/v NAME | /ve | /va] [/f] | export KEY FILE [/y]";

std::wstring Upper(std::wstring text) {
    for (auto& c : text) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
    }
    return text;
}

bool Same(const std::wstring& a, const wchar_t* b) {
    return Upper(a) == Upper(b);
}

std::string ErrorText(LONG rc) {
    std::string text;
    switch (rc) {
        case ERROR_FILE_NOT_FOUND:
            return "The system was unable to find the specified registry key or value.";
        case ERROR_ACCESS_DENIED:
            text = "Access is denied.";
            break;
        case ERROR_BADDB:
            text = "The configuration registry database is corrupt.";
            break;
        case ERROR_BUSY:
            text = "The settings store is busy.";
            break;
        case ERROR_KEY_DELETED:
            return "The key was deleted while it was in use.";
        default:
            text = "The operation failed (error " + std::to_string(rc) + ").";
            break;
    }
    std::string detail = sw::registry::LastErrorText();
    if (!detail.empty()) {
        text += " (" + detail + ")";
    }
    return text;
}

void Check(LONG rc) {
    if (rc != ERROR_SUCCESS) {
        throw Failure(ErrorText(rc));
    }
}

// An open key, closed on every path out.
class Key {
public:
    Key() = default;
    ~Key() {
        if (key_) {
            RegCloseKey(key_);
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

struct KeyPath {
    HKEY root = nullptr;
    std::wstring rootName;  // HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE
    std::wstring sub;       // without a trailing separator; empty for the root itself

    std::wstring Full() const { return sub.empty() ? rootName : rootName + L"\\" + sub; }
};

KeyPath ParseKey(const std::wstring& text) {
    auto sep = text.find(L'\\');
    std::wstring root = text.substr(0, sep);
    KeyPath path;
    if (Same(root, L"HKCU") || Same(root, L"HKEY_CURRENT_USER")) {
        path.root = HKEY_CURRENT_USER;
        path.rootName = L"HKEY_CURRENT_USER";
    } else if (Same(root, L"HKLM") || Same(root, L"HKEY_LOCAL_MACHINE")) {
        path.root = HKEY_LOCAL_MACHINE;
        path.rootName = L"HKEY_LOCAL_MACHINE";
    } else {
        throw Failure("Invalid key name: " + Narrow(text) + " (it must begin with HKCU\\ or HKLM\\)");
    }
    if (sep != std::wstring::npos) {
        path.sub = text.substr(sep + 1);
        while (!path.sub.empty() && path.sub.back() == L'\\') {
            path.sub.pop_back();
        }
        if (!path.sub.empty() &&
            (path.sub.front() == L'\\' || path.sub.find(L"\\\\") != std::wstring::npos)) {
            throw Failure("Invalid key name: " + Narrow(text));
        }
    }
    return path;
}

struct Options {
    std::optional<std::wstring> value;  // /v NAME, or "" for /ve
    bool allValues = false;             // /va
    std::optional<std::wstring> type;   // /t
    std::optional<std::wstring> data;   // /d
};

Options ParseOptions(const std::vector<std::wstring>& args, std::size_t from, const std::wstring& allowed) {
    Options options;
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (arg.size() < 2 || (arg[0] != L'/' && arg[0] != L'-')) {
            throw Failure("Invalid syntax: unexpected argument " + Narrow(arg) + ". " + kUsage);
        }
        std::wstring name = Upper(arg.substr(1));
        auto takes = [&](const wchar_t* what) {
            if (allowed.find(L' ' + name + L' ') == std::wstring::npos) {
                throw Failure("Invalid syntax: " + Narrow(arg) + " does not apply here. " + kUsage);
            }
            if (what) {
                if (i + 1 >= args.size()) {
                    throw Failure("Invalid syntax: " + Narrow(arg) + " needs " + Narrow(what) + ".");
                }
                return args[++i];
            }
            return std::wstring();
        };
        auto once = [&](auto& slot, const std::wstring& value) {
            if (slot) {
                throw Failure("Invalid syntax: " + Narrow(arg) + " given twice.");
            }
            slot = value;
        };
        if (name == L"V") {
            std::wstring value = takes(L"a value name");
            if (value.empty()) {
                throw Failure("Invalid syntax: /v needs a value name (use /ve for the default value).");
            }
            once(options.value, value);
        } else if (name == L"VE") {
            takes(nullptr);
            once(options.value, L"");
        } else if (name == L"VA") {
            takes(nullptr);
            options.allValues = true;
        } else if (name == L"T") {
            once(options.type, takes(L"a type"));
        } else if (name == L"D") {
            once(options.data, takes(L"data"));
        } else if (name == L"F" || name == L"Y") {
            takes(nullptr);  // nothing is ever asked, so forcing changes nothing
        } else {
            throw Failure("Invalid syntax: unknown option " + Narrow(arg) + ". " + kUsage);
        }
    }
    if (options.allValues && options.value) {
        throw Failure("Invalid syntax: /va cannot be combined with /v or /ve.");
    }
    return options;
}

// ---- Reading a key ----------------------------------------------------------

struct Value {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

std::vector<Value> ReadValues(HKEY key) {
    DWORD count = 0, maxName = 0, maxData = 0;
    Check(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &maxName,
                           &maxData, nullptr, nullptr));
    std::vector<Value> values;
    std::vector<wchar_t> name(maxName + 1);
    std::vector<BYTE> data(maxData);
    for (DWORD i = 0;; ++i) {
        DWORD chars = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        Value value;
        LONG rc = RegEnumValueW(key, i, name.data(), &chars, nullptr, &value.type, data.data(), &size);
        if (rc == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (rc == ERROR_MORE_DATA) {
            // Grew since the count was taken: retry this index with room to spare.
            name.resize(name.size() * 2 + 256);
            data.resize(std::max<std::size_t>(data.size() * 2, size));
            --i;
            continue;
        }
        Check(rc);
        value.name.assign(name.data(), chars);
        value.data.assign(data.begin(), data.begin() + size);
        values.push_back(std::move(value));
    }
    return values;
}

std::vector<std::wstring> ReadSubkeys(HKEY key) {
    std::vector<std::wstring> names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD chars = 256;
        LONG rc = RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) {
            break;
        }
        Check(rc);
        names.emplace_back(name, chars);
    }
    return names;
}

std::wstring TextOf(const Value& value) {
    std::wstring text(value.data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), value.data.data(), text.size() * sizeof(wchar_t));
    return text;
}

std::string TypeName(DWORD type) {
    switch (type) {
        case REG_NONE:
            return "REG_NONE";
        case REG_SZ:
            return "REG_SZ";
        case REG_EXPAND_SZ:
            return "REG_EXPAND_SZ";
        case REG_BINARY:
            return "REG_BINARY";
        case REG_DWORD:
            return "REG_DWORD";
        case REG_DWORD_BIG_ENDIAN:
            return "REG_DWORD_BIG_ENDIAN";
        case REG_LINK:
            return "REG_LINK";
        case REG_MULTI_SZ:
            return "REG_MULTI_SZ";
        case REG_QWORD:
            return "REG_QWORD";
        default:
            return "REG_UNKNOWN(" + std::to_string(type) + ")";
    }
}

std::string Hex(const std::vector<BYTE>& bytes, const char* separator, bool upper) {
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, upper ? "%02X" : "%02x", bytes[i]);
        if (i) {
            out += separator;
        }
        out += buf;
    }
    return out;
}

std::uint64_t LittleEndian(const std::vector<BYTE>& bytes) {
    std::uint64_t v = 0;
    for (std::size_t i = bytes.size(); i-- > 0;) {
        v = (v << 8) | bytes[i];
    }
    return v;
}

// Data as the reg tool shows it.
std::string Shown(const Value& value) {
    char buf[32];
    switch (value.type) {
        case REG_SZ:
        case REG_EXPAND_SZ: {
            std::wstring text = TextOf(value);
            return Narrow(text.substr(0, text.find(L'\0')));
        }
        case REG_MULTI_SZ: {
            std::wstring text = TextOf(value);
            while (!text.empty() && text.back() == L'\0') {
                text.pop_back();
            }
            std::string out;
            for (wchar_t c : text) {
                out += c == L'\0' ? std::string("\\0") : Narrow(std::wstring(1, c));
            }
            return out;
        }
        case REG_DWORD:
        case REG_QWORD:
            if (value.data.size() == (value.type == REG_DWORD ? 4U : 8U)) {
                std::snprintf(buf, sizeof buf, "0x%llx",
                              static_cast<unsigned long long>(LittleEndian(value.data)));
                return buf;
            }
            return Hex(value.data, "", true);
        default:
            return Hex(value.data, "", true);
    }
}

std::string ValueLine(const Value& value) {
    std::string name = value.name.empty() ? "(Default)" : Narrow(value.name);
    return "    " + name + "    " + TypeName(value.type) + "    " + Shown(value) + "\n";
}

void OpenExisting(const KeyPath& path, REGSAM sam, Key& key) {
    Check(RegOpenKeyExW(path.root, path.sub.c_str(), 0, sam, key.out()));
}

// ---- Commands ---------------------------------------------------------------

void Query(const KeyPath& path, const Options& options, std::FILE* out) {
    if (options.type || options.data || options.allValues) {
        throw Failure(std::string("Invalid syntax: query takes only /v or /ve. ") + kUsage);
    }
    Key key;
    OpenExisting(path, KEY_READ, key);
    std::string text = "\n" + Narrow(path.Full()) + "\n";
    if (options.value) {
        Value value;
        value.name = *options.value;
        DWORD size = 0;
        Check(RegQueryValueExW(key.get(), value.name.c_str(), nullptr, &value.type, nullptr, &size));
        value.data.resize(size);
        Check(
            RegQueryValueExW(key.get(), value.name.c_str(), nullptr, &value.type, value.data.data(), &size));
        value.data.resize(size);
        text += ValueLine(value) + "\n";
    } else {
        for (const auto& value : ReadValues(key.get())) {
            text += ValueLine(value);
        }
        text += "\n";
        for (const auto& sub : ReadSubkeys(key.get())) {
            text += Narrow(path.Full() + L"\\" + sub) + "\n";
        }
    }
    std::fputs(text.c_str(), out);
}

DWORD ParseDword(const std::wstring& data) {
    std::string text = Narrow(data);
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    std::string digits = hex ? text.substr(2) : text;
    std::uint64_t value = 0;
    bool ok = !digits.empty() && digits.size() <= 20;
    for (char c : digits) {
        int d = (c >= '0' && c <= '9')        ? c - '0'
                : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                              : -1;
        if (d < 0) {
            ok = false;
            break;
        }
        value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(d);
        if (value > 0xFFFFFFFFULL) {
            ok = false;
            break;
        }
    }
    if (!ok) {
        throw Failure("Invalid DWORD data: \"" + text + "\" (give 0 to 4294967295, or 0x0 to 0xffffffff).");
    }
    return static_cast<DWORD>(value);
}

void Add(const KeyPath& path, const Options& options, std::FILE* out) {
    if (options.allValues) {
        throw Failure(std::string("Invalid syntax: add does not take /va. ") + kUsage);
    }
    DWORD type = REG_SZ;
    if (options.type) {
        if (Same(*options.type, L"REG_SZ")) {
            type = REG_SZ;
        } else if (Same(*options.type, L"REG_DWORD")) {
            type = REG_DWORD;
        } else {
            throw Failure("Invalid type: " + Narrow(*options.type) + " (REG_SZ or REG_DWORD).");
        }
    }
    if (!options.value && (options.type || options.data)) {
        throw Failure("Invalid syntax: /t and /d need /v NAME or /ve.");
    }
    // Check the data before anything is written.
    std::wstring text = options.data.value_or(L"");
    DWORD number = type == REG_DWORD ? (options.data ? ParseDword(text) : 0) : 0;

    Key key;
    Check(RegCreateKeyExW(path.root, path.sub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                          nullptr, key.out(), nullptr));
    if (options.value) {
        if (type == REG_DWORD) {
            Check(RegSetValueExW(key.get(), options.value->c_str(), 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&number), sizeof number));
        } else {
            Check(RegSetValueExW(key.get(), options.value->c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
        }
    }
    std::fputs("The operation completed successfully.\n", out);
}

// Deeper than any store written through the registry calls gets; a store
// edited by hand into a loop must not run the recursion out of stack.
constexpr int kMaxDepth = 512;

void CheckDepth(int depth) {
    if (depth > kMaxDepth) {
        throw Failure("Keys are nested more than " + std::to_string(kMaxDepth) +
                      " levels deep; the store is damaged.");
    }
}

// Deletes `name` below `parent` with everything under it, deepest first.
void DeleteTree(HKEY parent, const std::wstring& name, int depth = 0) {
    CheckDepth(depth);
    {
        Key key;
        Check(RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ, key.out()));
        for (const auto& sub : ReadSubkeys(key.get())) {
            DeleteTree(key.get(), sub, depth + 1);
        }
    }
    Check(RegDeleteKeyW(parent, name.c_str()));
}

void Delete(const KeyPath& path, const Options& options, std::FILE* out) {
    if (options.type || options.data) {
        throw Failure(std::string("Invalid syntax: delete does not take /t or /d. ") + kUsage);
    }
    if (options.value || options.allValues) {
        Key key;
        OpenExisting(path, KEY_READ | KEY_SET_VALUE, key);
        if (options.value) {
            Check(RegDeleteValueW(key.get(), options.value->c_str()));
        } else {
            sw::registry::Transaction scope(path.root);
            Check(scope.Status());
            for (const auto& value : ReadValues(key.get())) {
                Check(RegDeleteValueW(key.get(), value.name.c_str()));
            }
            Check(scope.Commit());
        }
    } else {
        if (path.sub.empty()) {
            throw Failure("Invalid key name: a root key cannot be deleted.");
        }
        {
            Key exists;  // a missing key is reported as missing, and creates no store
            OpenExisting(path, KEY_READ, exists);
        }
        // The whole tree goes, or nothing does.
        sw::registry::Transaction scope(path.root);
        Check(scope.Status());
        DeleteTree(path.root, path.sub);
        Check(scope.Commit());
    }
    std::fputs("The operation completed successfully.\n", out);
}

std::string Utf16Hex(const std::wstring& text) {
    std::vector<BYTE> bytes;
    auto unit = [&bytes](std::uint32_t u) {
        bytes.push_back(static_cast<BYTE>(u & 0xFF));
        bytes.push_back(static_cast<BYTE>(u >> 8));
    };
    for (wchar_t w : text) {
        auto c = static_cast<std::uint32_t>(w);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            unit(0xD800 | (c >> 10));
            unit(0xDC00 | (c & 0x3FF));
        } else {
            unit(c > 0x10FFFF ? 0xFFFD : c);
        }
    }
    return Hex(bytes, ",", false);
}

std::string Quoted(const std::wstring& text) {
    std::string out = "\"";
    for (char c : Narrow(text)) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

// One value in the import-file syntax. Text that a quoted string cannot carry
// exactly (line breaks, inner NULs, no terminator) is written as hex.
std::string ExportLine(const Value& value) {
    std::string line = value.name.empty() ? "@" : Quoted(value.name);
    line += "=";
    switch (value.type) {
        case REG_SZ: {
            std::wstring text = TextOf(value);
            bool clean = !text.empty() && text.back() == L'\0' &&
                         text.find_first_of(std::wstring(L"\r\n\0", 3)) == text.size() - 1;
            return line + (clean ? Quoted(text.substr(0, text.size() - 1)) : "hex(1):" + Utf16Hex(text));
        }
        case REG_DWORD:
            if (value.data.size() == 4) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(LittleEndian(value.data)));
                return line + buf;
            }
            return line + "hex(4):" + Hex(value.data, ",", false);
        case REG_BINARY:
            return line + "hex:" + Hex(value.data, ",", false);
        case REG_EXPAND_SZ:
        case REG_MULTI_SZ: {
            char buf[16];
            std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(value.type));
            return line + buf + Utf16Hex(TextOf(value));
        }
        default: {
            char buf[16];
            std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(value.type));
            return line + buf + Hex(value.data, ",", false);
        }
    }
}

void ExportKey(HKEY key, const std::wstring& fullPath, std::string& text, int depth = 0) {
    CheckDepth(depth);
    text += "[" + Narrow(fullPath) + "]\r\n";
    for (const auto& value : ReadValues(key)) {
        text += ExportLine(value) + "\r\n";
    }
    text += "\r\n";
    for (const auto& sub : ReadSubkeys(key)) {
        Key child;
        Check(RegOpenKeyExW(key, sub.c_str(), 0, KEY_READ, child.out()));
        std::wstring childPath = fullPath;
        childPath.append(L"\\").append(sub);
        ExportKey(child.get(), childPath, text, depth + 1);
    }
}

void WriteFileWhole(const std::string& path, const std::string& text) {
    // A new file beside the old one, renamed over it: a failed export leaves
    // any earlier file as it was.
    std::string temp = path + ".tmp-" + std::to_string(getpid());
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file) {
        throw Failure("Cannot write " + path + ": " + std::strerror(errno));
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    ok = std::fflush(file) == 0 && ok;
    ok = fsync(fileno(file)) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        int err = errno;
        std::remove(temp.c_str());
        throw Failure("Cannot write " + path + ": " + std::strerror(err));
    }
}

void Export(const KeyPath& path, const std::wstring& file, const Options& options, std::FILE* out) {
    if (options.value || options.allValues || options.type || options.data) {
        throw Failure(std::string("Invalid syntax: export takes KEY FILE [/y]. ") + kUsage);
    }
    Key key;
    OpenExisting(path, KEY_READ, key);
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    ExportKey(key.get(), path.Full(), text);
    WriteFileWhole(Narrow(file), text);
    std::fputs("The operation completed successfully.\n", out);
}

}  // namespace

std::wstring Widen(const std::string& bytes) {
    return sw::base::FromUtf8OrCp1252(bytes);
}

std::string Narrow(const std::wstring& text) {
    return sw::base::ToUtf8(text);
}

int Run(const std::vector<std::string>& rawArgs, std::FILE* out, std::FILE* err) {
    try {
        std::vector<std::wstring> args;
        for (const auto& arg : rawArgs) {
            args.push_back(Widen(arg));
        }
        if (args.size() == 1 && (args[0] == L"/?" || args[0] == L"-h" || args[0] == L"--help")) {
            std::fprintf(out, "%s\n", kUsage);
            return 0;
        }
        if (args.size() < 2) {
            throw Failure(std::string("Invalid syntax. ") + kUsage);
        }
        const std::wstring& verb = args[0];
        KeyPath path = ParseKey(args[1]);
        if (Same(verb, L"query")) {
            Query(path, ParseOptions(args, 2, L" V VE "), out);
        } else if (Same(verb, L"add")) {
            Add(path, ParseOptions(args, 2, L" V VE T D F "), out);
        } else if (Same(verb, L"delete")) {
            Delete(path, ParseOptions(args, 2, L" V VE VA F "), out);
        } else if (Same(verb, L"export")) {
            if (args.size() < 3 || args[2].empty() || Same(args[2], L"/y") || Same(args[2], L"-y")) {
                throw Failure("Invalid syntax: export needs a file name. " + std::string(kUsage));
            }
            Export(path, args[2], ParseOptions(args, 3, L" Y "), out);
        } else {
            throw Failure("Invalid syntax: unknown operation " + Narrow(verb) + ". " + kUsage);
        }
        return 0;
    } catch (const Failure& failure) {
        std::fprintf(err, "ERROR: %s\n", failure.what());
    } catch (const std::exception& e) {
        std::fprintf(err, "ERROR: %s\n", e.what());
    }
    return 1;
}

}  // namespace sw::regtool
