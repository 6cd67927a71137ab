// The program itself, started as real processes.
#include "generator.h"
#include "playertest.h"
#include "korvidapp.h"
#include "singleinstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

using playertest::waitUntil;

namespace {

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        key = QUuid::createUuid().toString(QUuid::Id128);
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("KORVID_INSTANCE_KEY"), key);
        env.insert(QStringLiteral("KORVID_TEMP_DIR"), scratch.filePath(QStringLiteral("cache")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
        // The same name as the started programs will use.
        qputenv("KORVID_INSTANCE_KEY", key.toUtf8());
        serverName = CSingleInstance().serverName();
    }
    void TearDown() override {
        for (QProcess* p : {&first, &second}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
        qunsetenv("KORVID_INSTANCE_KEY");
    }
    void start(QProcess& p, const QStringList& args = {}, const QProcessEnvironment* e = nullptr) {
        p.setProcessEnvironment(e ? *e : env);
        p.start(QStringLiteral(KORVID_EXE), args);
        ASSERT_TRUE(p.waitForStarted(5000));
    }
    QTemporaryDir scratch;
    QString key;
    QString serverName;
    QProcessEnvironment env;
    QProcess first;
    QProcess second;
};

}  // namespace

TEST_F(Program, SecondStartBringsTheFirstForwardAndEnds) {
    start(first);
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(serverName); }, 15000)) << "the first start listens";
    start(second, {QStringLiteral("/no/such/recording.qmr3")});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    QByteArray said;
    EXPECT_TRUE(waitUntil(
        [&] {
            said += first.readAllStandardError();
            return said.contains("brought forward");
        },
        10000))
        << said.toStdString();
    EXPECT_EQ(first.state(), QProcess::Running) << "the first one keeps running";
}

TEST_F(Program, ASecondStartWithARecordingHandsItToTheFirstWhichPlaysIt) {
    qmr3::GenOptions o;
    o.fps = 10;
    o.gop = 10;
    o.seconds = 20;
    ASSERT_TRUE(qmr3::generateRecording(scratch.filePath(QStringLiteral("handed.qmr3")).toStdString(), o).ok);
    QProcessEnvironment e = env;
    e.insert(QStringLiteral("KORVID_AUDIO_SINK"), QStringLiteral("fakesink"));
    e.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("korvid.playback.debug=true"));
    start(first, {}, &e);
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(serverName); }, 15000)) << "the first start listens";
    // A name relative to where the second one was started.
    second.setWorkingDirectory(scratch.path());
    start(second, {QStringLiteral("handed.qmr3")});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitCode(), 0);
    const QString full = QDir(scratch.path()).filePath(QStringLiteral("handed.qmr3"));
    QByteArray said;
    EXPECT_TRUE(waitUntil(
        [&] {
            said += first.readAllStandardError();
            return said.contains(("playing \"" + full + "\"").toUtf8());
        },
        15000))
        << said.toStdString();
    EXPECT_TRUE(said.contains("brought forward"));
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(Program, CommandLinesOfFileManagersAndShells) {
    const QString a = scratch.filePath(QStringLiteral("a.qmr3")),
                  b = scratch.filePath(QStringLiteral("b c.qmr3"));
    for (const QString& f : {a, b}) {
        QFile file(f);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString k = QStringLiteral("korvid");
    // Several files, as a file manager hands them: a list.
    EXPECT_EQ(CKorvidApp::commandLinePath({k, a, b}, false), a + "|" + b);
    // One path with a blank, unquoted; quotes around a path go.
    EXPECT_EQ(CKorvidApp::commandLinePath({k, b.section(' ', 0, 0), "c.qmr3"}, false), b);
    EXPECT_EQ(CKorvidApp::commandLinePath({k, "\"" + a + "\""}, false), a);
    EXPECT_EQ(CKorvidApp::commandLinePath({k}, true), QString());
    // Made whole for a running player elsewhere; a folder ends in "/".
    const QString here = QDir::currentPath();
    QDir::setCurrent(scratch.path());
    EXPECT_EQ(CKorvidApp::commandLinePath({k, "a.qmr3"}, true), a);
    EXPECT_EQ(CKorvidApp::commandLinePath({k, "."}, true), QDir(scratch.path()).absolutePath() + "/");
    QDir::setCurrent(here);
}

TEST_F(Program, AfterTheFirstEndsANewStartRunsOnItsOwn) {
    QProcessEnvironment e = env;
    e.insert(QStringLiteral("KORVID_SCREENSHOT"), scratch.filePath(QStringLiteral("a.png")));
    start(first, {}, &e);
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitCode(), 0);
    e.insert(QStringLiteral("KORVID_SCREENSHOT"), scratch.filePath(QStringLiteral("b.png")));
    start(second, {}, &e);
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(QFileInfo::exists(scratch.filePath(QStringLiteral("b.png"))));
}

