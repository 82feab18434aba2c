#include "ports/qt_settings_store.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>

namespace tunalyx {
namespace {

// Lists such as "TraceItem=1,2,9" come back as the text they are, whether the program wrote them
// or a user edited the file by hand.
TEST(QtSettingsStore, ListValuesComeBackAsOneText) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.conf"));
    std::ofstream(path.toStdString()) << "[Settings]\nTraceItem=1,2,9\nMapPath=/tmp/maps/\n";
    QtSettingsStore store(path);
    EXPECT_EQ(store.value("TraceItem"), "1,2,9");
    EXPECT_EQ(store.value("MapPath"), "/tmp/maps/");
    store.setValue("TraceCaption", "- Rpm,,- Boost");
    EXPECT_EQ(store.value("TraceCaption"), "- Rpm,,- Boost");
    EXPECT_FALSE(store.value("Missing"));
}

}  // namespace
}  // namespace tunalyx
