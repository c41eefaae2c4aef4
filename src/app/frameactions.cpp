#include "frameactions.h"
