#pragma once

#include "harness/FixedDisplays.h"
#include "platform/Pacing.h"
#include "platform/Platform.h"
#include "services/MessageBoxSeam.h"

#include <QList>
#include <gtest/gtest.h>
#include <memory>

// A --simulate run at a desk: one 1280 x 800 display, fast pacing, and message
// boxes collected instead of shown.
class SimulatedDeskTest : public ::testing::Test {
protected:
    void SetUp() override {
        Pacing::setScale(0.01);
        Platform::setDisplayProvider(std::make_unique<FixedDisplays>(QVector<QRect>{QRect(0, 0, 1280, 800)}));
        MessageBoxSeam::setHandler([this](const MessageBoxSeam::Shown& shown) {
            boxes.append(shown);
            return QMessageBox::Ok;
        });
    }
    void TearDown() override {
        MessageBoxSeam::setHandler(nullptr);
        Platform::setDisplayProvider(nullptr);
        Pacing::setScale(1.0);
    }
    QList<MessageBoxSeam::Shown> boxes;
};
