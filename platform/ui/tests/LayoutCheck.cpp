#include "platform/ui/tests/LayoutCheck.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTextDocument>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/qt/Window.h"
#include "platform/ui/tests/UiDriver.h"

namespace sw::ui::testing {
namespace {

QString Plain(QString text) {
    text.remove(QLatin1Char('&'));
    return text;
}

std::string Name(const QWidget* widget) {
    const QString text = Plain(sw::ui::qt::WidgetText(widget));
    return widget->metaObject()->className() + std::string(" '") + Narrow(text) + "'";
}

// Room the text of a control needs beside its frame.
int TextRoom(const QWidget* widget) {
    if (qobject_cast<const QPushButton*>(widget) != nullptr) {
        const auto* base = sw::ui::qt::Base(const_cast<QWidget*>(widget));
        const bool menuButton = base != nullptr && (base->info.style & BS_TYPEMASK) == BS_OWNERDRAW;
        return widget->width() - (menuButton ? 20 : 0) -
               2 * widget->style()->pixelMetric(QStyle::PM_ButtonMargin);
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
        return group->width() - 2 * group->fontMetrics().averageCharWidth();
    }
    return widget->contentsRect().width();
}

}  // namespace

std::vector<std::string> LayoutProblems(QWidget* window) {
    std::vector<std::string> problems;
    std::vector<QWidget*> shown;
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && sw::ui::qt::Base(child) != nullptr) {
            shown.push_back(child);
        }
    }
    for (QWidget* child : shown) {
        const QRect box = child->geometry();
        if (!window->rect().contains(box)) {
            problems.push_back(Name(child) + " lies outside the window");
        }
        const QString text = Plain(sw::ui::qt::WidgetText(child));
        const QFontMetrics metrics = child->fontMetrics();
        const auto* label = qobject_cast<const QLabel*>(child);
        const bool wraps = label != nullptr && label->wordWrap();
        if (!text.isEmpty() && qobject_cast<QLineEdit*>(child) == nullptr &&
            qobject_cast<QComboBox*>(child) == nullptr && qobject_cast<QTextEdit*>(child) == nullptr) {
            const int needed =
                wraps ? metrics.boundingRect(QRect(0, 0, TextRoom(child), 10000), Qt::TextWordWrap, text)
                            .height()
                      : metrics.horizontalAdvance(text);
            if ((wraps ? child->height() : TextRoom(child)) < needed || child->height() < metrics.height()) {
                problems.push_back(Name(child) + " cuts its text off");
            }
        }
        if (const auto* textBox = qobject_cast<const QTextEdit*>(child)) {
            // Read in full without scrolling.
            if (textBox->document()->size().height() > textBox->viewport()->height() ||
                textBox->document()->size().width() > textBox->viewport()->width()) {
                problems.push_back(Name(child) + " hides part of its text");
            }
        }
        const int frame = child->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
        if ((qobject_cast<QLineEdit*>(child) != nullptr || qobject_cast<QComboBox*>(child) != nullptr) &&
            child->height() < metrics.height() + 2 * frame) {
            problems.push_back(Name(child) + " is too low for its text");
        }
        if (label != nullptr && label->buddy() != nullptr && !label->text().contains(QLatin1Char('&'))) {
            problems.push_back(Name(child) + " names a control but has no mnemonic");
        }
    }
    for (size_t i = 0; i < shown.size(); ++i) {
        for (size_t j = i + 1; j < shown.size(); ++j) {
            const QRect a = shown[i]->geometry();
            const QRect b = shown[j]->geometry();
            if (!a.intersects(b)) {
                continue;
            }
            auto* groupA = qobject_cast<QGroupBox*>(shown[i]);
            auto* groupB = qobject_cast<QGroupBox*>(shown[j]);
            QGroupBox* group = groupA != nullptr ? groupA : groupB;
            const QRect inner = group == groupA ? b : a;
            if (group != nullptr && group->geometry().contains(inner)) {
                // Inside a frame, but below its title.
                if (!group->title().isEmpty() && inner.top() < group->y() + group->fontMetrics().height()) {
                    problems.push_back(Name(group == groupA ? shown[j] : shown[i]) + " covers the title of " +
                                       Name(group));
                }
                continue;
            }
            problems.push_back(Name(shown[i]) + " overlaps " + Name(shown[j]));
        }
    }
    return problems;
}

UiDriver::Step CheckLayoutAndSave(const std::function<QWidget*()>& find, const std::string& name) {
    return [find, name] {
        QWidget* window = find();
        if (window == nullptr || !window->isVisible()) {
            return false;
        }
        QApplication::processEvents();
        for (const std::string& problem : LayoutProblems(window)) {
            ADD_FAILURE() << name << ": " << problem;
        }
        const char* chosen = std::getenv("SHEETWISE_SCREENSHOTS");
        const std::filesystem::path folder = chosen != nullptr && *chosen != '\0'
                                                 ? std::filesystem::path(chosen)
                                                 : std::filesystem::path(SW_BINARY_DIR) / "screenshots";
        std::filesystem::create_directories(folder);
        EXPECT_TRUE(window->grab().save(QString::fromStdString((folder / (name + ".png")).string())));
        return true;
    };
}

}  // namespace sw::ui::testing
