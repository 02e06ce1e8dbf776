#pragma once
// A donut chart of a scan: one sector per group, or per chosen category, with the total over
// its centre ("used" for groups, "in total" for categories). One accessible element.

#include "StorageGraphics/StorageGroup.h"

#include <QWidget>

#include <optional>
#include <vector>

namespace dovrane {

class StorageRing : public QWidget {
    Q_OBJECT
public:
    struct Row {
        QString title;
        std::int64_t size = 0;
        // The group whose colour the sector takes, at this opacity; none takes the secondary
        // label colour.
        std::optional<StorageGroup> group;
        qreal opacity = 1;

        QColor color(Look look) const;
    };

    static constexpr qreal innerRatio = 0.62;
    static constexpr qreal sectorGap = 1;
    static constexpr qreal cornerRadius = 4;

    StorageRing(ScanResult scan, std::optional<std::vector<CategoryID>> categories, QWidget* parent = nullptr);
    void setScan(ScanResult scan);
    // Titles the groups' sectors for a Linux home.
    void setLinuxHome(bool linuxHome);

    // The sectors to draw: groups with a size, or the listed categories the scan holds with a
    // size; a category's opacity falls by 0.22 per earlier listed category of its group.
    static std::vector<Row> rowsToShow(const ScanResult& scan, const std::optional<std::vector<CategoryID>>& categories,
                                       bool linuxHome = false);
    std::vector<Row> rowsToShow() const { return rowsToShow(scan_, categories_, linuxHome_); }
    QString totalText() const;
    QString captionText() const;

    QSize sizeHint() const override { return {168, 168}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void describe();

    ScanResult scan_;
    std::optional<std::vector<CategoryID>> categories_;
    bool linuxHome_ = false;
};

} // namespace dovrane
