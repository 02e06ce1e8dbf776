#include "UiKit/DetailHeader.h"

#include "StorageGraphics/SafetyBadge.h"
#include "UiKit/SemanticColors.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace dovrane {

namespace {

// What a style decides: the fonts (the title's in semibold, the size's with even digits), how
// many lines the explanation may take (0: no limit), the margins and spacing, and whether the
// size stands at the end of the title's row or under it.
struct Setup {
    FontRole title, size, explanation;
    int explanationLines, margin, spacing;
    bool sizeBesideTitle;
};

Setup setup(DetailHeader::Style style) {
    switch (style) {
    case DetailHeader::Style::pane:
        return {FontRole::title2, FontRole::title2, FontRole::body, 4, 20, 8, true};
    case DetailHeader::Style::welcome:
        return {FontRole::largeTitle, FontRole::title3, FontRole::title3, 0, 0, 8, false};
    case DetailHeader::Style::sheet:
        break;
    }
    return {FontRole::title2, FontRole::title3, FontRole::body, 0, 0, 4, false};
}

} // namespace

DetailHeader::DetailHeader(Style style, Content content, QWidget* parent) : QWidget(parent) {
    const Setup chosen = setup(style);
    lines_ = new QVBoxLayout(this);
    lines_->setContentsMargins(chosen.margin, chosen.margin, chosen.margin, chosen.margin);
    lines_->setSpacing(chosen.spacing);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(8);
    title_ = new ElidedLabel(content.title, Fonts::font(chosen.title, QFont::DemiBold), {}, this);
    title_->setObjectName(QStringLiteral("title"));
    titleRow->addWidget(title_, 0, Qt::AlignBottom);
    // The badge stands on the title's baseline.
    badgeSlot_ = new QWidget(this);
    auto* badgeLayout = new QHBoxLayout(badgeSlot_);
    badgeLayout->setContentsMargins(0, 0, 0, title_->fontMetrics().descent());
    badgeSlot_->hide();
    titleRow->addWidget(badgeSlot_, 0, Qt::AlignBottom);
    titleRow->addStretch(1);
    size_ = new ElidedLabel(content.size, Fonts::monospacedDigits(Fonts::font(chosen.size)),
                            SemanticColors::secondaryText, this);
    size_->setObjectName(QStringLiteral("size"));
    size_->setVisible(!content.size.isEmpty());
    if (chosen.sizeBesideTitle)
        titleRow->addWidget(size_, 0, Qt::AlignBottom);
    lines_->addLayout(titleRow);
    if (!chosen.sizeBesideTitle)
        lines_->addWidget(size_);
    explanation_ = new LineLimitedLabel(content.explanation, chosen.explanationLines, Fonts::font(chosen.explanation),
                                        SemanticColors::secondaryText, this);
    explanation_->setVisible(!content.explanation.isEmpty());
    lines_->addWidget(explanation_);
}

void DetailHeader::setTitle(const QString& title) { title_->setFullText(title); }

void DetailHeader::setSafety(Safety safety) {
    delete badge_;
    badge_ = new SafetyBadge(safety, badgeSlot_);
    badgeSlot_->layout()->addWidget(badge_);
    badgeSlot_->show();
}

void DetailHeader::setSize(const QString& size) {
    size_->setFullText(size);
    size_->setVisible(!size.isEmpty());
}

void DetailHeader::setExplanation(const QString& explanation) {
    explanation_->setFullText(explanation);
    explanation_->setVisible(!explanation.isEmpty());
}

void DetailHeader::addLine(QWidget* line) { lines_->addWidget(line); }

} // namespace dovrane
