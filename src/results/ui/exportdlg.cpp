#include "exportdlg.h"
