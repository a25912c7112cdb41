#pragma once

// The program speaks Chinese throughout, also in what Qt draws itself.
namespace Language {

// Sets the zh_CN locale (month and day names of the calendars) and installs Qt's own Chinese
// translations (context menus, standard buttons, Qt's dialogs), found in translations/ beside the
// program or in Qt's translation folder. Call once the application object exists; calling it again
// changes nothing. True when Qt's translations were found and installed.
bool useChinese();

}  // namespace Language
