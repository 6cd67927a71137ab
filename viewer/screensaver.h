// Asks the desktop not to blank the screen while the viewer exists, through
// the freedesktop ScreenSaver service; without that service nothing happens.
#pragma once

#include <QObject>

class CScreenSaverInhibitor : public QObject {
public:
    CScreenSaverInhibitor();
    ~CScreenSaverInhibitor() override;

private:
    quint32 cookie_ = 0;
    bool haveCookie_ = false;
};
