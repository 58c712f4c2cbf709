#pragma once

#include "services/LanguageTexts.h"

#include <QString>
#include <QTextEdit>
#include <gtest/gtest.h>

// The settings window's tests start and end in English.
class MainDlgTest : public ::testing::Test {
protected:
    void SetUp() override { texts.loadLanguage(LanguageTexts::englishIndex + 1); }
    void TearDown() override { texts.loadLanguage(LanguageTexts::englishIndex + 1); }
    LanguageTexts texts;
};

inline QString plain(const QTextEdit* edit) {
    return edit->toPlainText();
}
