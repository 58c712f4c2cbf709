#include "ui/AccuracyText.h"

#include "services/GuidanceText.h"
#include "services/LanguageTexts.h"

#include <QLocale>

QString AccuracyText::of(const PointingAccuracy& accuracy, int languageIndex) {
    const GuidanceText word =
        accuracy.grade() == PointingAccuracy::Grade::excellent ? GuidanceText::AccuracyExcellent
        : accuracy.grade() == PointingAccuracy::Grade::good    ? GuidanceText::AccuracyGood
                                                               : GuidanceText::AccuracyPoor;
    const auto region = static_cast<GuidanceText>(static_cast<int>(GuidanceText::RegionTopLeft) +
                                                  accuracy.leastAccurateRegion());
    return LanguageTexts::guidance(GuidanceText::Accuracy)
        .arg(LanguageTexts::localeOf(languageIndex).toString(accuracy.pixels(), 'f', 1),
             LanguageTexts::guidance(word), LanguageTexts::guidance(region));
}
