#pragma once

#include <QLabel>
#include <QString>

// The settings window's status room: one message, word-wrapped, and below it, when given, a
// command to paste into a terminal, in a fixed-pitch face and selectable. The message's tone
// gives its colour.
class ModuleStatusView : public QLabel {
    Q_OBJECT
public:
    enum class Tone { plain, good, problem };

    explicit ModuleStatusView(QWidget* parent = nullptr);

    void showMessage(const QString& message, Tone tone, const QString& command = QString());
    QString message() const { return shownMessage; }
    QString command() const { return shownCommand; }
    // Places the view: a short state keeps its room (on two lines if they fit), in a slightly
    // smaller font if it must; anything longer goes to a strip across the window below stripTop in
    // the normal font. The strip's bottom, or -1 when the room holds it.
    int placeIn(const QRect& room, int stripTop, int windowWidth, int margin, const QFont& normal);
    Tone tone() const { return shownTone; }

protected:
    void changeEvent(QEvent* event) override;

private:
    // Shows the message (and command) in the view's direction: a right-to-left message reads
    // right to left and stands at the right even when it begins with a Latin word.
    void render();

    QString shownMessage;
    QString shownCommand;
    Tone shownTone = Tone::plain;
};
