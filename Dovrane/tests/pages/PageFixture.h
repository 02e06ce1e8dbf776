#pragma once
// What the page suites share: a model over a temporary home and store (the model suites'
// fixture), a page context with its own category choice and a recording folder picker, the
// fixture scan, and rendering in the window's default size in a chosen look.

#include "StoragePage/PageContext.h"
#include "support/ModelFixture.h"

#include <QImage>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QAbstractButton;
class QWidget;

namespace dovrane::testing {

constexpr Date fixtureNow = Date{736243200}; // 2024-05-01 08:00 UTC, the fake clock's start

// A scan of several categories: caches with a safe item, a review item and a show-only item
// rated safe; logs with the same safe size as installers; snapshots not disclosed, with opaque
// URLs; simulators with an unavailable one; trash; projects; messages with show-only items only;
// and no docker category at all.
ScanResult fixtureScan(const std::string& home);
CleanupItem item(const std::string& path, std::int64_t size, Safety safety, CleanupAction action,
                 std::optional<Date> lastUsed = std::nullopt, std::string source = "test");

class PageFixture {
    std::unique_ptr<ModelFixture> base_;

public:
    // adjust may replace the model's services (a tool runner, pkexec) before it is built.
    explicit PageFixture(const std::function<void(ModelFixture&, Services&)>& adjust = {});

    AppModel& model;
    StorageSelection selection;
    // What the faked folder picker answers; every call is counted.
    std::optional<QStringList> pickerAnswer;
    int pickerCalls = 0;

    PageContext context();
    ModelFixture& base() { return *base_; }
    // The fixture scan of this home (its caches are real files there).
    ScanResult scan() const;
};

// Shows the widget as a window of the main window's default size and lays it out.
void showAsWindow(QWidget& page);
// Renders it light and dark: true when both images have the window's size and the dark one's
// background (at the bottom right corner) is the darker.
bool rendersInBothLooks(QWidget& page);
// The button with this text among the widget's visible children; none when absent or hidden.
QAbstractButton* visibleButton(const QWidget& parent, const QString& text);
// The texts of the visible labels below the widget, in creation order.
QStringList visibleTexts(const QWidget& parent);

} // namespace dovrane::testing
