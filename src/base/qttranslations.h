#pragma once

// Loads Qt's own Chinese texts (the buttons and labels of the file, print,
// font and colour dialogs, message box buttons, system error texts) into
// the running application, with the few that Qt's catalogue lacks (the
// file dialog's "Folder" and other file kinds). Returns whether Qt's
// translations were found.
bool installQtChineseTranslations();

// The whole run in the Chinese (China) locale: numbers, dates and sizes in
// Qt's standard dialogs too, which follow the system locale. Call before
// the application object is made.
void useChineseLocale();
