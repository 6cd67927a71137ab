// GoogleTest main with a QApplication (offscreen unless told otherwise), a
// private settings store and private temporary folders.
#include "korvidapp.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("KORVID_AUDIO_SINK")) qputenv("KORVID_AUDIO_SINK", "fakesink");
    // The language is read from the environment once, at start-up.
    qputenv("LC_ALL", KORVID_TEST_LOCALE);
    qputenv("LANG", KORVID_TEST_LOCALE);
    qunsetenv("LANGUAGE");
    QTemporaryDir scratch;
    qputenv("KORVID_TEMP_DIR", scratch.filePath(QStringLiteral("cache")).toLocal8Bit());
    QApplication app(argc, argv);
    CKorvidApp::nameSettings();
    CKorvidApp::applyLook(&app);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       scratch.filePath(QStringLiteral("config")));
    CKorvidApp::installTranslations(&app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
