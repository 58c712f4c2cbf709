// The configuration file as found on disk: reading it must give -1, 0 or a number, and saving the
// language afterwards must make the next read return exactly what was saved.
#include "FuzzSupport.h"

#include "services/ConfigFile.h"

#include <QDir>
#include <QFileInfo>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_support::ensureApplication();
    // Both files in the private folder: an input the all-users file cannot be saved over sends the
    // choice to the per-user file, which must not be the machine's own.
    static const bool relocated =
        qputenv("VEXARO_COMMON_APPDATA", fuzz_support::workFolder().toUtf8()) &&
        qputenv("XDG_CONFIG_HOME", (fuzz_support::workFolder() + QStringLiteral("/user-config")).toUtf8());
    (void)relocated;
    const QString file = ConfigFile::path();
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (!fuzz_support::writeFile(file, data, size))
        return 0;
    (void)ConfigFile::readLanguageId();
    const int index = size > 0 ? data[0] % 24 : 0;
    ConfigFile::writeLanguageId(index);
    if (ConfigFile::readLanguageId() != index + 1)
        fuzz_support::fail("the saved language does not read back");
    return 0;
}
