#pragma once

class QCoreApplication;

// Qt's own texts in Simplified Chinese: the standard buttons of message boxes
// ("确定", "是", "否"), the file dialogs' labels and questions. The program's
// own texts are Chinese already and do not go through a translation.
//
// Loads qtbase_zh_CN.qm from Qt's translations folder and installs it on
// `application`, which owns it from then on; call it before any widget
// exists. Returns false, and changes nothing, when the file is not installed
// (Debian package qt6-translations-l10n): Qt's texts then stay in English.
bool InstallQtChineseTranslation(QCoreApplication &application);
