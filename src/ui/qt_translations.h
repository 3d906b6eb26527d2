#pragma once

namespace zarvex {

// Loads Qt's own Russian texts (buttons, file dialogs) from Qt's translations
// directory and installs them for the application's lifetime. False when the
// file is missing; Qt then speaks English and nothing else changes.
bool InstallQtTranslations();

}  // namespace zarvex
