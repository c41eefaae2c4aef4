#include "windowplacement.h"
