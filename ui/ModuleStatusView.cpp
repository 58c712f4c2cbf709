#include "ui/ModuleStatusView.h"

#include "services/ParagraphDirection.h"
#include "ui/TextFitting.h"

#include <QEvent>
#include <QFontDatabase>

ModuleStatusView::ModuleStatusView(QWidget* parent)
    : QLabel(parent) {
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);
}

void ModuleStatusView::showMessage(const QString& message, Tone tone, const QString& command) {
    // The watcher repeats the same state every cycle; setting the text again would drop a selection
    // the user is about to copy.
    if (message == shownMessage && command == shownCommand && tone == shownTone && !text().isEmpty())
        return;
    shownMessage = message;
    shownCommand = command;
    shownTone = tone;
    render();
}

void ModuleStatusView::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::LayoutDirectionChange && !shownMessage.isEmpty())
        render();
}

void ModuleStatusView::render() {
    const QString message =
        ParagraphDirection::inLanguageDirection(shownMessage, layoutDirection() == Qt::RightToLeft);
    const QString& command = shownCommand;
    switch (shownTone) {
    case Tone::plain:
        setStyleSheet(QString());
        break;
    case Tone::good:
        setStyleSheet(QStringLiteral("color: rgb(0, 110, 40);"));
        break;
    case Tone::problem:
        setStyleSheet(QStringLiteral("color: rgb(150, 0, 0);"));
        break;
    }
    if (command.isEmpty()) {
        setTextInteractionFlags(Qt::NoTextInteraction);
        setTextFormat(Qt::PlainText);
        setText(message);
        return;
    }
    // Rich text for the second paragraph's face; each paragraph takes its direction from its own
    // text, so the command reads left to right inside a right-to-left message.
    const QString family = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    setTextFormat(Qt::RichText);
    setText(QStringLiteral("<p>%1</p><p style=\"font-family: '%2'; color: black;\">%3</p>")
                .arg(message.toHtmlEscaped(), family.toHtmlEscaped(), command.toHtmlEscaped()));
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

int ModuleStatusView::placeIn(const QRect& room, int stripTop, int windowWidth, int margin,
                              const QFont& normal) {
    // A one-line status keeps a readable font: below this share of the normal one it takes the strip.
    constexpr double smallestShare = 0.9;
    bool fits = false;
    for (double share = 1.0; !fits && command().isEmpty() && share >= smallestShare - 0.001; share -= 0.05) {
        setFont(TextFitting::shrunk(normal, share));
        fits = heightForWidth(room.width()) <= room.height();
    }
    if (fits) {
        setGeometry(room);
        return -1;
    }
    setFont(normal);
    const int width = windowWidth - 2 * margin;
    const int needed = heightForWidth(width);
    setGeometry(margin, stripTop, width, needed);
    return stripTop + needed;
}
