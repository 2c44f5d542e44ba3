// What the desktop host sets up for the whole application before its first
// window: the fonts the windows ask for, Qt's Chinese texts, and what
// Help → About says.
#pragma once

#include <QString>

namespace privhost {

// The desktop's fonts: the windows ask for "宋体" and "黑体", which Linux does
// not have; the installed Chinese font stands in for them.
void InstallDesktopFonts();

// Qt's own Chinese translations (qtbase_zh_CN, from Qt's translation
// package), so that the standard buttons and boxes read 确定, 取消, 是, 否.
// False when they are not installed; the texts then stay English.
bool InstallChineseTranslations();

// What Help → About says: the program, its version and the Qt it runs on.
QString AboutText();

} // namespace privhost
