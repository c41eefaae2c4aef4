#include "openhelp.h"
