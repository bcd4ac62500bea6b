// The interface tests read the English table the way the application does, from its bundle's resources: point
// the bundle at the source tree (Resources/en.lproj/Localizable.json; no Info.json, so the product is the
// default one) before any test looks a text up, since the table is read once per process.
#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

namespace {

class UiTestEnvironment final : public ::testing::Environment
{
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("SENDRA_BUNDLE_DIR"))
            qputenv("SENDRA_BUNDLE_DIR", QByteArray(SENDRA_SOURCE_DIR));
    }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new UiTestEnvironment);

} // namespace
