// qmr3play: the viewer control alone in a resizable window.
//
//   qmr3play [--grab FILE --grab-after SECONDS] RECORDING
//
// Keys: Space/P play and pause, F fast forward and R rewind (each press steps
// the rate), Right/Left next/previous picture, S snapshot beside the
// recording, M motion grid on/off, Q/Escape quit. --grab saves the window's
// contents to FILE once SECONDS of play have passed, then quits.
#include "lumacastctrl.h"
#include "qmr3format.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTimer>

#include <cstdio>

namespace {

class PlayWindow : public CLumacastCtrl {
public:
    explicit PlayWindow(QString path) : path_(std::move(path)) {}

    bool open() {
        QFile f(path_);
        if (!f.open(QIODevice::ReadOnly)) return false;
        const QByteArray raw = f.read(qmr3::kFileHeaderSize);
        if (raw.size() != int(qmr3::kFileHeaderSize)) return false;
        const qmr3::Qmr3FileHeader h =
            qmr3::Qmr3FileHeader::parse(reinterpret_cast<const std::uint8_t*>(raw.constData()));
        // The same calls, in the same order, as the player's main window.
        SetProductID(h.productId);
        SetVideoType(h.videoType);
        SetVideoInfo(short(h.frameRate), short(h.width), short(h.height), h.gopMode, 0);
        if (h.audioKind == 0xFF) SetADPCMTypeAudio();
        SetStartPos(0);
        SetHeaderOption(h.headerOption);
        if (StartService(path_) != 0) return false;
        EnableZoom(true);
        SetMDArea(16, 16);
        HideMDArea();
        SeekToPlay();
        playing_ = true;
        setWindowTitle(QFileInfo(path_).fileName() + QStringLiteral(" - qmr3play"));
        return true;
    }

protected:
    void keyPressEvent(QKeyEvent* e) override {
        switch (e->key()) {
        case Qt::Key_Space:
        case Qt::Key_P:
            if (playing_) SeekToPause();
            else SeekToPlay();
            playing_ = !playing_;
            break;
        case Qt::Key_F:
            SeekToFF(0);
            playing_ = true;
            break;
        case Qt::Key_R:
            SeekToRew(0);
            playing_ = true;
            break;
        case Qt::Key_Right:
            SeekToNextFrame();
            playing_ = false;
            break;
        case Qt::Key_Left:
            SeekToPrevFrame();
            playing_ = false;
            break;
        case Qt::Key_S: {
            const QString out = QFileInfo(path_).absolutePath() + QStringLiteral("/snapshot-") +
                                QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")) +
                                QStringLiteral(".jpg");
            std::printf("%s %s\n", SnapShot(out) == 0 ? "snapshot" : "no snapshot", qPrintable(out));
            break;
        }
        case Qt::Key_M:
            if (grid_) HideMDArea();
            else ShowMDArea();
            grid_ = !grid_;
            break;
        case Qt::Key_Q:
        case Qt::Key_Escape: close(); return;
        default: break;
        }
        CLumacastCtrl::keyPressEvent(e);
    }

private:
    QString path_;
    bool playing_ = false;
    bool grid_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("recording"), QStringLiteral("the .qmr3 file to play"));
    QCommandLineOption grab(QStringLiteral("grab"), QStringLiteral("save the window to FILE"),
                            QStringLiteral("FILE"));
    QCommandLineOption after(QStringLiteral("grab-after"), QStringLiteral("seconds of play before --grab"),
                             QStringLiteral("SECONDS"), QStringLiteral("3"));
    parser.addOption(grab);
    parser.addOption(after);
    parser.process(app);
    if (parser.positionalArguments().size() != 1) parser.showHelp(2);

    PlayWindow w(parser.positionalArguments().first());
    w.resize(704, 480);
    w.show();
    if (!w.open()) {
        std::fprintf(stderr, "qmr3play: cannot play %s\n", qPrintable(parser.positionalArguments().first()));
        return 1;
    }
    QObject::connect(&w, &CLumacastCtrl::OnMediaStop, &w, [] { std::printf("end of recording\n"); });
    if (parser.isSet(grab)) {
        const QString file = parser.value(grab);
        QTimer::singleShot(int(parser.value(after).toDouble() * 1000), &w, [&w, file] {
            const bool ok = w.grab().save(file);
            std::printf("%s %s\n", ok ? "grabbed" : "cannot grab", qPrintable(file));
            w.close();
        });
    }
    return app.exec();
}
