// The program's resource set: both dialog templates, the string table, the icon and the bitmap.
#pragma once

#include "platform/Resources.h"

const ResourceSet& MimicboxResources();
