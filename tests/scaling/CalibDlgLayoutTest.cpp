// The touch phases' instruction picture at this scale: in every language and for every current
// target, the text, counter, hint and pen picture lie on the screen, apart from one another, below
// the title and clear of the target the person must touch.
#include "calibration/CalibDlg.h"
#include "services/GuidanceText.h"
#include "services/LanguageTexts.h"
#include "tests/scaling/ScaledScreen.h"
#include "tests/support/FakeDisplays.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

QString rectText(const QRect& r) {
    return QStringLiteral("(%1,%2 %3x%4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// The problems of one layout, each a sentence.
QStringList problems(const InstructionLayout& layout, const QRect& screen) {
    QStringList found;
    const QList<QPair<QString, QRect>> parts = {{QStringLiteral("text"), layout.textBlock()},
                                                {QStringLiteral("counter"), layout.counter()},
                                                {QStringLiteral("hint"), layout.hint()},
                                                {QStringLiteral("pen picture"), layout.penPicture()}};
    const QRect target = layout.target();
    for (int i = 0; i < parts.size(); ++i) {
        const QString& name = parts[i].first;
        const QRect& r = parts[i].second;
        if (!screen.contains(r))
            found << name + QStringLiteral(" leaves the screen ") + rectText(r);
        if (r.intersects(layout.titleBand()))
            found << name + QStringLiteral(" covers the title");
        if (r.intersects(target))
            found << name + QStringLiteral(" lies under the target ") + rectText(target);
        for (int j = i + 1; j < parts.size(); ++j)
            if (r.intersects(parts[j].second))
                found << name + QStringLiteral(" overlaps the ") + parts[j].first;
    }
    if (layout.penPicture().width() < 40)
        found << QStringLiteral("the pen picture shrank to ") + rectText(layout.penPicture());
    if (layout.textBlock().height() <= 0 || layout.counter().height() <= 0 || layout.hint().height() <= 0)
        found << QStringLiteral("a text has no room");
    return found;
}

} // namespace

TEST(CalibDlgLayout, InstructionsStayClearOfEveryTargetInEveryLanguage) {
    const QRect screen(QPoint(0, 0), logicalScreen().size());
    auto displays = FakeDisplays::install({screen});
    for (int language = 1; language <= LanguageTexts::languageCount; ++language) {
        LanguageTexts texts;
        texts.loadLanguage(language);
        CalibDlg window(&texts);
        window.PrepareDisplay(CalibDlg::Instruction);
        for (const auto set : {CalibDlg::TargetSet::Manual, CalibDlg::TargetSet::SemiAutomatic}) {
            window.ComputeTargets(set);
            const int count = set == CalibDlg::TargetSet::Manual ? 16 : 20;
            window.setTargetCount(count);
            for (int target = 0; target < count; ++target) {
                window.showTarget(target);
                // The longer hint, as after a refused touch.
                window.showHint(LanguageTexts::guidance(GuidanceText::TouchRefused));
                const InstructionLayout layout = window.instructionLayout();
                EXPECT_EQ(layout.target(),
                          CalibDlg::penRect(window.targetList()[static_cast<size_t>(target)]));
                const QStringList found = problems(layout, screen);
                EXPECT_TRUE(found.isEmpty())
                    << "language " << language << ", " << count << " targets, target " << target
                    << " at scale " << scalingFactor() << ": "
                    << found.join(QStringLiteral("; ")).toStdString();
                if (!found.isEmpty())
                    return; // one report per scale is enough to act on
            }
        }
    }
}
