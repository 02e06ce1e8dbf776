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
        // The group whose colour the sector takes, in this shade of it; none takes the secondary
        // label colour.
        std::optional<StorageGroup> group;
        int shade = 0;

        // Opaque, and at least 3:1 against the window's background in the look, as a part of a
        // graphic must be to be seen: shade 0 is the group's own colour, each further one a
        // step farther from the background (lighter in the dark look, darker in the light one).
        // Fading towards the background would leave the last shades all but invisible.
        QColor color(Look look) const;
    };

    static constexpr qreal innerRatio = 0.62;
    static constexpr qreal sectorGap = 1;
    static constexpr qreal cornerRadius = 4;
    // How far each shade moves from the group's colour towards white or black.
    static constexpr double shadeStep = 0.15;

    StorageRing(const ScanResult& scan, std::optional<std::vector<CategoryID>> categories, QWidget* parent = nullptr);
    void setScan(const ScanResult& scan);
    // Titles the groups' sectors for a Linux home.
    void setLinuxHome(bool linuxHome);

    // The sectors to draw: groups with a size, or the listed categories the scan holds with a
    // size; a category's shade is the number of earlier listed categories of its group.
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
