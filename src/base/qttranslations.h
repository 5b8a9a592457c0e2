#pragma once

// Loads Qt's own Chinese texts (the buttons and labels of the file, print,
// font and colour dialogs, message box buttons, system error texts) into
// the running application. Returns whether the translations were found.
bool installQtChineseTranslations();
