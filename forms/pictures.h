#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <string>

#include "vlforms_export.h"

// The program's pictures, drawn for it and compiled in (SVG sources in images/).
inline const QString kProgramIconResource = QStringLiteral(":/vaultaire/vaultaire.svg");
inline const QString kTrayActiveResource = QStringLiteral(":/vaultaire/tray-active.svg");
inline const QString kTrayDisabledResource = QStringLiteral(":/vaultaire/tray-disabled.svg");
inline const QString kSplashResource = QStringLiteral(":/vaultaire/splash.svg");

// The size of the About box's picture.
inline constexpr int kSplashWidth = 400;
inline constexpr int kSplashHeight = 350;

// An SVG resource drawn at size; an empty picture when the resource cannot be drawn.
VLFORMS_EXPORT QPixmap RenderPicture(const QString& resource, QSize size);

// The program's icon, at the sizes panels and window lists ask for.
VLFORMS_EXPORT QIcon ProgramIcon();

// The tray icon: the active one while automatic backup runs, else the disabled one.
VLFORMS_EXPORT QIcon TrayIcon(bool active);

// The About box's picture: the picture file hostFile when it holds one (so a distribution
// may put its own beside the program), else the program's own.
VLFORMS_EXPORT QPixmap SplashPicture(const std::string& hostFile);
