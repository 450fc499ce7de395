#include "platform/ui/MessageBox.h"

#include "platform/base/TextCodec.h"
#include "platform/ui/Interactive.h"

#include <clocale>
#include <cstdio>
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

// The caption MessageBox gives the box it shows; the handler's signature
// stays that of AfxMessageBox, which every program installs.
thread_local const wchar_t* t_caption = nullptr;

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
    std::fprintf(stderr, "%s: %s\n", IconWord(type), sw::base::ToLocale(text).c_str());
    std::fflush(stderr);
    return SafeDefaultAnswer(type);
}

std::wstring MessageBoxCaption() {
    return t_caption != nullptr ? std::wstring(t_caption) : AppTitle();
}

void ConsoleDetail(const std::wstring& detail) {
    {
        const std::lock_guard<std::mutex> lock(HandlerMutex());
        if (CurrentHandler() || detail.empty()) {
            return;
        }
    }
    std::fprintf(stderr, "Sheetwise: %s\n", sw::base::ToLocale(detail).c_str());
    std::fflush(stderr);
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

int MessageBox(HWND /*hWnd*/, LPCTSTR lpText, LPCTSTR lpCaption, UINT uType) {
    const wchar_t* previous = std::exchange(sw::ui::t_caption, lpCaption);
    const int answer = AfxMessageBox(lpText != nullptr ? lpText : L"", uType);
    sw::ui::t_caption = previous;
    return answer;
}
