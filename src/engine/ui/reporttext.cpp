#include "reporttext.h"
