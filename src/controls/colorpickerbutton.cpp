#include "colorpickerbutton.h"
