// The main window with a freshly written demo recorder folder opened in it.
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
        : written(qmr3::generateDemoFolder(dir.path(), error)),
          w(library, binDir(), QStringLiteral("1.0"), nullptr) {
        w.show();
        if (written) w.openRecordings(QString::fromStdString(dir.path()));
    }
    testrec::TempDir dir;
    std::string error;
    CVideoLibrary library;
    bool written;  // check before use: the folder could not be written otherwise
    CKorvidAppDlg w;
};

}  // namespace playertest
