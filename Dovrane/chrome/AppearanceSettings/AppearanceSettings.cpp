#include "AppearanceSettings/AppearanceSettings.h"

#include "UiKit/AccessibleRole.h"
#include "UiKit/Appearance.h"
#include "UiKit/FocusRing.h"
#include "UiKit/Fonts.h"
#include "UiKit/Labels.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/Symbols.h"

#include <QConicalGradient>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace dovrane {

namespace {

// The preview's and the picker's texts share one catalogue context, whichever function shows them; lupdate reads it
// here.
struct AppearanceText {
    Q_DECLARE_TR_FUNCTIONS(AppearanceSettings)
};
QColor named(SemanticColor color) { return SemanticColors::of(color); }

void drawSymbol(QPainter& painter, const QString& symbol, const QRectF& box, const QColor& color) {
    const int side = int(box.height());
    painter.drawPixmap(box.topLeft(), Symbols::pixmap(symbol, side, color, painter.device()->devicePixelRatioF()));
}

// Text drawn from a left edge, vertically centred in a row; returns the width it took.
qreal drawText(QPainter& painter, const QString& text, const QFont& font, const QColor& color, qreal x,
               const QRectF& row, bool struck = false) {
    QFont shown = font;
    shown.setStrikeOut(struck);
    painter.setFont(shown);
    painter.setPen(color);
    const qreal width = QFontMetricsF(shown).horizontalAdvance(text);
    painter.drawText(QRectF(x, row.top(), width + 1, row.height()), Qt::AlignLeft | Qt::AlignVCenter, text);
    return width;
}

QFont mediumCaption() {
    QFont font = Fonts::font(FontRole::caption);
    font.setWeight(QFont::Medium);
    return font;
}

} // namespace

AccentSwatch::AccentSwatch(Theme theme, QWidget* parent) : QAbstractButton(parent), theme_(std::move(theme)) {
    setCheckable(true);
    setFixedSize(diameter, diameter);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    AccessibleRole::set(this, QAccessible::RadioButton);
    setAccessibleName(theme_.title());
    setToolTip(Texts::tooltip(theme_.title()));
}

void AccentSwatch::setSelected(bool selected) {
    const QSignalBlocker quiet(this);
    setChecked(selected);
}

QColor AccentSwatch::textOnAccent(const Theme& theme) {
    return theme.darkText ? rgbColor(0x16161C) : QColor(Qt::white);
}

bool AccentSwatch::hitButton(const QPoint& position) const {
    const QPointF offset = QPointF(position) - QRectF(rect()).center();
    return offset.x() * offset.x() + offset.y() * offset.y() <= diameter * diameter / 4.0;
}

void AccentSwatch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Focused, the swatch shrinks inside an accent ring with a gap, so the ring shows even
    // around the swatch of the accent itself.
    const QRectF circle = hasFocus() ? QRectF(4, 4, diameter - 8, diameter - 8) : QRectF(0, 0, diameter, diameter);
    if (hasFocus())
        FocusRing::paint(painter, QRectF(rect()), diameter / 2.0);
    if (theme_.shades) {
        painter.setBrush(rgbColor(theme_.shades->base));
    } else {
        // The system theme: a colour wheel through the standard colours.
        QConicalGradient wheel(circle.center(), 0);
        const SemanticColor stops[] = {SemanticColor::red,   SemanticColor::orange, SemanticColor::yellow,
                                       SemanticColor::green, SemanticColor::blue,   SemanticColor::purple,
                                       SemanticColor::pink,  SemanticColor::red};
        for (int i = 0; i < 8; ++i)
            wheel.setColorAt(i / 7.0, named(stops[i]));
        painter.setBrush(wheel);
    }
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(circle);
    if (isChecked()) {
        painter.setBrush(textOnAccent(theme_));
        painter.drawEllipse(QRectF(circle.center() - QPointF(3, 3), QSizeF(6, 6)));
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(SemanticColors::withOpacity(named(SemanticColor::label), 0.15), 1));
    painter.drawEllipse(circle.adjusted(0.5, 0.5, -0.5, -0.5));
}

