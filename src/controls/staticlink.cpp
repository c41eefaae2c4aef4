#include "staticlink.h"
