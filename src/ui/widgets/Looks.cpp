#include "ui/widgets/Looks.h"

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

#include "ui/widgets/Resources.h"

namespace Looks {
namespace {

// One look. The palette carries what Qt's styles draw from; the sheet adds the look's
// bars, buttons and headers. Every look keeps a light Base (the task list paints fixed
// row colours on it) and a dark Highlight (selected rows use white text).
struct LookSpec
{
    int id;
    const char *menuText; // nullptr: the look has no menu item
    const char *name;
    const char *style; // Qt style it is drawn with
    const char *sheet; // :/looks/<sheet>.qss
    QRgb window, windowText, button, buttonText, base, text, highlight, highlightedText, toolTip;
};

// clang-format off
constexpr LookSpec kLooks[] = {
    {kOffice2000, "Office &2000", "Office 2000", "Windows", "office2000",
     0xD4D0C8, 0x000000, 0xD4D0C8, 0x000000, 0xFFFFFF, 0x000000, 0x0A246A, 0xFFFFFF, 0xFFFFE1},
    {kOfficeXP, "Office &XP", "Office XP", "Fusion", "officexp",
     0xF6F6F4, 0x000000, 0xEEEDEA, 0x000000, 0xFFFFFF, 0x000000, 0x4A5C8C, 0xFFFFFF, 0xFFFFE1},
    {kOffice2003, "Office 200&3", "Office 2003", "Fusion", "office2003",
     0xE3EEFC, 0x000000, 0xD3E3FA, 0x000000, 0xFFFFFF, 0x000000, 0x316AC5, 0xFFFFFF, 0xFFFFE1},
    {kWindowsXP, nullptr, "Windows XP", "Fusion", "windowsxp",
     0xECE9D8, 0x000000, 0xF4F3EE, 0x000000, 0xFFFFFF, 0x000000, 0x316AC5, 0xFFFFFF, 0xFFFFE1},
    {kVS2005, nullptr, "Visual Studio 2005", "Fusion", "vs2005",
     0xE9E5D7, 0x000000, 0xE2DDCB, 0x000000, 0xFFFFFF, 0x000000, 0x3D5F9E, 0xFFFFFF, 0xFFFFE1},
    {kOffice2007Blue, "&Blue Style", "Office 2007 Blue", "Fusion", "office2007-blue",
     0xBFDBFF, 0x15428B, 0xDCEBFE, 0x15428B, 0xFFFFFF, 0x000000, 0x2F6FC7, 0xFFFFFF, 0xF5F9FF},
    {kOffice2007Black, "B&lack Style", "Office 2007 Black", "Fusion", "office2007-black",
     0xB3B7BD, 0x000000, 0x4A4E54, 0xFFFFFF, 0xFFFFFF, 0x000000, 0x3E4F66, 0xFFFFFF, 0xF4F4F4},
    {kOffice2007Silver, "&Silver Style", "Office 2007 Silver", "Fusion", "office2007-silver",
     0xDDE1E7, 0x2F353D, 0xEEF0F3, 0x2F353D, 0xFFFFFF, 0x000000, 0x56687F, 0xFFFFFF, 0xFAFAFA},
    {kOffice2007Aqua, "&Aqua Style", "Office 2007 Aqua", "Fusion", "office2007-aqua",
     0xC8E5EA, 0x16505C, 0xE3F4F6, 0x16505C, 0xFFFFFF, 0x000000, 0x1B7688, 0xFFFFFF, 0xF2FBFC},
    {kVS2008, nullptr, "Visual Studio 2008", "Fusion", "vs2008",
     0xC8D1E1, 0x000000, 0xE4E8F0, 0x000000, 0xFFFFFF, 0x000000, 0x2E72C9, 0xFFFFFF, 0xFFFFE1},
};
// clang-format on

const LookSpec *findLook(int id)
{
    for (const LookSpec &look : kLooks)
        if (look.id == id)
            return &look;
    return nullptr;
}

QColor mix(QRgb a, QRgb b)
{
    const QColor ca(a), cb(b);
    return QColor((ca.red() + cb.red()) / 2, (ca.green() + cb.green()) / 2, (ca.blue() + cb.blue()) / 2);
}

QString readSheet(const QString &name)
{
    QFile file(QStringLiteral(":/looks/%1.qss").arg(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QSettings userSettings()
{
    // Named explicitly: the value must be found whatever the application object is called.
    return QSettings(QStringLiteral("Mirra Video Applications1"), QStringLiteral("corvane-studio"));
}

const QString kLookKey = QStringLiteral("Settings/ApplicationLook");

int g_current = 0;
bool g_xpThemeOption = false;

} // namespace

bool IsLook(int id)
{
    return findLook(id) != nullptr;
}

QList<int> AllLooks()
{
    QList<int> ids;
    for (const LookSpec &look : kLooks)
        ids << look.id;
    return ids;
}

QString LookMenuText(int id)
{
    const LookSpec *look = findLook(id);
    return look && look->menuText ? QString::fromLatin1(look->menuText) : QString();
}

QString LookName(int id)
{
    const LookSpec *look = findLook(id);
    return look ? QString::fromLatin1(look->name) : QString();
}

QPalette LookPalette(int id)
{
    const LookSpec *look = findLook(id);
    if (!look)
        return {};
    // Bevel shades (light, mid, dark, shadow) are derived from the button colour.
    QPalette p{QColor(look->button), QColor(look->window)};
    p.setColor(QPalette::WindowText, QColor(look->windowText));
    p.setColor(QPalette::ButtonText, QColor(look->buttonText));
    p.setColor(QPalette::Base, QColor(look->base));
    p.setColor(QPalette::AlternateBase, mix(look->base, look->window));
    p.setColor(QPalette::Text, QColor(look->text));
    p.setColor(QPalette::Highlight, QColor(look->highlight));
    p.setColor(QPalette::HighlightedText, QColor(look->highlightedText));
    p.setColor(QPalette::ToolTipBase, QColor(look->toolTip));
    p.setColor(QPalette::ToolTipText, QColor(Qt::black));
    p.setColor(QPalette::Link, QColor(0x0000EE));
    p.setColor(QPalette::LinkVisited, QColor(0x551A8B));
    p.setColor(QPalette::PlaceholderText, mix(look->text, look->base));
    // Disabled text halfway to its background: readable, yet clearly off.
    p.setColor(QPalette::Disabled, QPalette::WindowText, mix(look->windowText, look->window));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, mix(look->buttonText, look->button));
    p.setColor(QPalette::Disabled, QPalette::Text, mix(look->text, look->base));
    p.setColor(QPalette::Disabled, QPalette::Highlight, mix(look->highlight, look->window));
    // An unfocused window keeps its selection colour so selected rows stay visible.
    p.setColor(QPalette::Inactive, QPalette::Highlight, QColor(look->highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, QColor(look->highlightedText));
    return p;
}

QString LookStyleSheet(int id)
{
    const LookSpec *look = findLook(id);
    if (!look)
        return {};
    InitProgramResources();
    return readSheet(QStringLiteral("common")) + u'\n' + readSheet(QString::fromLatin1(look->sheet));
}

bool ApplyLook(int id)
{
    const LookSpec *look = findLook(id);
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!look || !app)
        return false;

    // Style first: installing a style resets the palette to the style's own.
    const QString styleName = QString::fromLatin1(look->style);
    if (DrawingStyleName().compare(styleName, Qt::CaseInsensitive) != 0) {
        if (QStyle *style = QStyleFactory::create(styleName))
            QApplication::setStyle(style);
    }
    QApplication::setPalette(LookPalette(id));
    app->setStyleSheet(LookStyleSheet(id));

    if (id == kWindowsXP)
        g_xpThemeOption = true;
    g_current = id;

    // Palette and sheet changes repolish every widget; this also redraws windows
    // whose own painting does not follow the palette (frames, custom-drawn areas).
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window->isVisible())
            window->update();
    }
    return true;
}

QString DrawingStyleName()
{
    const QStyle *style = QApplication::style();
    if (!style)
        return {};
    // Under an application style sheet, the application's style is Qt's sheet wrapper;
    // the style it draws with is its child.
    if (style->name().isEmpty()) {
        if (const QStyle *base = style->findChild<QStyle *>(QString(), Qt::FindDirectChildrenOnly))
            return base->name();
    }
    return style->name();
}

int CurrentLook()
{
    return g_current;
}

bool IsWindowsXPThemeOptionOn()
{
    return g_xpThemeOption;
}

int LoadStoredLook()
{
    bool ok = false;
    const int id = userSettings().value(kLookKey).toInt(&ok);
    return ok && IsLook(id) ? id : kDefault;
}

void StoreLook(int id)
{
    QSettings settings = userSettings();
    settings.setValue(kLookKey, id);
    settings.sync();
}

} // namespace Looks