AccentPreview::AccentPreview(ThemeStore& store, QWidget* parent) : QWidget(parent), store_(store) {
    setFixedHeight(previewHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    AccessibleRole::set(this, QAccessible::Graphic);
    setAccessibleName(AppearanceText::tr("Preview of the accent color"));
    connect(&store_, &ThemeStore::themeIDChanged, this, qOverload<>(&QWidget::update));
    connect(&Appearance::shared(), &Appearance::changed, this, qOverload<>(&QWidget::update));
}

void AccentPreview::paintEvent(QPaintEvent*) {
    const Theme theme = store_.current();
    const QColor accent = theme.accent();
    const QColor accentText = theme.accentText().resolved();
    const QColor onAccent = AccentSwatch::textOnAccent(theme);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(frame, 12, 12);
    painter.fillPath(shape, named(SemanticColor::windowBackground));
    painter.save();
    painter.setClipPath(shape);

    // The sidebar, 128 wide.
    const QRectF sidebar(0, 0, 128, previewHeight);
    painter.fillRect(sidebar, named(SemanticColor::secondaryWindowBackground));
    painter.setPen(Qt::NoPen);
    painter.setBrush(named(SemanticColor::quaternaryLabel));
    for (int i = 0; i < 3; ++i)
        painter.drawEllipse(QRectF(12 + i * 12, 8, 8, 8));
    struct Row {
        QString title;
        const char* symbol;
        bool selected;
    };
    // "Done" names the sample app's list of finished tasks here, not a button that closes something.
    const Row rows[] = {{AppearanceText::tr("Inbox"), "tray", true},
                        {AppearanceText::tr("Today"), "star", false},
                        {AppearanceText::tr("Done", "list of finished tasks"), "checkmark.circle", false}};
    qreal y = 8 + 8 + 8;
    const QFont callout = Fonts::font(FontRole::callout);
    for (const Row& row : rows) {
        const QRectF box(8, y, 112, 24);
        if (row.selected) {
            QPainterPath fill;
            fill.addRoundedRect(box, 8, 8);
            painter.fillPath(fill, accent);
        }
        const QColor ink = row.selected ? onAccent : named(SemanticColor::label);
        drawSymbol(painter, QString::fromLatin1(row.symbol), QRectF(box.left() + 8, box.top() + 5, 14, 14), ink);
        drawText(painter, row.title, callout, ink, box.left() + 28, box);
        y += 24 + 4;
    }
    painter.setPen(QPen(named(SemanticColor::separator), 1));
    painter.drawLine(QPointF(128.5, 0), QPointF(128.5, previewHeight));

    // The content: header, two tasks, the bottom row.
    const qreal left = 129 + 12;
    const qreal right = width() - 12;
    const QRectF header(left, 12, right - left, 20);
    drawText(painter, AppearanceText::tr("Inbox"), Fonts::font(FontRole::headline), named(SemanticColor::label), left,
             header);
    const QString remaining = AppearanceText::tr("1 left");
    const QFont caption = Fonts::font(FontRole::caption);
    drawText(painter, remaining, caption, accentText, right - QFontMetricsF(caption).horizontalAdvance(remaining),
             header);

    auto task = [&](const QString& title, bool done, const QString& tag, qreal top) {
        const QRectF row(left, top, right - left, 20);
        drawSymbol(painter, done ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle"),
                   QRectF(left, top + 3, 14, 14), done ? accent : named(SemanticColor::tertiaryLabel));
        drawText(painter, title, callout, done ? named(SemanticColor::secondaryLabel) : named(SemanticColor::label),
                 left + 22, row, done);
        if (tag.isEmpty())
            return;
        const QFont font = mediumCaption();
        const qreal tagWidth = QFontMetricsF(font).horizontalAdvance(tag) + 16;
        const QRectF capsule(right - tagWidth, top + 2, tagWidth, 16);
        QPainterPath fill;
        fill.addRoundedRect(capsule, 8, 8);
        painter.fillPath(fill, SemanticColors::withOpacity(accent, 0.15));
        drawText(painter, tag, font, accentText, capsule.left() + 8, capsule);
    };
    task(AppearanceText::tr("Pick a color"), true, {}, 40);
    task(AppearanceText::tr("Ship the first build"), false, AppearanceText::tr("Today"), 68);

    const qreal bottom = previewHeight - 12 - 24;
    QFont button = callout;
    button.setWeight(QFont::Medium);
    const QString add = AppearanceText::tr("Add Task");
    const qreal addWidth = 12 + 14 + 4 + QFontMetricsF(button).horizontalAdvance(add) + 12;
    const QRectF capsule(left, bottom, addWidth, 24);
    QPainterPath addFill;
    addFill.addRoundedRect(capsule, 12, 12);
    painter.fillPath(addFill, accent);
    drawSymbol(painter, QStringLiteral("plus"), QRectF(left + 12, bottom + 5, 14, 14), onAccent);
    drawText(painter, add, button, onAccent, left + 30, capsule);

    const QRectF toggle(right - 28, bottom + 4, 28, 16);
    QPainterPath track;
    track.addRoundedRect(toggle, 8, 8);
    painter.fillPath(track, accent);
    const QRectF knob(toggle.right() - 2 - 12, toggle.top() + 2, 12, 12);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 51));
    painter.drawEllipse(knob.translated(0, 1));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);
    const QString focus = AppearanceText::tr("Focus");
    drawText(painter, focus, caption, named(SemanticColor::secondaryLabel),
             toggle.left() - 8 - QFontMetricsF(caption).horizontalAdvance(focus),
             QRectF(left, bottom, right - left, 24));
    painter.restore();

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(named(SemanticColor::separator), 1));
    painter.drawPath(shape);
}

AppearanceSettings::AppearanceSettings(ThemeStore& store, QWidget* parent) : QWidget(parent), store_(store) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    preview_ = new AccentPreview(store_);
    column->addSpacing(4);
    column->addWidget(preview_);
    column->addSpacing(4);

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(AppearanceText::tr("Accent color")), 0, Qt::AlignTop);
    row->addStretch(1);
    auto* choices = new QVBoxLayout;
    choices->setSpacing(4);
    auto* swatches = new QHBoxLayout;
    swatches->setSpacing(8);
    for (const Theme& theme : Theme::all()) {
        auto* swatch = new AccentSwatch(theme);
        connect(swatch, &QAbstractButton::clicked, this, [this, id = theme.id] {
            store_.setThemeID(id);
            refresh(); // also when the id was already chosen: the click must not untick it
        });
        swatches->addWidget(swatch, 0, Qt::AlignVCenter);
        swatches_.push_back(swatch);
    }
    choices->addLayout(swatches);
    name_ = new StyledLabel({}, Fonts::font(FontRole::caption), [] { return named(SemanticColor::secondaryLabel); });
    choices->addWidget(name_, 0, Qt::AlignRight);
    row->addLayout(choices);
    column->addLayout(row);

    connect(&store_, &ThemeStore::themeIDChanged, this, &AppearanceSettings::refresh);
    refresh();
}

void AppearanceSettings::refresh() {
    QString shown = AppearanceText::tr("System");
    for (AccentSwatch* swatch : swatches_) {
        const bool chosen = swatch->theme().id == store_.themeID();
        swatch->setSelected(chosen);
        swatch->update();
        if (chosen)
            shown = swatch->theme().title();
    }
    name_->setText(shown);
}

} // namespace dovrane
