// The user interface language: Japanese when the system locale's language is
// Japanese, English otherwise. Pictures and help pages follow the same test.
#pragma once

#include <QString>

bool isJapaneseUi();
// "-jp" or "-en".
QString languageSuffix();
