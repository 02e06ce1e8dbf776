#include "UiKit/DetailHeader.h"

#include "StorageGraphics/SafetyBadge.h"
#include "UiKit/SemanticColors.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace dovrane {

namespace {

// What a style decides: the fonts, how many lines the explanation may take, the margins and
// spacing, and where the size stands.
struct Setup {
    QFont title, size, explanation;
    // At most so many lines of explanation (0: no limit).
    int explanationLines;
    int margin, spacing;
    bool sizeBesideTitle;
};

Setup setup(DetailHeader::Style style) {
    const QFont body = Fonts::font(FontRole::body);
    const QFont title3 = Fonts::font(FontRole::title3);
    switch (style) {
    case DetailHeader::Style::pane:
        return {.title = Fonts::font(FontRole::title2, QFont::DemiBold),
                .size = Fonts::monospacedDigits(Fonts::font(FontRole::title2)),
                .explanation = body,
                .explanationLines = 4,
                .margin = 20,
                .spacing = 8,
                .sizeBesideTitle = true};
    case DetailHeader::Style::welcome:
        return {.title = Fonts::font(FontRole::largeTitle, QFont::DemiBold),
                .size = Fonts::monospacedDigits(title3),
                .explanation = title3,
                .explanationLines = 0,
                .margin = 0,
                .spacing = 8,
                .sizeBesideTitle = false};
    case DetailHeader::Style::sheet:
        break;
    }
    return {.title = Fonts::font(FontRole::title2, QFont::DemiBold),
            .size = Fonts::monospacedDigits(title3),
            .explanation = body,
            .explanationLines = 0,
            .margin = 0,
            .spacing = 4,
            .sizeBesideTitle = false};
}

} // namespace

DetailHeader::DetailHeader(Style style, Content content, QWidget* parent) : QWidget(parent) {
    const Setup chosen = setup(style);
    lines_ = new QVBoxLayout(this);
    lines_->setContentsMargins(chosen.margin, chosen.margin, chosen.margin, chosen.margin);
    lines_->setSpacing(chosen.spacing);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(8);
    title_ = new ElidedLabel(content.title, chosen.title, {}, this);
    title_->setObjectName(QStringLiteral("title"));
    titleRow->addWidget(title_, 0, Qt::AlignBottom);
    // The badge stands on the title's baseline.
    badgeSlot_ = new QWidget(this);
    auto* badgeLayout = new QHBoxLayout(badgeSlot_);
    badgeLayout->setContentsMargins(0, 0, 0, title_->fontMetrics().descent());
    badgeSlot_->hide();
    titleRow->addWidget(badgeSlot_, 0, Qt::AlignBottom);
    titleRow->addStretch(1);
    size_ = new ElidedLabel(content.size, chosen.size, SemanticColors::secondaryText, this);
    size_->setObjectName(QStringLiteral("size"));
    size_->setVisible(!content.size.isEmpty());
    if (chosen.sizeBesideTitle)
        titleRow->addWidget(size_, 0, Qt::AlignBottom);
    lines_->addLayout(titleRow);
    if (!chosen.sizeBesideTitle)
        lines_->addWidget(size_);
    explanation_ = new LineLimitedLabel(content.explanation, chosen.explanationLines, chosen.explanation,
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
