#include "colorpopup.h"