TEST_F(Program, StartsToACompleteSkinnedWindow) {
    QProcessEnvironment e = env;
    const QString shot = scratch.filePath(QStringLiteral("window.png"));
    e.insert(QStringLiteral("KORVID_SCREENSHOT"), shot);
    start(first, {}, &e);
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
    const QImage img(shot);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(1100, 720));
    EXPECT_EQ(img.pixelColor(600, 300), QColor(8, 8, 8));
}

TEST_F(Program, StartsUnderARealXServer) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (xvfb.isEmpty()) GTEST_SKIP() << "xvfb-run is not installed";
    QProcessEnvironment e = env;
    e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    const QString shot = scratch.filePath(QStringLiteral("x11.png"));
    e.insert(QStringLiteral("KORVID_SCREENSHOT"), shot);
    first.setProcessEnvironment(e);
    first.start(xvfb, {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1600x1000x24"),
                       QStringLiteral(KORVID_EXE)});
    ASSERT_TRUE(first.waitForStarted(5000));
    ASSERT_TRUE(first.waitForFinished(60000));
    EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
    const QImage img(shot);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(1100, 720));
}

TEST_F(Program, PlaysTheRecordingNamedOnItsCommandLineUnderARealXServer) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (xvfb.isEmpty()) GTEST_SKIP() << "xvfb-run is not installed";
    qmr3::GenOptions o;
    o.fps = 10;
    o.gop = 10;
    o.seconds = 30;
    o.productId = 0x41;
    o.audio = qmr3::AudioKind::Adpcm;
    const QString recording = scratch.filePath(QStringLiteral("cmd.qmr3"));
    ASSERT_TRUE(qmr3::generateRecording(recording.toStdString(), o).ok);
    QProcessEnvironment e = env;
    e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    e.insert(QStringLiteral("KORVID_AUDIO_SINK"), QStringLiteral("fakesink"));
    const QString shot = scratch.filePath(QStringLiteral("playing.png"));
    e.insert(QStringLiteral("KORVID_SCREENSHOT"), shot);
    e.insert(QStringLiteral("KORVID_SCREENSHOT_DELAY"), QStringLiteral("5000"));
    // A first run: GStreamer builds its plugin registry while the window opens
    // and the command line's recording is started.
    const QString registry = scratch.filePath(QStringLiteral("registry.bin"));
    e.insert(QStringLiteral("GST_REGISTRY"), registry);
    first.setProcessEnvironment(e);
    first.start(xvfb, {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1600x1000x24"),
                       QStringLiteral(KORVID_EXE), QStringLiteral("\"%1\"").arg(recording)});
    ASSERT_TRUE(first.waitForStarted(5000));
    ASSERT_TRUE(first.waitForFinished(60000));
    const QByteArray said = first.readAllStandardError();
    EXPECT_EQ(first.exitCode(), 0) << said.toStdString();
    EXPECT_FALSE(said.contains("cannot play")) << said.toStdString();
    EXPECT_TRUE(QFileInfo::exists(registry));
    const QImage img(shot);
    ASSERT_FALSE(img.isNull());
    // The left of the video area, flat while idle, holds a colourful picture.
    QSet<QRgb> colours;
    for (int y = 60; y < 560; y += 5)
        for (int x = 20; x < 220; x += 5) colours.insert(img.pixel(x, y));
    EXPECT_GT(colours.size(), 20);
}

TEST_F(Program, JapaneseStartUsesTheJapaneseTemplate) {
    QProcessEnvironment e = env;
    e.insert(QStringLiteral("LC_ALL"), QStringLiteral("ja_JP.UTF-8"));
    const QString en = scratch.filePath(QStringLiteral("en.png"));
    const QString jp = scratch.filePath(QStringLiteral("jp.png"));
    e.insert(QStringLiteral("KORVID_SCREENSHOT"), jp);
    start(first, {}, &e);
    ASSERT_TRUE(first.waitForFinished(20000));
    QProcessEnvironment e2 = env;
    e2.insert(QStringLiteral("KORVID_SCREENSHOT"), en);
    start(second, {}, &e2);
    ASSERT_TRUE(second.waitForFinished(20000));
    const QImage a(en), b(jp);
    ASSERT_FALSE(a.isNull());
    ASSERT_FALSE(b.isNull());
    EXPECT_EQ(a.size(), b.size());
    EXPECT_NE(a, b) << "the labels of the two templates differ";
}

TEST_F(Program, TerminationEmptiesTheTemporaryFolders) {
    const QString thumbs = scratch.filePath(QStringLiteral("cache/Temp_OrvanePlayer/Thumbnail"));
    ASSERT_TRUE(QDir().mkpath(thumbs));
    QFile grab(thumbs + QStringLiteral("/110x72-a.bmp"));
    ASSERT_TRUE(grab.open(QIODevice::WriteOnly));
    grab.close();
    start(first);
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(serverName); }, 15000));
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(15000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(grab.fileName()));
    EXPECT_TRUE(QFileInfo::exists(thumbs));
}
