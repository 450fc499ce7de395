// Starting Qt once per program, the message pump and the wait cursor.
#include "platform/ui/UserInterface.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QLoggingCategory>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/ui/Interactive.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/qt/Session.h"

namespace sw::ui {
namespace {

std::unique_ptr<QApplication> g_application;
QApplication* g_leftAtExit = nullptr;
bool g_decided = false;
int g_waitCursors = 0;

// Qt's argument list must outlive the application object.
int g_argc = 1;
char g_programName[] = "sheetwise";
char* g_argv[] = {g_programName, nullptr};

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

bool XServerAnswers() {
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screen);
    const bool ok = connection != nullptr && xcb_connection_has_error(connection) == 0;
    if (connection != nullptr) {
        xcb_disconnect(connection);
    }
    return ok;
}

bool WaylandPluginInstalled() {
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
    return !platforms.entryList({QStringLiteral("libqwayland*")}, QDir::Files).isEmpty();
}

// Which Qt platform can show this program's windows, empty when none can.
// Qt ends the process when its platform fails to start, so a named display
// that does not answer means no windows rather than a crash.
std::string ChoosePlatform() {
    const std::string requested = Env("QT_QPA_PLATFORM");
    if (!requested.empty()) {
        const std::string first = requested.substr(0, requested.find_first_of(":;"));
        if (first == "xcb") {
            return !Env("DISPLAY").empty() && XServerAnswers() ? requested : std::string();
        }
        if (first == "wayland") {
            return !Env("WAYLAND_DISPLAY").empty() ? requested : std::string();
        }
        return requested;  // offscreen, vnc, eglfs ...: no display server needed
    }
    if (!Env("DISPLAY").empty() && XServerAnswers()) {
        return "xcb";
    }
    if (!Env("WAYLAND_DISPLAY").empty() && WaylandPluginInstalled()) {
        return "wayland";
    }
    return {};
}

void QuietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    // Platform plugins report what they cannot do (window hints, sizes);
    // nothing of that concerns the user.
    if (type == QtDebugMsg || type == QtInfoMsg ||
        (type == QtWarningMsg && context.category != nullptr &&
         QLatin1String(context.category).startsWith(QLatin1String("qt.")))) {
        return;
    }
    if (type == QtWarningMsg && (message.contains(QLatin1String("does not support")) ||
                                 message.startsWith(QLatin1String("QStandardPaths:")))) {
        return;
    }
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

}  // namespace

bool StartUserInterface(const std::wstring& appTitle, bool bBatch) {
    SetAppTitle(appTitle);
    if (g_decided) {
        return IsInteractive();
    }
    g_decided = true;
    if (bBatch) {
        return false;
    }
    const std::string platform = ChoosePlatform();
    if (platform.empty()) {
        return false;
    }
    qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform));
    qInstallMessageHandler(QuietQtMessages);
    g_application = std::make_unique<QApplication>(g_argc, g_argv);
    QApplication::setApplicationName(QString::fromStdWString(appTitle));
    QApplication::setDesktopFileName(QStringLiteral("sheetwise-profile-editor"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icon/128.svg")));
    detail::SetInteractive(true);
    sw::ui::SetMessageBoxHandler(qt::ShowMessageBox);
    qt::StartScriptedUser();
    // Past the end of main Qt can no longer close (its thread storage is
    // gone): a program that did not call EndUserInterface leaves the
    // application to the operating system rather than crash on the way out.
    std::atexit([] { g_leftAtExit = g_application.release(); });
    return true;
}

void EndUserInterface() {
    if (!g_application) {
        return;
    }
    qt::StopScriptedUser();
    sw::ui::SetMessageBoxHandler({});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    detail::SetInteractive(false);
    g_application.reset();
}

void PumpWaitingMessages() {
    if (!IsInteractive()) {
        return;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace sw::ui

BOOL AfxPumpMessage() {
    if (!sw::ui::IsInteractive()) {
        return FALSE;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return TRUE;
}

void AfxBeginWaitCursor() {
    if (!sw::ui::IsInteractive()) {
        return;
    }
    ++sw::ui::g_waitCursors;
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void AfxEndWaitCursor() {
    if (!sw::ui::IsInteractive() || sw::ui::g_waitCursors == 0) {
        return;
    }
    --sw::ui::g_waitCursors;
    QApplication::restoreOverrideCursor();
}
