#pragma once
// The main window's scan control at the toolbar's trailing end: "Scan Again" while no scan
// runs, else a progress circle and "Stop". It swaps the moment the model's scanning flag does.

#include "AppModel/WindowRecords.h"

#include <QToolButton>
#include <QWidget>

namespace dovrane {

class AppModel;

// A small circle filled clockwise to a fraction between 0 and 1.
class ProgressCircle final : public QWidget {
    Q_OBJECT
public:
    explicit ProgressCircle(QWidget* parent = nullptr);
    double value() const { return value_; }
    void setValue(double fraction);
    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double value_ = 0;
};

class ScanToolbar final : public QWidget {
    Q_OBJECT
public:
    explicit ScanToolbar(AppModel& model, QWidget* parent = nullptr);

    QToolButton* scanButton() const { return scan_; }
    QToolButton* stopButton() const { return stop_; }
    ProgressCircle* progress() const { return progress_; }

private:
    void refresh();

    AppModel& model_;
    QToolButton* scan_;
    QWidget* scanning_;
    ProgressCircle* progress_;
    QToolButton* stop_;
};

} // namespace dovrane
