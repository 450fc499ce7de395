#include "platform/ui/Interactive.h"

#include <atomic>
#include <mutex>

namespace sw::ui {
namespace {

std::atomic<bool> g_interactive{false};

std::mutex& TitleMutex() {
    static std::mutex mutex;
    return mutex;
}

std::wstring& Title() {
    static std::wstring title = L"Sheetwise";
    return title;
}

}  // namespace

bool IsInteractive() {
    return g_interactive.load();
}

const std::wstring& AppTitle() {
    const std::lock_guard<std::mutex> lock(TitleMutex());
    return Title();
}

void SetAppTitle(const std::wstring& title) {
    const std::lock_guard<std::mutex> lock(TitleMutex());
    Title() = title;
}

namespace detail {
void SetInteractive(bool interactive) {
    g_interactive.store(interactive);
}
}  // namespace detail

}  // namespace sw::ui

const wchar_t* AfxGetAppName() {
    return sw::ui::AppTitle().c_str();
}
