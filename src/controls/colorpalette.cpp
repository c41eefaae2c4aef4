#include "colorpalette.h"
