#include "reportprinter.h"
