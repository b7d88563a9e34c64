#pragma once
#include <QList>
#include <QPalette>
#include <QString>

// The ten application looks. A look is named by its command id (32833..32842), which
// is also the value remembered per user as "ApplicationLook". Each look is a Qt style,
// a palette and an application style sheet; switching repaints every open window.
namespace Looks {

constexpr int kOffice2000 = 32833;
constexpr int kOfficeXP = 32834;
constexpr int kOffice2003 = 32835;
constexpr int kWindowsXP = 32836;
constexpr int kVS2005 = 32837;
constexpr int kOffice2007Blue = 32838;
constexpr int kOffice2007Black = 32839;
constexpr int kOffice2007Silver = 32840;
constexpr int kOffice2007Aqua = 32841;
constexpr int kVS2008 = 32842;
constexpr int kFirst = kOffice2000;
constexpr int kLast = kVS2008;
// The look of a user who never chose one.
constexpr int kDefault = kOffice2007Blue;

bool IsLook(int id);
// All look ids in command order.
QList<int> AllLooks();
// The View menu text ("Office &2000"); empty for the looks without a menu item.
QString LookMenuText(int id);
// A readable name for logs and tests ("Office 2007 Black").
QString LookName(int id);

// Switches the whole application to a look and repaints every open top-level window.
// Returns false (and changes nothing) for an id that is no look. Needs a QApplication.
bool ApplyLook(int id);
// The name of the Qt style the application draws with now ("fusion", "windows").
QString DrawingStyleName();
// The look applied last; 0 before the first ApplyLook.
int CurrentLook();
// The palette a look installs (also what ApplyLook sets as the application palette).
QPalette LookPalette(int id);
// The application style sheet a look installs.
QString LookStyleSheet(int id);
// Choosing the Windows XP look switches on that look's XP-theme option for the rest of
// the run; nothing switches it off again.
bool IsWindowsXPThemeOptionOn();

// The per-user value "ApplicationLook" (QSettings of "Mirra Video Applications1" /
// "corvane-studio", key "Settings/ApplicationLook"). A missing value, or one that is no
// look id, reads as kDefault.
int LoadStoredLook();
void StoreLook(int id);

} // namespace Looks
