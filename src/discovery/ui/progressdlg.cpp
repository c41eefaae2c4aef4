#include "progressdlg.h"
