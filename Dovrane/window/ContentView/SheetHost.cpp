#include "ContentView/SheetHost.h"
#include "Theme/Theme.h"

#include "AppModel/AppModel.h"
#include "Sheets/CleanupSheet.h"
#include "Sheets/OnboardingView.h"
#include "Sheets/UninstallSheet.h"
#include "WindowBehavior/FitsHeight.h"
#include "WindowBehavior/WindowEdge.h"
#include "WindowBehavior/WindowPlacement.h"

#include <QEvent>

namespace dovrane {

namespace {

SheetHost::PaletteMaker& paletteMaker() {
    static SheetHost::PaletteMaker maker;
    return maker;
}

// The room a sheet leaves between itself and the toolbar above it or the window's bottom edge.
constexpr int sheetInset = 8;

// A sheet whose height follows its content (the palette as it filters) keeps its top where its
// tallest form would have it, so it does not jump as it grows and shrinks.
int placedHeight(const QWidget* sheet) { return sheet->property("placedHeight").toInt(); }

} // namespace

void SheetHost::setPaletteMaker(PaletteMaker maker) { paletteMaker() = std::move(maker); }

SheetHost::SheetHost(AppModel& model, QWidget* window) : QObject(window), model_(model), window_(window) {
    window_->installEventFilter(this);
    connect(&model_, &AppModel::changed, this, [this](AppModel::Field field) {
        if (field == AppModel::Field::sheet)
            present();
    });
    if (model_.sheet())
        present();
}

void SheetHost::present() {
    const std::uint64_t generation = ++generation_;
    if (QPointer<QDialog> old = std::exchange(current_, nullptr)) {
        old->reject(); // its finished signal carries an old generation and clears nothing
        old->deleteLater();
    }
    if (!model_.sheet())
        return;
    QDialog* dialog = make(*model_.sheet());
    if (!dialog) {
        closed(generation);
        return;
    }
    current_ = dialog;
    // A sheet is a window of its own: it takes the accent itself rather than from the window.
    themed(dialog);
    if (!dialog->findChild<WindowEdge*>(QString(), Qt::FindDirectChildrenOnly))
        new WindowEdge(dialog);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QDialog::finished, this, [this, generation] { closed(generation); });
    dialog->installEventFilter(this);
    place();
    dialog->open();
}

void SheetHost::place() {
    // Below the window's menu bar and toolbar, never taller than the part of the window it covers.
    const QRect area = window_->isVisible() ? WindowPlacement::sheetArea(window_) : QRect();
    if (auto* fits = current_->findChild<FitsHeight*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!area.isEmpty())
            fits->setCeiling(area.height() - 2 * sheetInset - WindowPlacement::frameHeight(current_, window_));
        fits->fit();
    }
    WindowPlacement::centreOn(current_, window_, area, placedHeight(current_));
}

bool SheetHost::eventFilter(QObject* watched, QEvent* event) {
    // A sheet belongs to its window: it stays centred on it and inside it when the window is
    // placed (at launch the window system places the window after the sheet may have opened),
    // moved or resized, and when the sheet's own size changes.
    const QEvent::Type type = event->type();
    if (!current_)
        return false;
    if (watched == window_ && (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show))
        place();
    else if (watched == current_ && type == QEvent::Resize)
        WindowPlacement::centreOn(current_, window_,
                                  window_->isVisible() ? WindowPlacement::sheetArea(window_) : QRect(),
                                  placedHeight(current_));
    return false;
}

QDialog* SheetHost::make(const ActiveSheet& sheet) {
    if (auto request = sheet.sharedCleanupRequest())
        return new CleanupSheet(model_, std::move(request), window_);
    if (const UninstallRequest* request = sheet.uninstallRequest())
        return new UninstallSheet(model_, *request, window_);
    if (sheet.id() == QStringLiteral("onboarding"))
        return new OnboardingView(model_, window_);
    return paletteMaker() ? paletteMaker()(model_, window_) : nullptr;
}

void SheetHost::closed(std::uint64_t generation) {
    if (generation != generation_)
        return;
    if (QPointer<QDialog> dialog = std::exchange(current_, nullptr))
        dialog->deleteLater();
    model_.setSheet(std::nullopt);
}

} // namespace dovrane
