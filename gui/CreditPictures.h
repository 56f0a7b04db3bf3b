// The 40 credit-level pictures of the window (ImageList1, ImageList2), drawn at start: as many
// symbols as the digit of the level's name, red hearts for levels 1-5, blue diamonds for 6-10,
// blue crowns for 11-15 and gold crowns for 16-20. Window thread only.
#pragma once

#include <QList>
#include <QPixmap>
#include <QSize>

namespace vendrix {

// Picture i is level i + 1, each of `size`, the symbols from the left on a transparent ground.
QList<QPixmap> DrawCreditPictures(QSize size);

}  // namespace vendrix
