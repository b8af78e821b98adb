// The application icon (32 x 32 and 16 x 16) and the device bitmap (120 x 94), 16 colours each.
#pragma once

#include "platform/Resources.h"

const IconResource& MainIcon();
const ImageResource& DeviceBitmap();
