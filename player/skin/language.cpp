#include "language.h"

#include <QLocale>

bool isJapaneseUi() { return QLocale::system().language() == QLocale::Japanese; }

QString languageSuffix() { return isJapaneseUi() ? QStringLiteral("-jp") : QStringLiteral("-en"); }
