#include "statuspanes.h"
