#include "vantrelapp.h"
