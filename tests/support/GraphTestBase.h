#pragma once

#include "platform/Pacing.h"
#include "services/LanguageTexts.h"
#include "tests/support/FakeDisplays.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// For tests that build the whole object graph: a temporary all-users data folder, one 1280 x 800
// display, shortened pauses; English restored afterwards.
class GraphTestBase : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dataDir.isValid());
        qputenv("VEXARO_COMMON_APPDATA", dataDir.path().toLocal8Bit());
        Pacing::setScale(0.01);
        displays = FakeDisplays::install({QRect(0, 0, 1280, 800)});
    }
    void TearDown() override {
        Pacing::setScale(1.0);
        qunsetenv("VEXARO_COMMON_APPDATA");
        LanguageTexts().loadLanguage(LanguageTexts::englishIndex + 1);
    }

    QTemporaryDir dataDir;
    std::unique_ptr<FakeDisplays::Guard> displays;
};
