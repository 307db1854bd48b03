#pragma once
#include <QPixmap>

namespace velkor {

// The 400 x 150 banner of 图片框2, drawn by the program.
QPixmap banner_picture();

}  // namespace velkor
