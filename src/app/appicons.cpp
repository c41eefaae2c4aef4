#include "appicons.h"
