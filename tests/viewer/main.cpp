#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Also for test discovery, which runs without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("KORVID_AUDIO_SINK")) qputenv("KORVID_AUDIO_SINK", "fakesink");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
