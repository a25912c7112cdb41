#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's own pictures and icons, drawn in code so that the program needs no image files.
namespace Pictures {

// The icon of every window: a small house with a coin.
QIcon windowIcon();
// The 16 by 16 menu icons, keyed by the caption of their menu item: "成员信息", "退出", "帮助",
// "资产统计" and "年终处理". A null icon for any other key.
QIcon menuIcon(const QString& key);
// The main window's background: a house at dusk in a garden.
QPixmap homePicture();
// The picture at the left of the login window: a key over a ledger.
QPixmap loginPicture();
// The About box's picture: an open account book.
QPixmap aboutPicture();

}  // namespace Pictures
