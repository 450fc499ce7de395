#include "platform/ui/MessageBox.h"

#include <climits>
#include <clocale>
#include <cstdio>
#include <cwchar>
#include <mutex>
#include <utility>

namespace sw::ui {
namespace {

std::mutex& HandlerMutex() {
    static std::mutex mutex;
    return mutex;
}

MessageBoxHandler& CurrentHandler() {
    static MessageBoxHandler handler;
    return handler;
}

const char* IconWord(UINT type) {
    switch (type & MB_ICONMASK) {
        case MB_ICONSTOP:
            return "Error";
        case MB_ICONQUESTION:
            return "Question";
        case MB_ICONEXCLAMATION:
            return "Warning";
        default:
            return "Sheetwise";
    }
}

// Wide text to the locale's narrow encoding, replacing what it cannot hold.
std::string Narrow(const std::wstring& text) {
    std::string out;
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (wchar_t ch : text) {
        const size_t n = std::wcrtomb(buffer, ch, &state);
        if (n == static_cast<size_t>(-1)) {
            out += '?';
            state = std::mbstate_t{};
        } else {
            out.append(buffer, n);
        }
    }
    return out;
}

}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    const std::lock_guard<std::mutex> lock(HandlerMutex());
    return std::exchange(CurrentHandler(), std::move(handler));
}

int SafeDefaultAnswer(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
        case MB_YESNOCANCEL:
        case MB_RETRYCANCEL:
            return IDCANCEL;
        case MB_YESNO:
            return IDNO;
        case MB_ABORTRETRYIGNORE:
            return IDABORT;
        default:
            return IDOK;
    }
}

int ConsoleMessageBox(const std::wstring& text, UINT type) {
    std::fprintf(stderr, "%s: %s\n", IconWord(type), Narrow(text).c_str());
    std::fflush(stderr);
    return SafeDefaultAnswer(type);
}

}  // namespace sw::ui

int AfxMessageBox(const std::wstring& text, UINT type) {
    sw::ui::MessageBoxHandler handler;
    {
        const std::lock_guard<std::mutex> lock(sw::ui::HandlerMutex());
        handler = sw::ui::CurrentHandler();
    }
    try {
        if (handler) {
            return handler(text, type);
        }
        return sw::ui::ConsoleMessageBox(text, type);
    } catch (...) {
        return sw::ui::SafeDefaultAnswer(type);
    }
}
