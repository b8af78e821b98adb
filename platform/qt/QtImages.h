// Pictures of the resource set as Qt images.
#pragma once

#include <QIcon>
#include <QImage>

#include "platform/Resources.h"

// The picture as an image; a null image when it is malformed.
QImage ToImage(const ImageResource& image);

// Both sizes of an icon; an empty icon for null.
QIcon ToIcon(HICON hIcon);
