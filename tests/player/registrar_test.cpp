#include "componentregistrar.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(ComponentRegistration, MissingPluginFolderIsReported) {
    QTemporaryDir dir;
    CComponentRegistrar r;
    EXPECT_EQ(r.start(dir.path()), CComponentRegistrar::Result::NoFolder);
    EXPECT_TRUE(r.files().isEmpty());
}

TEST(ComponentRegistration, AnEmptyFolderStartsNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("gstreamer-1.0")));
    QFile other(dir.filePath(QStringLiteral("gstreamer-1.0/readme.txt")));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    CComponentRegistrar r;
    EXPECT_EQ(r.start(dir.path()), CComponentRegistrar::Result::NothingFound);
    EXPECT_EQ(r.wait(), 0);
}

TEST(ComponentRegistration, EveryPluginFileIsTriedAndABrokenOneIsSkipped) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("gstreamer-1.0")));
    for (const char* name : {"libbroken.so", "libalsobroken.so"}) {
        QFile f(dir.filePath(QStringLiteral("gstreamer-1.0/") + QLatin1String(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a plugin");
    }
    CComponentRegistrar r;
    ASSERT_EQ(r.start(dir.path()), CComponentRegistrar::Result::Started);
    EXPECT_EQ(r.files().size(), 2);
    EXPECT_EQ(r.wait(), 0);
    EXPECT_TRUE(r.finished());
}

TEST(ComponentRegistration, ARealPluginFileIsRegistered) {
    const QString system = QStringLiteral(KORVID_TEST_GST_PLUGINS "/libgstcoreelements.so");
    if (!QFile::exists(system)) GTEST_SKIP() << "no " << system.toStdString();
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("gstreamer-1.0")));
    ASSERT_TRUE(QFile::copy(system, dir.filePath(QStringLiteral("gstreamer-1.0/libgstcoreelements.so"))));
    CComponentRegistrar r;
    ASSERT_EQ(r.start(dir.path()), CComponentRegistrar::Result::Started);
    EXPECT_EQ(r.wait(), 1);
}
