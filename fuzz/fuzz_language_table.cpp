// Language table text (INI, UTF-8) through the table reader: every lookup afterwards must stay in
// bounds and answer the empty text outside the tables.
#include "FuzzSupport.h"

#include "services/LanguageTexts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_support::ensureApplication();
    const QString table = fuzz_support::workFolder() + QStringLiteral("/l_FUZ.ini");
    if (!fuzz_support::writeFile(table, data, size))
        return 0;
    LanguageTexts::loadTableFile(table);
    LanguageTexts texts;
    qsizetype total = 0;
    for (int i = -1; i <= LanguageTexts::configCount; ++i) {
        total += texts.getTrayMenuText(i).size() + texts.getConfigText(i).size();
        total += texts.getCalibWindowText(i).size() + LanguageTexts::getMessageText(i).size();
    }
    if (!texts.getConfigText(LanguageTexts::configCount).isEmpty() ||
        !LanguageTexts::getMessageText(LanguageTexts::messageCount).isEmpty() ||
        !texts.getTrayMenuText(-1).isEmpty())
        fuzz_support::fail("a lookup outside the tables answered text");
    return static_cast<int>(total & 0);
}
