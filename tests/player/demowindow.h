// The main window with a freshly written demo recorder folder opened in it:
// frame-number pictures, so tests can read which picture is shown, unless
// KORVID_PANEL_SHOTS asks for pictures of the window (then the demo's own
// realistic look, which takes about a minute to write).
#pragma once

#include "generator.h"
#include "korvidappdlg.h"
#include "playertest.h"
#include "testrecordings.h"
#include "videolibrary.h"

#include <string>

namespace playertest {

struct DemoWindow {
    DemoWindow()
        : realistic(!qEnvironmentVariableIsEmpty("KORVID_PANEL_SHOTS")),
          written(qmr3::generateDemoFolder(dir.path(), error,
                                           realistic ? qmr3::DemoLook::Realistic : qmr3::DemoLook::Pattern)),
          w(library, binDir(), QStringLiteral("1.0"), nullptr) {
        w.show();
        if (written) w.openRecordings(QString::fromStdString(dir.path()));
    }
    testrec::TempDir dir;
    std::string error;
    bool realistic;
    CVideoLibrary library;
    bool written;  // check before use: the folder could not be written otherwise
    CKorvidAppDlg w;
};

}  // namespace playertest
