#include "vantrelview.h"
