#include "filterlistbox.h"
