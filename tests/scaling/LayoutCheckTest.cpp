// The layout check itself finds what it must, at every scale this program runs at.
#include "tests/support/LayoutCheck.h"
#include "tests/scaling/ScaledScreen.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

QWidget* named(QWidget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

TEST(LayoutCheck, ALaidOutWindowHasNoProblemsButOverlapsCutsAndStraysAreFound) {
    QWidget window;
    window.setObjectName(QStringLiteral("window"));
    auto* row = new QHBoxLayout(&window);
    row->addWidget(named(new QPushButton(QStringLiteral("OK")), "ok"));
    row->addWidget(named(new QCheckBox(QStringLiteral("Ceiling Mount Mode")), "ceiling"));
    window.move(logicalScreen().topLeft() + QPoint(10, 10));
    window.show();
    EXPECT_EQ(LayoutCheck().problems(&window, logicalScreen()), QStringList());

    // A button placed by hand on another, a check box squeezed below its text, one past the edge.
    auto* onTop = named(new QPushButton(QStringLiteral("Cancel"), &window), "cancel");
    onTop->setGeometry(window.findChild<QWidget*>(QStringLiteral("ok"))->geometry());
    onTop->show();
    auto* squeezed = named(new QCheckBox(QStringLiteral("Rear Screen Mode"), &window), "rear");
    squeezed->setGeometry(0, window.height() - 4, 20, 4);
    squeezed->show();
    const QStringList problems = LayoutCheck().problems(&window, logicalScreen());
    const QString all = problems.join(QLatin1Char('\n'));
    EXPECT_TRUE(all.contains(QStringLiteral("cancel (QPushButton)")) &&
                all.contains(QStringLiteral("overlaps")))
        << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("rear (QCheckBox)")) && all.contains(QStringLiteral("is cut")))
        << all.toStdString();

    LayoutCheck lenient;
    lenient.allowOverlap(QStringLiteral("ok"), QStringLiteral("cancel"));
    lenient.allowCut(QStringLiteral("rear"));
    for (const QString& problem : lenient.problems(&window, logicalScreen()))
        EXPECT_FALSE(problem.contains(QStringLiteral("cancel (QPushButton)")) &&
                     problem.contains(QStringLiteral("ok (QPushButton)")))
            << problem.toStdString();

    window.move(logicalScreen().right() - 5, 0);
    EXPECT_TRUE(LayoutCheck().problems(&window, logicalScreen()).join(' ').contains("not inside the screen"));
}
