// Qt's own texts (the buttons of message boxes, the file dialog, the edit menus of text
// fields) in the window's language, Simplified Chinese, from the translations the system keeps
// beside Qt (Debian: qt6-translations-l10n). Window thread, once the application exists and
// before any window is made.
#pragma once

class QCoreApplication;

namespace vendrix {

// Installs Qt's Simplified Chinese translations into `app`. False when the system has none:
// Qt's texts then stay English, and nothing else changes.
bool InstallQtTranslations(QCoreApplication& app);

}  // namespace vendrix
