#pragma once
// Shows the one sheet the model asks for as a window-modal dialog centred over the main window,
// below its menu bar and toolbar and never taller than the part of the window it covers.
// Every assignment to the model's sheet builds a new dialog from its own payload, also for the
// same kind, so confirming a later request never acts on an earlier one. Escape cancels; a
// dialog closed in any way clears the model's sheet, but only while it is still the current
// one: each dialog carries the generation it was shown in, and a replaced dialog's late close
// never clears the sheet that replaced it.

#include "AppModel/WindowRecords.h"

#include <QDialog>
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>

namespace dovrane {

class AppModel;

class SheetHost final : public QObject {
    Q_OBJECT
public:
    // The command palette, built by its own part; without one the palette request is dropped.
    using PaletteMaker = std::function<QDialog*(AppModel& model, QWidget* window)>;
    static void setPaletteMaker(PaletteMaker maker);

    SheetHost(AppModel& model, QWidget* window);

    // The dialog on show, if any.
    QDialog* current() const { return current_; }
    std::uint64_t generation() const { return generation_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void present();
    // Fits the sheet on show to the window and centres it there.
    void place();
    QDialog* make(const ActiveSheet& sheet);
    void closed(std::uint64_t generation);

    AppModel& model_;
    QWidget* window_;
    QPointer<QDialog> current_;
    std::uint64_t generation_ = 0;
};

} // namespace dovrane
