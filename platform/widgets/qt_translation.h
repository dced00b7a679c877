#pragma once

class QTranslator;

namespace platform::widgets {

// Installs Qt's own Japanese texts (qtbase_ja from Qt's translations folder) into the
// running application, so that the standard buttons of message boxes and the file
// dialogs speak the language of the rest of the interface ("はい", "いいえ", "キャンセル").
// Returns the installed translator, owned by the application, or nullptr when the
// translation is not installed (package qt6-translations-l10n): Qt's texts then stay
// English.
QTranslator *installQtJapanese();

} // namespace platform::widgets
