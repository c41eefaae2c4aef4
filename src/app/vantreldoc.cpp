#include "vantreldoc.h"
