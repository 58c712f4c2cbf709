// Every text of the settings window fits its widget, in every language, at 96 and 144 DPI.
#include "services/LanguageTexts.h"
#include "tests/support/FakeDisplays.h"
#include "ui/MainDlg.h"

#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {

// What of a widget's text is cut off: empty when everything shows.
QString overflow(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (label->text().isEmpty())
            return {};
        // A wrapping label (the status line) may take more lines, as long as they all show.
        if (label->wordWrap()) {
            const int tall = label->heightForWidth(label->width());
            return tall > label->height() ? QStringLiteral("label needs %1 px high").arg(tall) : QString();
        }
        const int needed = label->fontMetrics().horizontalAdvance(label->text());
        return needed > label->contentsRect().width() ? QStringLiteral("label needs %1 px").arg(needed)
                                                      : QString();
    }
    if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w) || qobject_cast<QPushButton*>(w)) {
        const int needed = w->sizeHint().width();
        return needed > w->width() ? QStringLiteral("needs %1 px of %2").arg(needed).arg(w->width())
                                   : QString();
    }
    if (auto* group = qobject_cast<QGroupBox*>(w)) {
        const int needed = group->fontMetrics().horizontalAdvance(group->title()) + 16;
        return needed > group->width() ? QStringLiteral("title needs %1 px").arg(needed) : QString();
    }
    if (auto* edit = qobject_cast<QTextEdit*>(w)) {
        edit->document()->setTextWidth(edit->viewport()->width());
        const double needed = edit->document()->documentLayout()->documentSize().height();
        return needed > edit->viewport()->height() + 0.5
                   ? QStringLiteral("text needs %1 px of %2").arg(needed).arg(edit->viewport()->height())
                   : QString();
    }
    return {};
}

} // namespace

TEST(TextFit, EveryTextFitsItsWidgetInEveryLanguageAt96And144Dpi) {
    for (double dpi : {96.0, 144.0}) {
        // Room for the whole form at both scales, so nothing is shrunk to fit the screen.
        auto guard = FakeDisplays::install({QRect(0, 0, 2560, 1440)}, dpi);
        for (int savedId = 1; savedId <= LanguageTexts::languageCount; ++savedId) {
            LanguageTexts texts;
            texts.loadLanguage(savedId);
            MainDlg dialog(&texts);
            dialog.show();
            dialog.applyLanguage();
            for (QWidget* w : dialog.findChildren<QWidget*>()) {
                if (!w->isVisibleTo(&dialog))
                    continue;
                const QString cut = overflow(w);
                EXPECT_TRUE(cut.isEmpty())
                    << LanguageTexts::languageCode(savedId - 1).toStdString() << " at " << dpi
                    << " dpi: " << w->objectName().toStdString() << " " << cut.toStdString();
            }
        }
    }
    LanguageTexts english;
    english.loadLanguage(LanguageTexts::englishIndex + 1);
}
