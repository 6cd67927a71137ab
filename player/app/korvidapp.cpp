#include "korvidapp.h"

#include "componentregistrar.h"
#include "korvidappdlg.h"
#include "language.h"
#include "logging.h"
#include "singleinstance.h"

#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>
#include <QTranslator>

#include <QSocketNotifier>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QPalette>

#include <csignal>
#include <unistd.h>

namespace {
// A termination request (log-out, kill) ends the run like closing the
// window, so the temporary files still go.
int gSignalPipe[2] = {-1, -1};
void onTerminate(int) {
    const char c = 1;
    [[maybe_unused]] auto n = ::write(gSignalPipe[1], &c, 1);
}
}  // namespace

#ifndef KORVID_VERSION
#define KORVID_VERSION ""
#endif

CKorvidApp::CKorvidApp(int& argc, char** argv) : QApplication(argc, argv) {}

QString CKorvidApp::versionText() {
    QString v = QStringLiteral(KORVID_VERSION);
    v.replace(QLatin1Char(','), QLatin1Char('.'));
    return v;
}

bool CKorvidApp::installTranslations(QCoreApplication* app) {
    if (!isJapaneseUi()) return false;
    auto* own = new QTranslator(app);
    const bool ok = own->load(QStringLiteral(":/i18n/korvid_ja.qm"));
    if (ok) app->installTranslator(own);
    // Standard buttons (Yes, No, OK) of the message boxes.
    auto* qt = new QTranslator(app);
    if (qt->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app->installTranslator(qt);
    return ok;
}

QString CKorvidApp::commandLinePath(const QStringList& arguments, bool absolute) {
    const QStringList words = arguments.mid(1);
    if (words.isEmpty()) return QString();
    const auto whole = [absolute](const QString& p) {
        if (!absolute || p.isEmpty()) return p;
        const QFileInfo info(p);
        QString full = info.absoluteFilePath();
        if (info.isDir() && !full.endsWith(QLatin1Char('/'))) full += QLatin1Char('/');
        return full;
    };
    bool allFiles = words.size() > 1;
    for (const QString& w : words) allFiles = allFiles && QFileInfo(w).isFile();
    if (allFiles) {
        QStringList files;
        for (const QString& w : words) files << whole(w);
        return files.join(QLatin1Char('|'));
    }
    QString text = words.join(QLatin1Char(' '));
    while (text.startsWith(QLatin1Char('"'))) text.remove(0, 1);
    while (text.endsWith(QLatin1Char('"'))) text.chop(1);
    return whole(text);
}

void CKorvidApp::nameSettings() {
    QCoreApplication::setOrganizationName(QStringLiteral("Korvid"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvid"));
    QSettings::setDefaultFormat(QSettings::IniFormat);
}

namespace {
// Fusion with the skinned buttons' tooltip delay.
class CKorvidStyle : public QProxyStyle {
public:
    CKorvidStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_ToolTip_WakeUpDelay) return 300;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};
}  // namespace

void CKorvidApp::applyLook(QApplication* app) {
    app->setStyle(new CKorvidStyle);
    QPalette pal;
    const QColor window(24, 27, 33), base(16, 18, 22), text(230, 234, 240), accent(61, 139, 253);
    pal.setColor(QPalette::Window, window);
    pal.setColor(QPalette::WindowText, text);
    pal.setColor(QPalette::Base, base);
    pal.setColor(QPalette::AlternateBase, window);
    pal.setColor(QPalette::ToolTipBase, QColor(26, 29, 34));
    pal.setColor(QPalette::ToolTipText, text);
    pal.setColor(QPalette::Text, text);
    pal.setColor(QPalette::Button, QColor(44, 49, 58));
    pal.setColor(QPalette::ButtonText, text);
    pal.setColor(QPalette::BrightText, Qt::white);
    pal.setColor(QPalette::Highlight, accent);
    pal.setColor(QPalette::HighlightedText, Qt::white);
    pal.setColor(QPalette::Link, accent);
    pal.setColor(QPalette::PlaceholderText, QColor(120, 126, 136));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        pal.setColor(QPalette::Disabled, role, QColor(110, 116, 126));
    app->setPalette(pal);
}

int CKorvidApp::run() {
    applyLook(this);
    installTranslations(this);
    nameSettings();
    const QString version = versionText();
    setApplicationVersion(version);
    setup_.load();

    if (::pipe(gSignalPipe) == 0) {
        auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [] {
            char c;
            [[maybe_unused]] auto n = ::read(gSignalPipe[0], &c, 1);
            closeAllWindows();
            QCoreApplication::quit();
        });
        struct sigaction sa = {};
        sa.sa_handler = onTerminate;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGHUP, &sa, nullptr);
    }

    const QString path = commandLinePath(arguments(), false);
    CSingleInstance instance;
    if (!instance.becomePrimary()) {
        // Another player runs: it comes forward and opens what we were given.
        const QString open = commandLinePath(arguments(), true);
        if (!instance.notifyPrimary(5000, open)) {
            qCWarning(lcApp) << "another start holds" << instance.serverName() << "but does not answer";
            return 1;
        }
        return 0;
    }

    const QString programFolder = applicationDirPath();
    setWindowIcon(QIcon(QDir(programFolder).filePath(QStringLiteral("korvid.png"))));
    CComponentRegistrar registrar;
    const auto registration = registrar.start(programFolder);

    CKorvidAppDlg window(library_, programFolder, version, &setup_, path);
    connect(&instance, &CSingleInstance::raiseRequested, &window, [&window] {
        qCInfo(lcApp) << "brought forward by a second start";
        window.bringToFront();
    });
    connect(&instance, &CSingleInstance::openRequested, &window, [&window](const QString& path) {
        qCInfo(lcApp) << "opening" << path << "for a second start";
        window.openByPath(path);
    });
    window.show();

    if (registration == CComponentRegistrar::Result::NoFolder) {
        QTimer::singleShot(0, &window, [&window] {
            auto* box =
                new QMessageBox(QMessageBox::Warning, QStringLiteral("Korvid"),
                                QStringLiteral("cannot find module regsvr."), QMessageBox::Ok, &window);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        });
    }

    // Test and documentation aid: save a picture of the window and end
    // (after KORVID_SCREENSHOT_DELAY ms, 800 unless told).
    const QString shot = qEnvironmentVariable("KORVID_SCREENSHOT");
    if (!shot.isEmpty()) {
        bool ok = false;
        const int delay = qEnvironmentVariableIntValue("KORVID_SCREENSHOT_DELAY", &ok);
        QTimer::singleShot(ok && delay >= 0 ? delay : 800, &window, [&window, shot] {
            if (!window.grab().save(shot)) qCWarning(lcApp) << "cannot save" << shot;
            window.close();
        });
    }
    return exec();
}
